#include "platform/web/web_console_core.h"

#include <algorithm>
#include <vector>

#include "platform/console_cells.h"
#include "platform/console_notices.h"
#include "platform/row_render.h"
#include "platform/terminal/terminal_widths.h"

namespace rpg {
namespace web_detail {

int sleep_towards(std::int64_t now_ns, std::int64_t deadline_ns) {
    if (deadline_ns <= now_ns) return 0;
    const std::int64_t whole_ms = (deadline_ns - now_ns) / 1'000'000;
    return static_cast<int>(std::min<std::int64_t>(whole_ms, 1'000'000'000));
}

int widget_char_width(std::string_view utf8, AmbiguousWidth ambiguous) {
    if (utf8.empty()) return 0;
    const auto first = static_cast<unsigned char>(utf8[0]);
    char32_t c = first;
    std::size_t extra = 0;
    if (first >= 0xF0) {
        c = first & 0x07u;
        extra = 3;
    } else if (first >= 0xE0) {
        c = first & 0x0Fu;
        extra = 2;
    } else if (first >= 0xC0) {
        c = first & 0x1Fu;
        extra = 1;
    }
    if (utf8.size() != extra + 1) return 0;
    for (std::size_t i = 1; i <= extra; ++i) c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
    if (c < 0x20 || c == 0x7F) return 0;
    if (console_cells::is_wide_character(c)) return 2;
    return ambiguous == AmbiguousWidth::wide && outside_ascii_and_half_width_kana(c) ? 2 : 1;
}

}  // namespace web_detail

namespace {

// A cursor move, counted from 0.
void move_to(std::string& out, int column, int row) {
    out += "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
}

}  // namespace

WebConsoleCore::WebConsoleCore(WebHost& host, Options options) : host_(host), options_(options) {
    if (std::string why = host_.problem(); !why.empty()) {
        error_ = why;
        return;
    }
    if (std::string why = take_ambiguous_setting(options_); !why.empty()) {
        error_ = why;
        return;
    }
    stage_ = Stage::running;
    // The look reset, the screen cleared, the cursor shown at the top left.
    host_.write("\x1b[0m\x1b[?25h\x1b[H\x1b[2J");
    if (options_.ambiguous == AmbiguousWidth::measure) {
        measure_widths();
    } else {
        ambiguous_ = options_.ambiguous;
    }
}

WebConsoleCore::~WebConsoleCore() { restore(); }

ConsoleFacts WebConsoleCore::facts() {
    const bool running = stage_ == Stage::running;
    return ConsoleFacts{ambiguous_, running ? host_.columns() : 0, running ? host_.rows() : 0};
}

void WebConsoleCore::refuse(const std::string& why) {
    error_ = why;
    stage_ = Stage::refused;
}

void WebConsoleCore::restore() {
    if (stage_ != Stage::running) return;
    // What was printed last is on the page after the end.
    if (!too_small()) paint();
    host_.write("\x1b[0m\x1b[?25h");
    stage_ = Stage::restored;
}

// The two probe characters at the start of the top row, each followed by the
// request for the cursor's position, blanked again; keys typed meanwhile are
// kept for the game.
void WebConsoleCore::measure_widths() {
    std::string request;
    request += '\r';
    request += ambiguous_probe_char;
    request += cursor_report_request;
    request += '\r';
    request += full_width_probe_char;
    request += cursor_report_request;
    request += "\r    \r";
    host_.write(request);

    CursorReportReader reader;
    const std::int64_t deadline = host_.monotonic_ns() + std::int64_t{web_detail::probe_timeout_ms} * 1'000'000;
    while (reader.reports().size() < 2) {
        const std::string bytes = host_.take_input();
        if (!bytes.empty()) {
            std::string other;
            reader.feed(bytes, other);
            feed(other);
            continue;
        }
        const std::int64_t left_ns = deadline - host_.monotonic_ns();
        if (left_ns <= 0) break;
        host_.wait_input(static_cast<int>((left_ns + 999'999) / 1'000'000));
    }
    std::string rest;
    reader.finish(rest);
    feed(rest);

    WidthProbe probe;
    if (!reader.reports().empty()) probe.after_ambiguous = reader.reports()[0].column;
    if (reader.reports().size() > 1) probe.after_full_width = reader.reports()[1].column;
    const WidthDecision decision = decide_terminal_widths(probe, 1);
    ambiguous_ = decision.ambiguous;
    if (!decision.problem.empty()) refuse(decision.problem);
}

// ---------------------------------------------------------------------------
// Keys.

void WebConsoleCore::feed(std::string_view bytes, Keys keys_read) {
    if (bytes.empty()) return;
    last_byte_ns_ = host_.monotonic_ns();
    std::deque<int> dropped;
    for (char byte : bytes) decoder_.feed(static_cast<unsigned char>(byte), keys_read == Keys::drop ? dropped : keys_);
}

void WebConsoleCore::take_input(Keys keys_read) { feed(host_.take_input(), keys_read); }

void WebConsoleCore::expire_escape() {
    if (decoder_.pending() && host_.monotonic_ns() - last_byte_ns_ >= escape_timeout_ns) decoder_.flush(keys_);
}

bool WebConsoleCore::key_waiting() {
    if (stage_ != Stage::running) return false;
    if (keys_.empty()) {
        take_input();
        expire_escape();
    }
    if (!keys_.empty()) return true;
    // A game that polls for keys without pausing still sees its screen, and
    // now and then lets the page run so that keys can arrive.
    flush(IfTooSmall::wait_for_room);
    if (++idle_polls_ >= web_detail::polls_per_yield) {
        idle_polls_ = 0;
        host_.sleep(0);
        take_input();
        expire_escape();
    }
    return !keys_.empty();
}

int WebConsoleCore::read_key() {
    if (stage_ != Stage::running) {
        throw InputClosed(error_.empty() ? "the page's terminal was already restored" : error_);
    }
    flush(IfTooSmall::wait_for_room);
    idle_polls_ = 0;
    take_input();
    bool waited = false;
    while (keys_.empty()) {
        int timeout_ms = -1;  // nothing to do until a key comes
        if (decoder_.pending()) {
            const std::int64_t left = last_byte_ns_ + escape_timeout_ns - host_.monotonic_ns();
            if (left <= 0) {
                decoder_.flush(keys_);
                continue;
            }
            timeout_ms = static_cast<int>((left + 999'999) / 1'000'000);
        }
        host_.wait_input(timeout_ms);
        waited = true;
        take_input();
    }
    // Pauses after a wait for the player are measured from now.
    if (waited) pauses_.restart();
    const int code = keys_.front();
    keys_.pop_front();
    return code;
}

// A pause never waits for a larger window: a notice that closes the game
// after a while must close it on time.
void WebConsoleCore::sleep_ms(int milliseconds) {
    flush(IfTooSmall::go_on);
    idle_polls_ = 0;
    if (milliseconds <= 0 || stage_ != Stage::running) return;
    const std::int64_t deadline =
        pauses_.next(host_.monotonic_ns(), static_cast<std::int64_t>(milliseconds) * 1'000'000);
    // The page runs at least once in every pause, even one already late, so
    // that what was written is drawn and keys come in.
    do {
        host_.sleep(web_detail::sleep_towards(host_.monotonic_ns(), deadline));
    } while (host_.monotonic_ns() < deadline);
}

std::int64_t WebConsoleCore::now_seconds() { return host_.now_seconds(); }

// ---------------------------------------------------------------------------
// The screen.

bool WebConsoleCore::too_small() { return host_.columns() < options_.min_columns || host_.rows() < options_.min_rows; }

void WebConsoleCore::flush(IfTooSmall if_too_small) {
    if (stage_ != Stage::running) return;
    if (too_small()) {
        show_room_notice();
        if (if_too_small == IfTooSmall::go_on) return;
        // Keys typed meanwhile are not meant for the game and are dropped.
        while (too_small()) {
            host_.wait_input(250);
            take_input(Keys::drop);
            show_room_notice();
        }
        pauses_.restart();
    }
    paint();
}

void WebConsoleCore::show_room_notice() {
    const int columns = std::max(host_.columns(), 1);
    const int rows = host_.rows();
    if (showing_room_notice_ && columns == shown_column_ && rows == shown_row_) return;
    std::string out = "\x1b[0m\x1b[2J";
    shown_bright_ = false;
    int row = 0;
    for (const std::string& line : too_small_notice(options_.min_columns, options_.min_rows, columns, rows)) {
        move_to(out, 0, row++);
        out += line;
    }
    host_.write(out);
    showing_room_notice_ = true;
    // Remembered so that the notice is written again only when the size changes.
    shown_column_ = columns;
    shown_row_ = rows;
}

void WebConsoleCore::paint() {
    const int columns = std::min(grid_.width(), host_.columns());
    const int rows = std::min(grid_.height(), host_.rows());
    if (columns <= 0 || rows <= 0) return;
    out_.clear();
    if (showing_room_notice_) {
        showing_room_notice_ = false;
        paint_all_ = true;
        shown_column_ = shown_row_ = -1;
    }
    const bool cleared = paint_all_;
    if (paint_all_) {
        out_ += "\x1b[0m\x1b[2J";
        shown_bright_ = false;
        grid_.mark_all_dirty();
        paint_all_ = false;
    }
    const CharWidth width_of = [this](std::string_view c) { return web_detail::widget_char_width(c, ambiguous_); };
    for (int r = 0; r < rows; ++r) {
        if (!grid_.row_dirty(r)) continue;
        const std::vector<RowPiece> pieces = render_row(grid_, r, width_of, columns);
        // Trailing blanks are erased rather than written.
        std::size_t used = pieces.size();
        while (used > 0 && pieces[used - 1].utf8 == " ") --used;
        if (used == 0 && cleared) continue;
        move_to(out_, 0, r);
        for (std::size_t i = 0; i < used; ++i) {
            const bool bright = (pieces[i].attribute & attr_intensity) != 0;
            if (bright != shown_bright_) {
                out_ += bright ? "\x1b[1m" : "\x1b[0m";
                shown_bright_ = bright;
            }
            out_ += pieces[i].utf8;
        }
        if (used < pieces.size()) {
            if (shown_bright_) {
                out_ += "\x1b[0m";
                shown_bright_ = false;
            }
            out_ += "\x1b[K";
        }
    }
    grid_.clear_dirty();

    const int column = std::clamp(grid_.cursor_column(), 0, columns - 1);
    const int row = std::clamp(grid_.cursor_row(), 0, rows - 1);
    if (out_.empty() && column == shown_column_ && row == shown_row_) return;
    move_to(out_, column, row);
    host_.write(out_);
    shown_column_ = column;
    shown_row_ = row;
}

}  // namespace rpg
