// The real terminal, on ncurses: taking it over and giving it back. The other
// concerns have files of their own (see terminal_internal.h).
//
// Start-up takes the terminal step by step: its modes, the wake-up pipe, the
// signal handlers, ncurses, the game's screen, and the measurement of how wide
// it draws characters. Whatever step fails, release() gives back exactly what
// was taken so far, and the terminal is as the game found it; the same path
// restores it at the end.

#include <fcntl.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/terminal/terminal_internal.h"

// Only after our own headers: the curses header defines names that would clash.
#define NCURSES_NOMACROS 1
#include <curses.h>

namespace rpg {
namespace terminal_detail {

namespace {

bool locale_is_utf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// Only the character type matters to the terminal; numbers and messages stay
// in the C locale, so that reading the data files never depends on the
// player's settings.
bool choose_utf8_locale() {
    if (std::setlocale(LC_CTYPE, "") && locale_is_utf8()) return true;
    for (const char* name : {"C.UTF-8", "en_US.UTF-8"}) {
        if (std::setlocale(LC_CTYPE, name) && locale_is_utf8()) return true;
    }
    std::setlocale(LC_CTYPE, "C");
    return false;
}

// ncurses cannot ask the memory file for the window's size; it is given
// through LINES and COLUMNS (put back as they were afterwards), so that the
// scrolling region it sets at start covers the whole window.
SCREEN* open_screen(std::FILE* output) {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) {
        return newterm(nullptr, output, stdin);
    }
    const char* names[2] = {"LINES", "COLUMNS"};
    const unsigned values[2] = {size.ws_row, size.ws_col};
    std::string before[2];
    bool had[2];
    for (int i = 0; i < 2; ++i) {
        const char* value = std::getenv(names[i]);
        had[i] = value != nullptr;
        if (had[i]) before[i] = value;
        setenv(names[i], std::to_string(values[i]).c_str(), 1);
    }
    SCREEN* screen = newterm(nullptr, output, stdin);
    for (int i = 0; i < 2; ++i) {
        if (had[i]) {
            setenv(names[i], before[i].c_str(), 1);
        } else {
            unsetenv(names[i]);
        }
    }
    return screen;
}

// Keys arrive one byte at a time as soon as they are typed, without echo,
// Enter as 13; Ctrl+C and Ctrl+Z still send their signals. Output goes out as
// ncurses writes it, a line feed only moving down.
termios game_modes(termios modes) {
    modes.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR));
    modes.c_oflag &= static_cast<tcflag_t>(~(ONLCR | OCRNL | ONLRET | TABDLY));
    modes.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ECHONL));
    modes.c_lflag |= ISIG | NOFLSH;
    modes.c_cc[VMIN] = 1;
    modes.c_cc[VTIME] = 0;
    return modes;
}

// Sets the game's modes on both ends, and checks that they took: a game
// played with echo and line editing still on would be unplayable.
bool set_game_modes() {
    const termios* wanted[2] = {&shared::output_modes_game, &shared::input_modes_game};
    const int fds[2] = {STDOUT_FILENO, STDIN_FILENO};
    for (int i = 0; i < 2; ++i) {
        if (tcsetattr(fds[i], TCSANOW, wanted[i]) != 0) return false;
        termios now{};
        if (tcgetattr(fds[i], &now) != 0) return false;
        const tcflag_t off = ICANON | ECHO;
        if ((now.c_lflag & off) != (wanted[i]->c_lflag & off)) {
            errno = EINVAL;
            return false;
        }
    }
    return true;
}

}  // namespace

TerminalHost::~TerminalHost() { release(); }

std::string TerminalHost::problem() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return "standard input and output must be a terminal";
    if (!choose_utf8_locale()) return "no UTF-8 locale is available; set one for the terminal, e.g. LANG=C.UTF-8";
    return {};
}

std::string TerminalHost::start(AmbiguousWidth) {
    const TerminalType type = probe_terminal_type();
    if (!type.problem.empty()) return type.problem;
    return take_over(type);
}

