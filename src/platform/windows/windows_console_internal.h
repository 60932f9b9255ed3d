#pragma once
// The Windows console as a console device, shared between its files:
//   windows_console.cpp  taking the console over and putting it back
//   windows_output.cpp   the window's size and bringing the screen up to date
//   windows_input.cpp    keys as input records, and pauses
// The console session (platform/console_session.h) does the rest; nothing
// here is seen by the game, which knows only the console interface.

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_cells.h"
#include "platform/console_session.h"
#include "platform/windows/windows_console.h"

namespace rpg {
namespace windows_detail {

// While waiting for a key the window's size is looked at this often: not
// every console reports a change of size as an event.
inline constexpr DWORD size_check_ms = 500;
// A held key reports how often it repeated; more than this at once is not
// meant for a menu.
inline constexpr int most_repeats = 32;
inline constexpr WORD normal_look = attr_normal;

inline COORD coord(int column, int row) { return COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)}; }

void write_text(HANDLE to, std::u16string_view text);

// Held while the console is being changed; the control handler takes it before
// it puts the console back, so that it never finds the game half way through
// an update. Only one console is in use at a time.
extern std::mutex console_lock;

class WindowsHost final : public ConsoleHost {
public:
    WindowsHost();
    ~WindowsHost() override;

    // windows_console.cpp
    std::string problem() override;
    std::string start(AmbiguousWidth ambiguous) override;
    bool starts_at_first_use() const override { return true; }
    void release() override;
    void print_kept_screen(const CellGrid& grid) override;
    // The game's screen buffer goes away with the console given back.
    bool paints_last_screen() const override { return false; }
    std::string_view name() const override { return "the console"; }
    // The console measures its widths itself, with its cursor, before the
    // game's screen is shown.
    bool answers_cursor_reports() const override { return false; }
    AmbiguousWidth own_ambiguous() override {
        return widths_.symbol_drawn == 2 ? AmbiguousWidth::wide : AmbiguousWidth::narrow;
    }
    // The console as the player had it; also from the control handler, which
    // holds console_lock.
    void put_back();

    // windows_input.cpp
    Input read_available() override;
    Wake wait_input(int timeout_ms) override;
    void write(std::string_view) override {}
    std::int64_t monotonic_ns() override;
    std::int64_t now_seconds() override;
    bool sleep_until(std::int64_t deadline_ns) override;

    // windows_output.cpp
    ScreenSize size() override { return {columns_, rows_}; }
    bool take_news() override;
    void paint(CellGrid& grid, bool whole) override;
    void show_notice(const std::vector<std::string>& lines) override;
    int room_check_ms() const override { return static_cast<int>(size_check_ms); }
    // The cursor shown, and left where the grid's stands after each paint.
    void follow_with_cursor() override { follow_cursor_ = true; }

private:
    void measure_widths(AmbiguousWidth ambiguous);
    bool take_window_size();
    bool window_changed();
    void blank_screen();

    bool wine_ = false;
    bool running_ = false;  // the console is in the game's hands

    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE output_ = INVALID_HANDLE_VALUE;  // the player's screen buffer
    HANDLE screen_ = INVALID_HANDLE_VALUE;  // the game's, while it runs
    UINT input_code_page_before_ = 0;
    UINT output_code_page_before_ = 0;
    DWORD input_mode_before_ = 0;
    DWORD output_mode_before_ = 0;
    HANDLE timer_ = nullptr;
    bool coarse_timer_ = false;  // no high-resolution timer: the system's tick was shortened

    console_cells::CellWidths widths_;
    int columns_ = 0;  // the size of the console's window
    int rows_ = 0;
    // What each row of the console shows; empty when that is not known.
    std::vector<std::vector<RowPiece>> shown_ = std::vector<std::vector<RowPiece>>(screen_rows);
    WORD shown_look_ = normal_look;
    bool follow_cursor_ = false;
    int shown_cursor_column_ = -1;  // where a paint last left the cursor, when it follows the grid's
    int shown_cursor_row_ = -1;
    bool size_event_ = false;  // the console reported a change of size
    std::int64_t next_size_check_ns_ = 0;
};

}  // namespace windows_detail
}  // namespace rpg
