#pragma once
// The parts of the Windows console, shared between its files:
//   windows_console.cpp  taking the console over, putting it back, the public calls
//   windows_output.cpp   the window's size and bringing the screen up to date
//   windows_input.cpp    reading keys and waiting out pauses
// Nothing here is seen by the game, which knows only the console interface.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/console_cells.h"
#include "platform/pause_clock.h"
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

std::int64_t monotonic_ns();

inline COORD coord(int column, int row) { return COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)}; }

void write_text(HANDLE to, std::u16string_view text);

// What the control handler puts back when the game is ended from outside.
struct ActiveConsole {
    virtual void put_back() = 0;

protected:
    ~ActiveConsole() = default;
};

// Held while the console is being changed; the control handler takes it before
// it puts the console back, so that it never finds the game half way through
// an update. Only one console is in use at a time.
extern std::mutex console_lock;

}  // namespace windows_detail

struct WindowsConsole::Impl final : windows_detail::ActiveConsole {
    enum class Stage { waiting, running, restored };
    // What an update does while the window is too small for the game: wait
    // until it is large enough (before a key is read), or show the notice and
    // go on (a pause, which must end on time whatever the window's size).
    enum class IfTooSmall { wait_for_room, go_on };
    // What becomes of the keys read: kept for the game, or dropped (typed
    // while the notice asked for a larger window, not meant for the game).
    enum class Keys { keep, drop };

    Options options;
    std::string error;
    CellGrid grid{screen_columns, screen_rows};
    Stage stage = Stage::waiting;
    bool keep_screen = false;
    bool wine = false;

    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;  // the player's screen buffer
    HANDLE screen = INVALID_HANDLE_VALUE;  // the game's, while it runs
    UINT input_code_page_before = 0;
    UINT output_code_page_before = 0;
    DWORD input_mode_before = 0;
    DWORD output_mode_before = 0;
    HANDLE timer = nullptr;
    bool coarse_timer = false;  // no high-resolution timer: the system's tick was shortened

    console_cells::CellWidths widths;
    int columns = 0;  // the size of the console's window
    int rows = 0;
    // What each row of the console shows; empty when that is not known.
    std::vector<std::vector<RowPiece>> shown = std::vector<std::vector<RowPiece>>(screen_rows);
    WORD shown_look = windows_detail::normal_look;
    bool showing_notice = false;  // the console is too small and says so
    bool size_event = false;      // the console reported a change of size
    std::int64_t next_size_check_ns = 0;

    std::deque<int> keys;
    PauseClock pauses;

    // windows_console.cpp
    bool start();
    void stop();
    void put_back() override;  // the console as the player had it; also from the control handler
    void measure_widths();

    // windows_output.cpp
    bool take_window_size();
    bool window_changed();
    bool too_small() const { return columns < options.min_columns || rows < options.min_rows; }
    void blank_screen();
    void flush(IfTooSmall if_too_small);
    void show_too_small();
    void paint();
    void print_kept_screen() const;

    // windows_input.cpp
    void take_input(Keys keys_read);
    [[noreturn]] void input_closed();
    void wait_until(std::int64_t deadline_ns);
};

}  // namespace rpg
