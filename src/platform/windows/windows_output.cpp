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
bool WindowsHost::take_window_size() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen_, &info)) return false;
    const int w = info.srWindow.Right - info.srWindow.Left + 1;
    const int h = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (w == columns_ && h == rows_) return false;
    columns_ = w;
    rows_ = h;
    SetConsoleScreenBufferSize(screen_, coord(w, h));
    return true;
}

// Looks at the window's size when the console reported a change, and now and
// then anyway: not every console reports one.
bool WindowsHost::window_changed() {
    const std::int64_t now = monotonic_ns();
    if (!size_event_ && now < next_size_check_ns_) return false;
    size_event_ = false;
    next_size_check_ns_ = now + static_cast<std::int64_t>(size_check_ms) * 1'000'000;
    return take_window_size();
}

// A window of a new size is blanked, and the game's screen sent again whole.
bool WindowsHost::take_news() {
    std::lock_guard guard(console_lock);
    if (!running_ || !window_changed()) return false;
    blank_screen();
    return true;
}

void WindowsHost::blank_screen() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen_, &info)) return;
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    DWORD done = 0;
    FillConsoleOutputCharacterW(screen_, L' ', cells, coord(0, 0), &done);
    FillConsoleOutputAttribute(screen_, normal_look, cells, coord(0, 0), &done);
    for (auto& row : shown_) row.clear();
}

// The rows that hold anything, as lines in the player's own screen.
void WindowsHost::print_kept_screen(const CellGrid& grid) {
    const std::string text = kept_screen(
        grid.height(),
        [&grid](int row) {
            std::string line;
            for (const RowPiece& piece : console_pieces(grid, row, -1)) line += piece.utf8;
            return line;
        },
        "\r\n");
    if (text.empty()) return;
    std::u16string out;
    append_utf16(out, text);
    write_text(output_, out);
}

// ---------------------------------------------------------------------------
// Screen updates.

void WindowsHost::show_notice(const std::vector<std::string>& lines) {
    std::lock_guard guard(console_lock);
    if (!running_) return;
    blank_screen();
    SetConsoleTextAttribute(screen_, normal_look);
    shown_look_ = normal_look;
    for (std::size_t row = 0; row < lines.size(); ++row) {
        SetConsoleCursorPosition(screen_, coord(0, static_cast<int>(row)));
        std::u16string text;
        append_utf16(text, lines[row]);
        write_text(screen_, text);
    }
    shown_cursor_column_ = shown_cursor_row_ = -1;
}

// Only the rows written since the last update are compared with what the
// console shows; a screen not known is blanked and written whole.
void WindowsHost::paint(CellGrid& grid, bool whole) {
    std::lock_guard guard(console_lock);
    if (!running_) return;
    if (whole) {
        blank_screen();
        grid.mark_all_dirty();
    }
    const int visible_columns = std::min(grid.width(), columns_);
    const int visible_rows = std::min(grid.height(), rows_);
    bool written = false;
    for (int row = 0; row < visible_rows; ++row) {
        if (!grid.row_dirty(row)) continue;
        std::vector<RowPiece> pieces = console_pieces(grid, row, visible_columns);
        std::vector<RowPiece>& before = shown_[static_cast<std::size_t>(row)];
        for (const ConsoleRun& run : console_runs(pieces, before, widths_)) {
            SetConsoleCursorPosition(screen_, coord(run.column, row));
            if (run.attribute != shown_look_) {
                shown_look_ = run.attribute;
                SetConsoleTextAttribute(screen_, shown_look_);
            }
            write_text(screen_, run.text);
            written = true;
        }
        before = std::move(pieces);
    }
    grid.clear_dirty();
    if (!follow_cursor_ || visible_columns <= 0 || visible_rows <= 0) return;
    // Otherwise the cursor stays where the last run ended. Placed again only
    // when it moved, so that a reader is not sent to the same place twice.
    const int column = std::clamp(grid.cursor_column(), 0, visible_columns - 1);
    const int row = std::clamp(grid.cursor_row(), 0, visible_rows - 1);
    if (!written && column == shown_cursor_column_ && row == shown_cursor_row_) return;
    SetConsoleCursorPosition(screen_, coord(column, row));
    shown_cursor_column_ = column;
    shown_cursor_row_ = row;
}

}  // namespace rpg
