// Painting the grid through ncurses.
//
// The game writes Shift-JIS bytes into an 80 x 25 cell grid, exactly as the
// test console does. Only when the screen is brought up to date (before every
// pause and every wait for a key) are the rows written since the last update
// decoded to UTF-8 and handed to ncurses, which works out what differs; each
// update then reaches the terminal in a single write.

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>

#include "platform/console_notices.h"
#include "platform/row_render.h"
#include "platform/terminal/terminal_internal.h"

// Only after our own headers: the curses header defines names that would clash.
#define NCURSES_NOMACROS 1
#include <curses.h>

namespace rpg::terminal_detail {
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

int TerminalHost::width_of(std::string_view utf8) const { return terminal_char_width(utf8, ambiguous_); }

ScreenSize TerminalHost::size() { return {COLS, LINES}; }

bool TerminalHost::take_news() {
    char drain[64];
    while (wake_read_ >= 0 && read(wake_read_, drain, sizeof drain) > 0) {}
    bool news = false;
    if (shared::resized) {
        shared::resized = 0;
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0 &&
            (size.ws_row != LINES || size.ws_col != COLS)) {
            resize_term(size.ws_row, size.ws_col);
            news = true;
        }
    }
    if (shared::redraw) {
        shared::redraw = 0;
        news = true;
    }
    if (news) paint_all_ = resend_all_ = true;
    return news;
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

void TerminalHost::paint(CellGrid& grid, bool whole) {
    const int columns = std::min(grid.width(), COLS);
    const int rows = std::min(grid.height(), LINES);
    if (columns <= 0 || rows <= 0) return;
    if (whole) paint_all_ = resend_all_ = true;

    // A window narrower than the grid but large enough for the game can
    // still be too narrow for a text that reaches further right (the missing
    // file notice in the field program): then every row is wrapped at
    // character boundaries, and the rows below move down.
    bool wrap = false;
    for (int row = 0; row < grid.height() && columns < grid.width() && !wrap; ++row) {
        wrap = used_columns(grid, row) > columns;
    }
    if (wrap) paint_all_ = true;

    bool changed = false;
    if (paint_all_) {
        werase(stdscr);
        if (resend_all_) clearok(curscr, TRUE);
        grid.mark_all_dirty();
        paint_all_ = resend_all_ = false;
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
                mvwaddstr(stdscr, line, x, stand_ins_.for_curses(piece.utf8, piece.columns).c_str());
                x += piece.columns;
            }
        }
        wattrset(stdscr, A_NORMAL);
        column = 0;
        row = std::min(line, LINES - 1);
        paint_all_ = true;  // the next update lays the rows out again
    } else {
        for (int r = 0; r < rows; ++r) {
            if (!grid.row_dirty(r)) continue;
            draw_row(grid, r, columns);
            changed = true;
        }
    }
    grid.clear_dirty();

    if (!changed && column == shown_column_ && row == shown_row_) return;
    wmove(stdscr, row, column);
    wnoutrefresh(stdscr);
    doupdate();
    send_output();
    shown_column_ = column;
    shown_row_ = row;
}

void TerminalHost::send_output() {
    const int fd = fileno(output_);
    const off_t length = lseek(fd, 0, SEEK_CUR);
    if (length <= 0) return;
    outgoing_.resize(static_cast<std::size_t>(length));
    std::size_t got = 0;
    while (got < outgoing_.size()) {
        ssize_t n = pread(fd, outgoing_.data() + got, outgoing_.size() - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    outgoing_.resize(got);
    stand_ins_.put_back(outgoing_);
    // A stop (Ctrl+Z) waits until the update is out: stopped half way, the
    // terminal would be left inside an escape sequence, or in the game's look.
    const sigset_t stops = shared::stop_set();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &stops, &before);
    shared::write_all(outgoing_.data(), outgoing_.size());
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (ftruncate(fd, 0) == 0) lseek(fd, 0, SEEK_SET);
}

void TerminalHost::draw_row(const CellGrid& grid, int row, int columns) {
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
        if (ambiguous_ == AmbiguousWidth::wide) {
            run += stand_ins_.for_curses(piece.utf8, piece.columns);
        } else {
            run += piece.utf8;
        }
    }
    put_run();
    wattrset(stdscr, A_NORMAL);
}

void TerminalHost::show_notice(const std::vector<std::string>& lines) {
    werase(stdscr);
    if (resend_all_) clearok(curscr, TRUE);
    paint_all_ = resend_all_ = false;
    wattrset(stdscr, A_NORMAL);
    int row = 0;
    for (const std::string& line : lines) mvwaddnstr(stdscr, row++, 0, line.c_str(), COLS);
    wnoutrefresh(stdscr);
    doupdate();
    send_output();
    shown_column_ = shown_row_ = -1;
}

void TerminalHost::print_kept_screen(const CellGrid& grid) {
    const std::string out = kept_screen(
        grid.height(),
        [this, &grid](int row) { return row_line(grid, row, [this](std::string_view c) { return width_of(c); }); },
        "\n");
    if (out.empty()) return;
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace rpg::terminal_detail
