#include "platform/console_session.h"

#include <algorithm>

#include "platform/console_notices.h"
#include "platform/encoding.h"
#include "platform/width_probe.h"

namespace rpg {
namespace {

constexpr std::int64_t ns_per_ms = 1'000'000;

// Whole milliseconds until a deadline, rounded up: a wait never ends before it.
int ms_until(std::int64_t left_ns) {
    return static_cast<int>(std::min<std::int64_t>((left_ns + ns_per_ms - 1) / ns_per_ms, 1'000'000'000));
}

}  // namespace

ConsoleSession::ConsoleSession(std::unique_ptr<ConsoleHost> host, Options options)
    : host_(std::move(host)), options_(options), pauses_(host_->pause_catch_up_ns()) {
    error_ = host_->problem();
    if (error_.empty()) error_ = take_ambiguous_setting(options_);
    if (!error_.empty()) return;
    stage_ = Stage::waiting;
    if (options_.screen_reader) host_->follow_with_cursor();
    if (!host_->starts_at_first_use()) start();
}

ConsoleSession::~ConsoleSession() { restore(); }

bool ConsoleSession::running() {
    if (stage_ == Stage::waiting) start();
    return stage_ == Stage::running;
}

void ConsoleSession::start() {
    if (std::string why = host_->start(options_.ambiguous); !why.empty()) {
        error_ = why;
        stage_ = Stage::refused;
        return;
    }
    stage_ = Stage::running;
    if (!host_->answers_cursor_reports()) {
        ambiguous_ = host_->own_ambiguous();
    } else if (options_.ambiguous == AmbiguousWidth::measure) {
        measure_widths();
        if (stage_ != Stage::running) return;
    } else {
        ambiguous_ = options_.ambiguous;
    }
    host_->started(ambiguous_);
}

void ConsoleSession::refuse(const std::string& why) {
    error_ = why;
    host_->release();
    stage_ = Stage::refused;
}

void ConsoleSession::restore() {
    if (stage_ == Stage::waiting) stage_ = Stage::restored;
    if (stage_ != Stage::running) return;
    // What was printed last is on the screen before it goes, for terminals
    // without a screen of their own for programs.
    if (host_->paints_last_screen()) {
        take_news();
        if (!too_small()) paint();
    }
    host_->release();
    stage_ = Stage::restored;
    if (keep_screen_) host_->print_kept_screen(grid_);
}

ConsoleFacts ConsoleSession::facts() {
    if (!running()) return ConsoleFacts{ambiguous_, 0, 0};
    const ScreenSize size = host_->size();
    return ConsoleFacts{ambiguous_, size.columns, size.rows};
}

void ConsoleSession::input_closed(const std::string& why) {
    restore();
    throw InputClosed(why);
}

// Prints the two probe characters at the start of the top row, each followed
// by the request for the cursor's position, and blanks them again: the screen
// is the game's own (already cleared, cursor at the top left), and is left as
// it was found. Keys typed meanwhile are kept for the game.
void ConsoleSession::measure_widths() {
    std::string request;
    request += '\r';
    request += ambiguous_probe_char;
    request += cursor_report_request;
    request += '\r';
    request += full_width_probe_char;
    request += cursor_report_request;
    request += "\r    \r";
    host_->write(request);

    CursorReportReader reader;
    const std::int64_t deadline = host_->monotonic_ns() + std::int64_t{probe_timeout_ms} * ns_per_ms;
    while (reader.reports().size() < 2) {
        const ConsoleHost::Input input = host_->read_available();
        if (!input.bytes.empty()) {
            std::string other;
            reader.feed(input.bytes, other);
            feed(other);
            continue;
        }
        if (input.closed) break;  // the end of input shows at the first key read
        const std::int64_t left_ns = deadline - host_->monotonic_ns();
        if (left_ns <= 0) break;
        if (host_->wait_input(ms_until(left_ns)).closed) break;
    }
    std::string rest;
    reader.finish(rest);
    feed(rest);

    WidthProbe probe;
    if (!reader.reports().empty()) probe.after_ambiguous = reader.reports()[0].column;
    if (reader.reports().size() > 1) probe.after_full_width = reader.reports()[1].column;
    const WidthDecision decision = decide_terminal_widths(probe, host_->library_width(ambiguous_probe_char));
    ambiguous_ = decision.ambiguous;
    if (!decision.problem.empty()) refuse(decision.problem);
}

// ---------------------------------------------------------------------------
// Keys.

void ConsoleSession::feed(std::string_view bytes, Keys keys_read) {
    if (bytes.empty()) return;
    last_byte_ns_ = host_->monotonic_ns();
    std::deque<int> dropped;
    for (char byte : bytes) decoder_.feed(static_cast<unsigned char>(byte), keys_read == Keys::drop ? dropped : keys_);
}

void ConsoleSession::take_input(Keys keys_read) {
    ConsoleHost::Input input = host_->read_available();
    feed(input.bytes, keys_read);
    if (input.closed) input_closed(input.why);
}

void ConsoleSession::expire_escape() {
    if (decoder_.pending() && host_->monotonic_ns() - last_byte_ns_ >= escape_timeout_ns) decoder_.flush(keys_);
}

bool ConsoleSession::key_waiting() {
    if (!running()) return false;
    if (keys_.empty()) {
        take_input();
        expire_escape();
    }
    if (!keys_.empty()) return true;
    // A game that polls for keys without pausing still sees its screen, and
    // now and then lets the device's surroundings run, so that keys can come.
    flush(IfTooSmall::wait_for_room);
    const int polls_per_yield = host_->polls_per_yield();
    if (polls_per_yield > 0 && ++idle_polls_ >= polls_per_yield) {
        idle_polls_ = 0;
        host_->yield();
        take_input();
        expire_escape();
    }
    return !keys_.empty();
}

int ConsoleSession::read_key() {
    if (!running()) {
        throw InputClosed(error_.empty() ? std::string(host_->name()) + " was already restored" : error_);
    }
    flush(IfTooSmall::wait_for_room);
    idle_polls_ = 0;
    take_input();
    bool waited = false;
    while (keys_.empty()) {
        int timeout_ms = -1;  // nothing to do until a key comes
        if (decoder_.pending()) {
            const std::int64_t left = last_byte_ns_ + escape_timeout_ns - host_->monotonic_ns();
            if (left <= 0) {
                decoder_.flush(keys_);
                continue;
            }
            timeout_ms = ms_until(left);
        }
        const ConsoleHost::Wake wake = host_->wait_input(timeout_ms);
        if (wake.closed) input_closed(wake.why);
        waited = true;
        take_input();
        // A resize or a return from a stop is shown while the game waits.
        if (wake.news && keys_.empty()) flush(IfTooSmall::wait_for_room);
    }
    // Pauses after a wait for the player are measured from now.
    if (waited) pauses_.restart();
    const int code = keys_.front();
    keys_.pop_front();
    return code;
}

void ConsoleSession::print(std::string_view sjis) {
    running();
    grid_.write(sjis);
}

// A pause never waits for a larger window: a notice that closes the game
// after a while must close it on time whatever the window's size.
void ConsoleSession::sleep_ms(int milliseconds) {
    flush(IfTooSmall::go_on);
    idle_polls_ = 0;
    if (milliseconds <= 0) return;
    const std::int64_t deadline = pauses_.next(host_->monotonic_ns(), std::int64_t{milliseconds} * ns_per_ms);
    // A resize or a return from a stop is shown at once, not after the pause.
    while (!host_->sleep_until(deadline)) flush(IfTooSmall::go_on);
}

// ---------------------------------------------------------------------------
// The screen.

void ConsoleSession::take_news() {
    if (host_->take_news()) {
        whole_ = true;
        showing_notice_ = false;
    }
}

bool ConsoleSession::too_small() {
    const ScreenSize size = host_->size();
    return size.columns < options_.min_columns || size.rows < options_.min_rows;
}

void ConsoleSession::flush(IfTooSmall if_too_small) {
    if (!running()) return;
    take_news();
    if (too_small()) {
        show_room_notice();
        if (if_too_small == IfTooSmall::go_on) return;
        // Nothing to do until the window grows: wait without using the CPU.
        // Keys typed meanwhile are not meant for the game and are dropped.
        while (too_small()) {
            if (const ConsoleHost::Wake wake = host_->wait_input(host_->room_check_ms()); wake.closed) {
                input_closed(wake.why);
            }
            take_input(Keys::drop);
            take_news();
            if (too_small()) show_room_notice();
        }
        pauses_.restart();
    }
    paint();
}

// The notice is shown again only when the size it names changed, or the
// device's screen must be sent again.
void ConsoleSession::show_room_notice() {
    ScreenSize size = host_->size();
    size.columns = std::max(size.columns, 1);
    if (showing_notice_ && size == notice_size_) return;
    host_->show_notice(too_small_notice(options_.min_columns, options_.min_rows, size.columns, size.rows));
    showing_notice_ = true;
    notice_size_ = size;
}

void ConsoleSession::announce(int column, int row, std::string_view sjis) {
    if (!options_.screen_reader) return;
    if (column >= 0 && column < grid_.width() && row >= 0 && row < grid_.height()) {
        focus_ = CellGrid::CursorSpot{column, row};
    }
    if (!sjis.empty()) to_say_.emplace_back(sjis);
}

// A screen reader's point is only where the device's cursor is shown: the
// game's own cursor is put back for what it writes next.
void ConsoleSession::paint() {
    const bool whole = whole_ || showing_notice_;
    whole_ = showing_notice_ = false;
    if (!focus_) {
        host_->paint(grid_, whole);
    } else {
        const CellGrid::CursorSpot game_cursor = grid_.cursor_spot();
        grid_.set_cursor(focus_->column, focus_->row);
        host_->paint(grid_, whole);
        grid_.put_cursor_back(game_cursor);
    }
    // Converted here, at the device's edge, as the grid's rows are.
    for (const std::string& text : to_say_) host_->say(utf8_from_sjis(text));
    to_say_.clear();
}

}  // namespace rpg
