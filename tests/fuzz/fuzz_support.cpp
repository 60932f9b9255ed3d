#include "fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

#include "battle/flow.h"
#include "data/loaders.h"
#include "platform/memory/memory_console.h"

namespace rpg::fuzz {

const std::filesystem::path& scratch_folder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path made =
            std::filesystem::temp_directory_path() / ("rpg_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch_folder(), ignored);
        });
        return made;
    }();
    return folder;
}

std::filesystem::path write_input(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = scratch_folder() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) fault("cannot write " + file.string());
    return file;
}

void fault(const std::string& what) {
    std::fprintf(stderr, "FAULT: %s\n", what.c_str());
    std::abort();
}

std::filesystem::path sample_folder() { return RPG_ASSETS_DIR; }

const GameRecords& bundled_records() {
    static const GameRecords records = [] {
        GameRecords loaded;
        std::string error;
        if (load_game_data(loaded, RPG_ASSETS_DIR, error) != LoadResult::ok) fault("the bundled data: " + error);
        return loaded;
    }();
    return records;
}

void check_refusal(const std::string& error, const char* file) {
    if (error.rfind(std::string(file) + ": ", 0) != 0)
        fault("a refusal that does not name " + std::string(file) + ": " + error);
    for (std::size_t i = 0; i < error.size();) {
        const auto byte = static_cast<unsigned char>(error[i]);
        if (byte < 0x20 || byte == 0x7F) fault("a control character in the refusal: " + error);
        std::size_t length = byte < 0x80           ? 1
                             : (byte >> 5) == 0x6  ? 2
                             : (byte >> 4) == 0xE  ? 3
                             : (byte >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0 || i + length > error.size()) fault("a refusal that is not UTF-8: " + error);
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(error[i + k]) & 0xC0) != 0x80)
                fault("a refusal that is not UTF-8: " + error);
        }
        i += length;
    }
}

GuardedConsole::GuardedConsole(int columns, int rows, Drawing drawing)
    // The traced run draws nothing, so its grid needs no room.
    : MemoryConsole(drawing == Drawing::checked ? columns : 1, drawing == Drawing::checked ? rows + 10 : 1),
      columns_(columns),
      rows_(rows),
      drawing_(drawing) {}

namespace {

// The faults of the checks below, out of line: the checks run for every call
// the game makes, and the messages' strings would otherwise set up their
// sanitized stack frames each time.
[[noreturn, gnu::noinline]] void fault_at(const char* what, int column, int row, const char* where, int columns,
                                          int rows) {
    fault(std::string(what) + " at column " + std::to_string(column) + ", row " + std::to_string(row) + ", " + where +
          " the " + std::to_string(columns) + " x " + std::to_string(rows) + " screen");
}

[[noreturn, gnu::noinline]] void fault_pause(int milliseconds) {
    fault("a pause of " + std::to_string(milliseconds) + " ms");
}

}  // namespace

// Each kind of call is folded with a tag of its own, so that, say, a move
// and an attribute of the same numbers never look alike.
void GuardedConsole::set_cursor(int column, int row) {
    fold(1u << 24 | static_cast<std::uint64_t>(column) << 12 | static_cast<std::uint64_t>(row));
    if (drawing_ == Drawing::traced) return;
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_)
        fault_at("the cursor placed", column, row, "outside", columns_, rows_);
    MemoryConsole::set_cursor(column, row);
}

void GuardedConsole::set_attribute(std::uint16_t attribute) {
    fold(2u << 24 | static_cast<std::uint64_t>(attribute));
    if (drawing_ == Drawing::checked) MemoryConsole::set_attribute(attribute);
}

void GuardedConsole::print(std::string_view sjis_text) {
    fold(3u << 24 | sjis_text.size());
    fold(std::hash<std::string_view>{}(sjis_text));
    if (drawing_ == Drawing::traced) return;
    // Bytes past the last column go on at the start of the next row, as on
    // the console; only a byte below the last row is off the screen. Each
    // line of the text is judged by its last byte, the lowest it reaches.
    int column = grid().cursor_column();
    int row = grid().cursor_row();
    for (std::size_t start = 0; start <= sjis_text.size();) {
        const std::size_t end = std::min(sjis_text.find('\n', start), sjis_text.size());
        const int length = static_cast<int>(end - start);
        if (length > 0) {
            if (row + (column + length - 1) / columns_ >= rows_) {
                // The first byte below: where the text crosses the last row.
                fault_at("a byte written", row >= rows_ ? column : 0, std::max(row, rows_), "below", columns_, rows_);
            }
            row += (column + length) / columns_;
            column = (column + length) % columns_;
        }
        if (end == sjis_text.size()) break;
        column = 0;
        ++row;
        start = end + 1;
    }
    MemoryConsole::print(sjis_text);
}

void GuardedConsole::announce(int column, int row, std::string_view sjis_text) {
    fold(5u << 24 | static_cast<std::uint64_t>(column) << 12 | static_cast<std::uint64_t>(row));
    fold(std::hash<std::string_view>{}(sjis_text));
    if (drawing_ == Drawing::traced) return;
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_)
        fault_at("a screen reader sent", column, row, "outside", columns_, rows_);
    MemoryConsole::announce(column, row, sjis_text);
}

void GuardedConsole::sleep_ms(int milliseconds) {
    fold(4u << 24 | static_cast<std::uint32_t>(milliseconds));
    if (milliseconds < 0) fault_pause(milliseconds);
    const std::int64_t before = now_ms();
    MemoryConsole::sleep_ms(milliseconds);
    if (now_ms() < before) fault("the clock ran backwards in a pause");
}

std::string GuardedConsole::area_snapshot() const {
    std::string out;
    out.reserve(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_) * 2);
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) {
            out += static_cast<char>(cell(column, row).byte);
            out += static_cast<char>(cell(column, row).attribute);
        }
    }
    return out;
}

void script_keys(MemoryConsole& con, const std::uint8_t* data, std::size_t size) {
    static constexpr int game_codes[] = {key_enter, key_up, key_down, key_left, key_right, key_space, key_arrow_prefix};
    std::int64_t at = 0;
    bool timed = false;
    for (std::size_t i = 0; i < size; ++i) {
        int code = 0;
        if (data[i] == 199) {  // the next key arrives at a time of the clock
            timed = true;
            continue;
        }
        if (data[i] >= 200) {
            if (++i == size) break;
            code = data[i];
        } else {
            code = game_codes[data[i] % std::size(game_codes)];
        }
        if (timed) {
            at += 5 + data[i] % 64 * 10;
            con.add_key(code, at);
            timed = false;
        } else {
            con.press(code);
        }
    }
}

void play_battle(const GameRecords& records, std::uint32_t seed) {
    MemoryConsole con;
    Battle b{con};
    b.rec = records;
    set_up_encounter(b, seed);
    // Fights: Enter chooses "fight", the target, the first skill, then
    // acknowledges every message and attacks again. Then the item window and
    // the Potion again and again, then a run for it. Keys that come while the
    // game waits for something else are dropped or do something else, which
    // is as good a test.
    for (int i = 0; i < 40; ++i) con.press(key_enter);
    con.press({key_space, key_space});
    con.press_arrow(key_down);
    con.press_arrow(key_down);
    for (int i = 0; i < 16; ++i) con.press(key_enter);
    con.press({key_space, key_space});
    con.press_arrow(key_down);
    for (int i = 0; i < 10; ++i) con.press(key_enter);
    try {
        draw_battle_screen(b);
        show_ending(b, command_loop(b));
    } catch (const InputClosed&) {
        // The keys ran out before the battle ended.
    }
}

}  // namespace rpg::fuzz
