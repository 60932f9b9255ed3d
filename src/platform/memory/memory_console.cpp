#include "platform/memory/memory_console.h"

#include <algorithm>

#include "platform/encoding.h"

namespace rpg {

MemoryConsole::MemoryConsole(int width, int height) : grid_(width, height) {}

void MemoryConsole::set_cursor(int column, int row) { grid_.set_cursor(column, row); }

void MemoryConsole::set_attribute(std::uint16_t attribute) { grid_.set_attribute(attribute); }

void MemoryConsole::print(std::string_view sjis_text) {
    if (recording_) record_print(sjis_text);
    grid_.write(sjis_text);
}

void MemoryConsole::record_print(std::string_view sjis_text) {
    events_.push_back(
        Event{Event::print, grid_.cursor_column(), grid_.cursor_row(), grid_.attribute(), std::string(sjis_text), 0});
}

bool MemoryConsole::key_waiting() {
    return !script_.empty() && !script_.front().on_read && script_.front().at_ms <= now_ms_;
}

int MemoryConsole::read_key() {
    if (script_.empty()) throw InputClosed("the test's key script is used up: the game waits for another key");
    ScriptedKey key = script_.front();
    script_.pop_front();
    if (!key.on_read) now_ms_ = std::max(now_ms_, key.at_ms);  // a blocking read waits for the key
    return key.code;
}

void MemoryConsole::sleep_ms(int milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    now_ms_ += milliseconds;
    total_sleep_ms_ += milliseconds;
    if (recording_) events_.push_back(Event{Event::sleep, 0, 0, 0, {}, milliseconds});
}

void MemoryConsole::announce(int column, int row, std::string_view sjis) {
    last_announcement_ = Announcement{column, row, std::string(sjis)};
    if (recording_) announcements_.push_back(last_announcement_);
}

std::int64_t MemoryConsole::now_seconds() { return epoch_seconds_ + now_ms_ / 1000; }

void MemoryConsole::add_key(int code, std::int64_t at_ms) {
    // The script stays in time order; keys at the same time keep their order.
    auto it = std::upper_bound(script_.begin(), script_.end(), at_ms,
                               [](std::int64_t t, const ScriptedKey& k) { return t < k.at_ms; });
    script_.insert(it, ScriptedKey{at_ms, code});
}

void MemoryConsole::add_keys(std::initializer_list<int> codes, std::int64_t at_ms) {
    for (int code : codes) add_key(code, at_ms);
}

void MemoryConsole::add_arrow(int direction, std::int64_t at_ms) {
    add_key(key_arrow_prefix, at_ms);
    add_key(direction, at_ms);
}

void MemoryConsole::press(int code) {
    script_.push_back(ScriptedKey{script_.empty() ? 0 : script_.back().at_ms, code, true});
}

void MemoryConsole::press(std::initializer_list<int> codes) {
    for (int code : codes) press(code);
}

void MemoryConsole::press_arrow(int direction) {
    press(key_arrow_prefix);
    press(direction);
}

std::string MemoryConsole::row_text(int row, int column, int length) const {
    return utf8_from_sjis(grid_.row_bytes(row, column, length));
}

bool MemoryConsole::shows(int column, int row, std::string_view utf8) const {
    const std::string& expected = sjis(utf8);
    if (column + static_cast<int>(expected.size()) > grid_.width()) return false;
    return grid_.row_bytes(row, column, static_cast<int>(expected.size())) == expected;
}

std::string MemoryConsole::screen_text() const {
    std::string out;
    for (int row = 0; row < grid_.height(); ++row) {
        std::string line = row_text(row);
        line.erase(line.find_last_not_of(' ') + 1);
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace rpg
