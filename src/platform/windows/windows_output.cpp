// Bringing the screen up to date.
//
// The game writes Shift-JIS bytes into an 80 x 25 cell grid, exactly as the
// test console does. Only when the screen is brought up to date (before every
// pause and every wait for a key) are the rows written since the last update
// compared with what the console shows, and the span that changed written
// with one console call per run of one look.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/console_notices.h"
#include "platform/windows/windows_console_internal.h"

namespace rpg {

using namespace console_cells;
using namespace windows_detail;

namespace windows_detail {

static std::wstring wide_of(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

void write_text(HANDLE to, std::u16string_view text) {
    const std::wstring wide = wide_of(text);
    DWORD written = 0;
    WriteConsoleW(to, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace windows_detail

// Takes the window's size as it is now; true when it changed.
bool WindowsConsole::Impl::take_window_size() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) return false;
    const int w = info.srWindow.Right - info.srWindow.Left + 1;
    const int h = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (w == columns && h == rows) return false;
    columns = w;
    rows = h;
    SetConsoleScreenBufferSize(screen, coord(w, h));
    return true;
}

// Looks at the window's size when the console reported a change, and now and
// then anyway: not every console reports one.
bool WindowsConsole::Impl::window_changed() {
    const std::int64_t now = monotonic_ns();
    if (!size_event && now < next_size_check_ns) return false;
    size_event = false;
    next_size_check_ns = now + static_cast<std::int64_t>(size_check_ms) * 1'000'000;
    return take_window_size();
}

void WindowsConsole::Impl::blank_screen() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info)) return;
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    DWORD done = 0;
    FillConsoleOutputCharacterW(screen, L' ', cells, coord(0, 0), &done);
    FillConsoleOutputAttribute(screen, normal_look, cells, coord(0, 0), &done);
    for (auto& row : shown) row.clear();
    grid.mark_all_dirty();
}

// The rows that hold anything, as lines in the player's own screen.
void WindowsConsole::Impl::print_kept_screen() const {
    const std::string text = kept_screen(
        grid.height(),
        [this](int row) {
            std::string line;
            for (const RowPiece& piece : console_pieces(grid, row, -1)) line += piece.utf8;
            return line;
        },
        "\r\n");
    if (text.empty()) return;
    std::u16string out;
    append_utf16(out, text);
    write_text(output, out);
}

// ---------------------------------------------------------------------------
// Screen updates.

void WindowsConsole::Impl::flush(IfTooSmall if_too_small) {
    if (!start()) return;
    std::unique_lock guard(console_lock);
    if (stage != Stage::running) return;
    if (window_changed()) {
        showing_notice = false;
        blank_screen();
    }
    if (too_small()) {
        show_too_small();
        if (if_too_small == IfTooSmall::go_on) return;
        // Nothing to do until the window grows: wait without using the CPU.
        // Keys typed meanwhile are not meant for the game and are dropped.
        while (too_small()) {
            guard.unlock();
            WaitForSingleObject(input, size_check_ms);
            take_input(Keys::drop);
            guard.lock();
            if (stage != Stage::running) return;
            if (take_window_size()) show_too_small();
        }
        showing_notice = false;
        blank_screen();
        pauses.restart();
    }
    paint();
}

void WindowsConsole::Impl::show_too_small() {
    if (showing_notice) return;
    blank_screen();
    showing_notice = true;
    const std::vector<std::string> lines = too_small_notice(options.min_columns, options.min_rows, columns, rows);
    SetConsoleTextAttribute(screen, normal_look);
    shown_look = normal_look;
    for (std::size_t row = 0; row < lines.size(); ++row) {
        SetConsoleCursorPosition(screen, coord(0, static_cast<int>(row)));
        std::u16string text;
        append_utf16(text, lines[row]);
        write_text(screen, text);
    }
}

void WindowsConsole::Impl::paint() {
    const int visible_columns = std::min(grid.width(), columns);
    const int visible_rows = std::min(grid.height(), rows);
    for (int row = 0; row < visible_rows; ++row) {
        if (!grid.row_dirty(row)) continue;
        std::vector<RowPiece> pieces = console_pieces(grid, row, visible_columns);
        std::vector<RowPiece>& before = shown[static_cast<std::size_t>(row)];
        for (const ConsoleRun& run : console_runs(pieces, before, widths)) {
            SetConsoleCursorPosition(screen, coord(run.column, row));
            if (run.attribute != shown_look) {
                shown_look = run.attribute;
                SetConsoleTextAttribute(screen, shown_look);
            }
            write_text(screen, run.text);
        }
        before = std::move(pieces);
    }
    grid.clear_dirty();
}

}  // namespace rpg
