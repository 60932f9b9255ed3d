#pragma once
// The parts of the real terminal, shared between its files:
//   terminal.cpp          start-up, the one way back (restore), the public calls
//   terminal_signals.cpp  the signal handlers and what they share with the rest
//   terminal_input.cpp    reading keys
//   terminal_output.cpp   bringing the screen up to date
//   terminal_probe.cpp    the terminal's description and how wide it draws characters
// Nothing here is seen by the game, which knows only the console interface.

#include <termios.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "platform/cell_grid.h"
#include "platform/key_decoder.h"
#include "platform/pause_clock.h"
#include "platform/terminal/terminal.h"

struct screen;  // ncurses's SCREEN, kept out of this header with its macros

namespace rpg {
namespace terminal_detail {

// How long the terminal is given to answer where its cursor is.
inline constexpr int probe_timeout_ms = 500;

std::int64_t monotonic_ns();

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

}  // namespace terminal_detail

struct Terminal::Impl {
    enum class Stage { refused, running, restored };
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
    Stage stage = Stage::refused;
    bool keep_screen = false;
    AmbiguousWidth ambiguous = AmbiguousWidth::narrow;  // as measured or set

    // What start-up has taken so far; release() gives back exactly this.
    bool modes_saved = false;
    int wake_read = -1;
    int wake_write = -1;
    static constexpr std::size_t max_signal = NSIG;  // signal numbers are below this
    struct sigaction previous_actions[max_signal] {};
    bool installed[max_signal]{};
    stack_t previous_stack{};  // the signal stack before the handlers' own
    bool stack_set = false;
    ::screen* curses = nullptr;
    std::FILE* output = nullptr;  // where ncurses writes; sent on by send_output

    // Screen updates.
    std::string outgoing;
    terminal_detail::CursesStandIns stand_ins;
    bool paint_all = true;             // stdscr must be filled again from the grid
    bool resend_all = false;           // and the terminal's whole screen sent again
    bool showing_room_notice = false;  // the screen asks for a larger window
    int shown_column = -1;             // where the cursor was put at the last update
    int shown_row = -1;

    // Keys.
    KeyDecoder decoder;
    std::deque<int> keys;
    std::int64_t last_byte_ns = 0;

    PauseClock pauses;

    // terminal.cpp
    bool start(const terminal_detail::TerminalType& type);
    void refuse(const std::string& why);
    void stop();
    void release();

    // terminal_signals.cpp
    void install_handlers();
    void remove_handlers();

    // terminal_probe.cpp
    void measure_widths();

    // terminal_output.cpp
    int width_of(std::string_view utf8) const;
    void flush(IfTooSmall if_too_small);
    void take_signal_news();
    bool too_small() const;
    void show_room_notice();
    void wait_for_room();
    void paint();
    void send_output();
    void draw_row(int row, int columns);
    void print_kept_screen() const;

    // terminal_input.cpp
    void read_input(Keys keys_read = Keys::keep);
    void take_input(const unsigned char* bytes, std::size_t count, Keys keys_read = Keys::keep);
    void expire_escape();
    [[noreturn]] void input_closed(const std::string& why);
};

}  // namespace rpg
