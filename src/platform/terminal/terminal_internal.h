#pragma once
// The real terminal as a console device, shared between its files:
//   terminal.cpp          taking the terminal over and giving it back
//   terminal_signals.cpp  the signal handlers and what they share with the rest
//   terminal_input.cpp    bytes in, waits and pauses
//   terminal_output.cpp   painting the grid through ncurses
//   terminal_probe.cpp    the terminal's description and its character widths
// The console session (platform/console_session.h) does the rest; nothing
// here is seen by the game, which knows only the console interface.

#include <termios.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "platform/cell_grid.h"
#include "platform/console_session.h"
#include "platform/terminal/terminal.h"

struct screen;  // ncurses's SCREEN, kept out of this header with its macros

namespace rpg {
namespace terminal_detail {

// ---------------------------------------------------------------------------
// What the signal handlers share with the rest (terminal_signals.cpp). Only
// one terminal is in use at a time.
namespace shared {

extern volatile std::sig_atomic_t active;    // the terminal is in the game's modes
extern volatile std::sig_atomic_t stopping;  // the stop handler is suspending the game
extern volatile std::sig_atomic_t resized;   // the window changed size
extern volatile std::sig_atomic_t redraw;    // the screen must be sent again whole
extern int wake_fd;                          // the write end of the wake-up pipe

extern termios output_modes_before;  // the modes the game found, on output and input
extern termios input_modes_before;
extern termios output_modes_game;  // the game's modes
extern termios input_modes_game;

// Copies the escape strings that leave and re-enter the game's screen where
// the handlers can reach them.
void set_escapes(std::string_view leave, std::string_view enter);
// Writes all of it to the terminal, as a signal handler may.
void write_all(const char* bytes, std::size_t length);
// Drops the keys typed but not read, as a signal handler may.
void drop_unread_keys();

struct Handled {
    int signo;
    void (*handler)(int);
    bool keep_ignored;  // a signal the game was started ignoring stays ignored
};
// The signals with a handler of their own; the real-time signals, which
// would end the game too, all take on_end_signal.
extern const Handled handled_signals[];
extern const std::size_t handled_count;
void on_end_signal(int signo);
// Every signal handled, real-time ones included.
sigset_t handled_set();
// The signals that stop the game: blocked while an update is written, so that
// the terminal never stops half way through one.
sigset_t stop_set();

}  // namespace shared

// What the terminal description says (terminal_probe.cpp).
struct TerminalType {
    std::string problem;  // empty when the terminal can be used
    std::string leave;    // resets the look, shows the cursor, leaves the game's screen
    std::string enter;    // goes back to the game's screen
};
TerminalType probe_terminal_type();

// How wide the terminal draws one UTF-8 character: 1 or 2, or 0 or less for
// one it cannot show. Needs the UTF-8 locale.
int terminal_char_width(std::string_view utf8, AmbiguousWidth ambiguous);

// ncurses counts a character's columns with the C library, which takes every
// ambiguous character for one column. On a terminal that draws them two
// columns wide each is handed to ncurses as a stand-in that the C library
// takes for two columns (a character the game never shows), and the stand-ins
// are put back into the real characters on their way to the terminal.
class CursesStandIns {
public:
    // What to hand ncurses for a character the terminal draws `columns` wide.
    std::string for_curses(const std::string& utf8, int columns);
    // Puts the real characters back in place of the stand-ins.
    void put_back(std::string& bytes) const;

private:
    std::map<std::string, std::string> stand_in_of_;
    std::map<std::string, std::string> real_of_;
};

class TerminalHost final : public ConsoleHost {
public:
    ~TerminalHost() override;

    std::string problem() override;
    std::string start(AmbiguousWidth ambiguous) override;
    void started(AmbiguousWidth ambiguous) override;
    void release() override;
    void print_kept_screen(const CellGrid& grid) override;
    std::string_view name() const override { return "the terminal"; }
    int library_width(std::string_view utf8) override;

    Input read_available() override;
    Wake wait_input(int timeout_ms) override;
    void write(std::string_view bytes) override;

    ScreenSize size() override;
    bool take_news() override;
    void paint(CellGrid& grid, bool whole) override;
    void show_notice(const std::vector<std::string>& lines) override;

    std::int64_t monotonic_ns() override;
    std::int64_t now_seconds() override;
    bool sleep_until(std::int64_t deadline_ns) override;

private:
    // terminal.cpp
    std::string take_over(const terminal_detail::TerminalType& type);
    std::string refuse(const std::string& why);

    // terminal_signals.cpp
    void install_handlers();
    void remove_handlers();

    // terminal_output.cpp
    int width_of(std::string_view utf8) const;
    void send_output();
    void draw_row(const CellGrid& grid, int row, int columns);

    AmbiguousWidth ambiguous_ = AmbiguousWidth::narrow;  // as measured or set

    // What start-up has taken so far; release() gives back exactly this.
    bool modes_saved_ = false;
    int wake_read_ = -1;
    int wake_write_ = -1;
    static constexpr std::size_t max_signal = NSIG;  // signal numbers are below this
    struct sigaction previous_actions_[max_signal] {};
    bool installed_[max_signal]{};
    stack_t previous_stack_{};  // the signal stack before the handlers' own
    bool stack_set_ = false;
    ::screen* curses_ = nullptr;
    std::FILE* output_ = nullptr;  // where ncurses writes; sent on by send_output

    // Screen updates.
    std::string outgoing_;
    terminal_detail::CursesStandIns stand_ins_;
    bool paint_all_ = true;    // stdscr must be filled again from the grid
    bool resend_all_ = false;  // and the terminal's whole screen sent again
    int shown_column_ = -1;    // where the cursor was put at the last update
    int shown_row_ = -1;
};

}  // namespace terminal_detail
}  // namespace rpg
