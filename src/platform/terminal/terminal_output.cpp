// Bringing the screen up to date.
//
// The game writes Shift-JIS bytes into an 80 x 25 cell grid, exactly as the
// test console does. Only when the screen is brought up to date (before every
// pause and every wait for a key) are the rows written since the last update
// decoded to UTF-8 and handed to ncurses, which works out what differs; each
// update then reaches the terminal in a single write.

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cwchar>

#include "platform/console_notices.h"
#include "platform/row_render.h"
#include "platform/terminal/terminal_internal.h"

// Only after our own headers: the curses header defines names that would clash.
#define NCURSES_NOMACROS 1
#include <curses.h>

namespace rpg {
namespace terminal_detail {
namespace {

// The C library's width of a text that is one character, or 0 for any other text.
int single_char_width(const std::string& utf8) {
    wchar_t wide = 0;
    std::mbstate_t state{};
    std::size_t used = std::mbrtowc(&wide, utf8.data(), utf8.size(), &state);
    if (used == 0 || used != utf8.size()) return 0;
    return wcwidth(wide);
}

// The stand-ins are CJK ideographs of the second plane (U+20000 on), which
// no Shift-JIS text ever brings.
std::string stand_in(std::size_t n) {
    const auto code = static_cast<unsigned>(0x20000u + n);
    return {static_cast<char>(0xF0 | (code >> 18)), static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((code >> 6) & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
}

}  // namespace

std::string CursesStandIns::for_curses(const std::string& utf8, int columns) {
    if (columns != 2 || single_char_width(utf8) != 1) return utf8;
    auto [at, added] = stand_in_of_.try_emplace(utf8);
    if (added) {
        at->second = stand_in(stand_in_of_.size() - 1);
        real_of_.emplace(at->second, utf8);
    }
    return at->second;
}

void CursesStandIns::put_back(std::string& bytes) const {
    if (real_of_.empty() || bytes.find('\xF0') == std::string::npos) return;
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        if (bytes[i] == '\xF0' && i + 4 <= bytes.size()) {
            auto real = real_of_.find(bytes.substr(i, 4));
            if (real != real_of_.end()) {
                out += real->second;
                i += 4;
                continue;
            }
        }
        out.push_back(bytes[i++]);
    }
    bytes.swap(out);
}

}  // namespace terminal_detail

int Terminal::Impl::width_of(std::string_view utf8) const {
    return terminal_detail::terminal_char_width(utf8, ambiguous);
}

void Terminal::Impl::take_signal_news() {
    char drain[64];
    while (wake_read >= 0 && read(wake_read, drain, sizeof drain) > 0) {}
    if (terminal_detail::shared::resized) {
        terminal_detail::shared::resized = 0;
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0 &&
            (size.ws_row != LINES || size.ws_col != COLS)) {
            resize_term(size.ws_row, size.ws_col);
            paint_all = resend_all = true;
        }
    }
    if (terminal_detail::shared::redraw) {
        terminal_detail::shared::redraw = 0;
        paint_all = resend_all = true;
    }
}

bool Terminal::Impl::too_small() const { return COLS < options.min_columns || LINES < options.min_rows; }

void Terminal::Impl::flush(IfTooSmall if_too_small) {
    if (stage != Stage::running) return;
    take_signal_news();
    if (too_small()) {
        if (if_too_small == IfTooSmall::go_on) {
            show_room_notice();
            return;
        }
        wait_for_room();
    }
    paint();
}

namespace {

// The columns of a row up to its last non-blank one.
int used_columns(const CellGrid& grid, int row) {
    for (int x = grid.width(); x > 0; --x) {
        if (grid.at(x - 1, row).byte != ' ') return x;
    }
    return 0;
}

}  // namespace

void Terminal::Impl::paint() {
    const int columns = std::min(grid.width(), COLS);
    const int rows = std::min(grid.height(), LINES);
    if (columns <= 0 || rows <= 0) return;
    if (showing_room_notice) {
        showing_room_notice = false;
        paint_all = resend_all = true;
    }

    // A window narrower than the grid but large enough for the game can
    // still be too narrow for a text that reaches further right (the missing
    // file notice in the field program): then every row is wrapped at
    // character boundaries, and the rows below move down.
    bool wrap = false;
    for (int row = 0; row < grid.height() && columns < grid.width() && !wrap; ++row) {
        wrap = used_columns(grid, row) > columns;
    }
    if (wrap) paint_all = true;

    bool changed = false;
    if (paint_all) {
        werase(stdscr);
        if (resend_all) clearok(curscr, TRUE);
        grid.mark_all_dirty();
        paint_all = resend_all = false;
        changed = true;
    }
    int column = std::clamp(grid.cursor_column(), 0, columns - 1);
    int row = std::clamp(grid.cursor_row(), 0, rows - 1);
    if (wrap) {
        int line = 0;
        for (int r = 0; r < grid.height() && line < LINES; ++r, ++line) {
            int x = 0;
            for (const RowPiece& piece : render_row(grid, r, [this](std::string_view c) { return width_of(c); })) {
                if (piece.column >= used_columns(grid, r)) break;
                if (x + piece.columns > COLS) {
                    x = 0;
                    if (++line >= LINES) break;
                }
                wattrset(stdscr, (piece.attribute & attr_intensity) ? A_BOLD : A_NORMAL);
                mvwaddstr(stdscr, line, x, stand_ins.for_curses(piece.utf8, piece.columns).c_str());
                x += piece.columns;
            }
        }
        wattrset(stdscr, A_NORMAL);
        column = 0;
        row = std::min(line, LINES - 1);
        paint_all = true;  // the next update lays the rows out again
    } else {
        for (int r = 0; r < rows; ++r) {
            if (!grid.row_dirty(r)) continue;
            draw_row(r, columns);
            changed = true;
        }
    }
    grid.clear_dirty();

    if (!changed && column == shown_column && row == shown_row) return;
    wmove(stdscr, row, column);
    wnoutrefresh(stdscr);
    doupdate();
    send_output();
    shown_column = column;
    shown_row = row;
}

void Terminal::Impl::send_output() {
    const int fd = fileno(output);
    const off_t length = lseek(fd, 0, SEEK_CUR);
    if (length <= 0) return;
    outgoing.resize(static_cast<std::size_t>(length));
    std::size_t got = 0;
    while (got < outgoing.size()) {
        ssize_t n = pread(fd, outgoing.data() + got, outgoing.size() - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    outgoing.resize(got);
    stand_ins.put_back(outgoing);
    // A stop (Ctrl+Z) waits until the update is out: stopped half way, the
    // terminal would be left inside an escape sequence, or in the game's look.
    const sigset_t stops = terminal_detail::shared::stop_set();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &stops, &before);
    terminal_detail::shared::write_all(outgoing.data(), outgoing.size());
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (ftruncate(fd, 0) == 0) lseek(fd, 0, SEEK_SET);
}

void Terminal::Impl::draw_row(int row, int columns) {
    wmove(stdscr, row, 0);
    wclrtoeol(stdscr);
    // Runs of one look go to ncurses as one string.
    std::string run;
    int run_column = 0;
    std::uint8_t run_attribute = 0;
    auto put_run = [&] {
        if (run.empty()) return;
        wattrset(stdscr, (run_attribute & attr_intensity) ? A_BOLD : A_NORMAL);
        mvwaddstr(stdscr, row, run_column, run.c_str());
        run.clear();
    };
    for (const RowPiece& piece : render_row(
             grid, row, [this](std::string_view c) { return width_of(c); }, columns)) {
        if (!run.empty() && piece.attribute != run_attribute) put_run();
        if (run.empty()) {
            run_column = piece.column;
            run_attribute = piece.attribute;
        }
        if (ambiguous == AmbiguousWidth::wide) {
            run += stand_ins.for_curses(piece.utf8, piece.columns);
        } else {
            run += piece.utf8;
        }
    }
    put_run();
    wattrset(stdscr, A_NORMAL);
}

void Terminal::Impl::show_room_notice() {
    if (showing_room_notice && !paint_all) return;
    werase(stdscr);
    if (resend_all) clearok(curscr, TRUE);
    paint_all = resend_all = false;
    wattrset(stdscr, A_NORMAL);
    int row = 0;
    for (const std::string& line : too_small_notice(options.min_columns, options.min_rows, COLS, LINES)) {
        mvwaddnstr(stdscr, row++, 0, line.c_str(), COLS);
    }
    wnoutrefresh(stdscr);
    doupdate();
    send_output();
    showing_room_notice = true;
    shown_column = shown_row = -1;
}

void Terminal::Impl::wait_for_room() {
    while (too_small()) {
        show_room_notice();
        // Nothing to do until the window changes: wait without using the CPU.
        // Keys typed meanwhile are not meant for the game and are dropped.
        pollfd fds[2] = {{wake_read, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, -1) > 0 && fds[1].revents != 0) read_input(Keys::drop);
        take_signal_news();
    }
    pauses.restart();
}

void Terminal::Impl::print_kept_screen() const {
    const std::string out = kept_screen(
        grid.height(),
        [this](int row) { return row_line(grid, row, [this](std::string_view c) { return width_of(c); }); }, "\n");
    if (out.empty()) return;
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

// A pause never waits for a larger window: a notice that closes the game
// after a while must close it on time whatever the window's size.
void Terminal::sleep_ms(int milliseconds) {
    Impl& t = *impl_;
    t.flush(Impl::IfTooSmall::go_on);
    if (milliseconds <= 0) return;
    const std::int64_t deadline_ns =
        t.pauses.next(terminal_detail::monotonic_ns(), static_cast<std::int64_t>(milliseconds) * 1'000'000);
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadline_ns / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(deadline_ns % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        // A resize or a return from a stop is shown at once, not after the pause.
        t.flush(Impl::IfTooSmall::go_on);
    }
}

}  // namespace rpg