std::string TerminalHost::take_over(const TerminalType& type) {
    if (tcgetattr(STDOUT_FILENO, &shared::output_modes_before) != 0 ||
        tcgetattr(STDIN_FILENO, &shared::input_modes_before) != 0) {
        return refuse(std::string("cannot read the terminal's settings: ") + std::strerror(errno));
    }
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_NONBLOCK | O_CLOEXEC) != 0) return refuse(std::strerror(errno));
    wake_read_ = pipe_fds[0];
    wake_write_ = pipe_fds[1];
    shared::wake_fd = wake_write_;
    shared::set_escapes(type.leave, type.enter);
    shared::resized = 0;
    shared::redraw = 0;

    // Ours first, so that ncurses leaves these signals alone.
    install_handlers();

    // ncurses writes into a file in memory, and every update goes to the
    // terminal in one write: left to itself, ncurses would send an update in
    // many small pieces, emptying its buffer after each cursor movement. It
    // therefore never sees the terminal itself; its modes and size are set here.
    const int out_fd = memfd_create("screen", MFD_CLOEXEC);
    output_ = out_fd >= 0 ? fdopen(out_fd, "w") : nullptr;
    if (output_ == nullptr && out_fd >= 0) close(out_fd);
    curses_ = output_ ? open_screen(output_) : nullptr;
    if (!curses_) return refuse("the terminal could not be set up");
    set_term(curses_);
    // ncurses's own idea of the modes; nonl() also lets it move the cursor
    // down with a line feed.
    cbreak();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, FALSE);
    typeahead(-1);  // an update is never cut short because a key is waiting
    curs_set(1);

    shared::output_modes_game = game_modes(shared::output_modes_before);
    shared::input_modes_game = game_modes(shared::input_modes_before);
    modes_saved_ = true;
    // Everything the handlers read is in place before they are armed.
    std::atomic_signal_fence(std::memory_order_release);
    shared::active = 1;  // from here on a signal puts the modes back
    if (!set_game_modes()) return refuse(std::string("cannot set the terminal's modes: ") + std::strerror(errno));

    // Pauses as short as 1 ms must not be stretched by the kernel's timer slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    // The game's own screen, cleared, with the cursor at the top left: what
    // the measurement prints there is never seen outside it.
    wnoutrefresh(stdscr);
    doupdate();
    send_output();
    return {};
}

void TerminalHost::started(AmbiguousWidth ambiguous) {
    ambiguous_ = ambiguous;
    shared::resized = 1;  // take the window's size as it is now
    paint_all_ = true;
}

std::string TerminalHost::refuse(const std::string& why) {
    release();
    return why;
}

void TerminalHost::release() {
    // A signal now must find the terminal either still the game's or already
    // put back, never half way.
    sigset_t block = shared::handled_set();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &block, &before);

    if (curses_) {
        endwin();
        send_output();
        delscreen(curses_);
        curses_ = nullptr;
    }
    if (output_) {
        std::fclose(output_);
        output_ = nullptr;
    }
    if (modes_saved_) {
        tcsetattr(STDOUT_FILENO, TCSANOW, &shared::output_modes_before);
        tcsetattr(STDIN_FILENO, TCSANOW, &shared::input_modes_before);
        // Keys the game did not read (typed during the missing-file notice,
        // say) would otherwise run as a command in the shell.
        shared::drop_unread_keys();
        modes_saved_ = false;
    }
    shared::active = 0;
    remove_handlers();
    shared::wake_fd = -1;
    for (int* fd : {&wake_read_, &wake_write_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }

    sigprocmask(SIG_SETMASK, &before, nullptr);
}

std::int64_t TerminalHost::now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace terminal_detail

Terminal::Terminal(Options options) : ConsoleSession(std::make_unique<terminal_detail::TerminalHost>(), options) {}

}  // namespace rpg
