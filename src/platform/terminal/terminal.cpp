// The real terminal, on ncurses: start-up, the one way back, and the calls
// the game makes. The other concerns have files of their own (see
// terminal_internal.h).
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
#include "platform/terminal/terminal_widths.h"

// Only after our own headers: the curses header defines names that would clash.
#define NCURSES_NOMACROS 1
#include <curses.h>

namespace rpg {
namespace terminal_detail {

std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

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
}  // namespace terminal_detail

namespace shared = terminal_detail::shared;

bool Terminal::Impl::start(const terminal_detail::TerminalType& type) {
    if (tcgetattr(STDOUT_FILENO, &shared::output_modes_before) != 0 ||
        tcgetattr(STDIN_FILENO, &shared::input_modes_before) != 0) {
        refuse(std::string("cannot read the terminal's settings: ") + std::strerror(errno));
        return false;
    }
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        refuse(std::strerror(errno));
        return false;
    }
    wake_read = pipe_fds[0];
    wake_write = pipe_fds[1];
    shared::wake_fd = wake_write;
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
    output = out_fd >= 0 ? fdopen(out_fd, "w") : nullptr;
    if (output == nullptr && out_fd >= 0) close(out_fd);
    curses = output ? terminal_detail::open_screen(output) : nullptr;
    if (!curses) {
        refuse("the terminal could not be set up");
        return false;
    }
    set_term(curses);
    // ncurses's own idea of the modes; nonl() also lets it move the cursor
    // down with a line feed.
    cbreak();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, FALSE);
    typeahead(-1);  // an update is never cut short because a key is waiting
    curs_set(1);

    shared::output_modes_game = terminal_detail::game_modes(shared::output_modes_before);
    shared::input_modes_game = terminal_detail::game_modes(shared::input_modes_before);
    modes_saved = true;
    // Everything the handlers read is in place before they are armed.
    std::atomic_signal_fence(std::memory_order_release);
    shared::active = 1;  // from here on a signal puts the modes back
    if (!terminal_detail::set_game_modes()) {
        refuse(std::string("cannot set the terminal's modes: ") + std::strerror(errno));
        return false;
    }

    // Pauses as short as 1 ms must not be stretched by the kernel's timer slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    stage = Stage::running;

    // The game's own screen, cleared, with the cursor at the top left: what
    // the measurement prints there is never seen outside it.
    wnoutrefresh(stdscr);
    doupdate();
    send_output();
    if (options.ambiguous == AmbiguousWidth::measure) {
        measure_widths();
        if (stage != Stage::running) return false;
    } else {
        ambiguous = options.ambiguous;
    }

    shared::resized = 1;  // take the window's size as it is now
    paint_all = true;
    return true;
}

void Terminal::Impl::refuse(const std::string& why) {
    error = why;
    release();
    stage = Stage::refused;
}

void Terminal::Impl::stop() {
    if (stage != Stage::running) {
        if (stage != Stage::refused) stage = Stage::restored;
        return;
    }
    // What was printed last is on the screen before it goes, for terminals
    // without a screen of their own for programs.
    take_signal_news();
    if (!too_small()) paint();
    release();
    stage = Stage::restored;
    if (keep_screen) print_kept_screen();
}

void Terminal::Impl::release() {
    // A signal now must find the terminal either still the game's or already
    // put back, never half way.
    sigset_t block = shared::handled_set();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &block, &before);

    if (curses) {
        endwin();
        send_output();
        delscreen(curses);
        curses = nullptr;
    }
    if (output) {
        std::fclose(output);
        output = nullptr;
    }
    if (modes_saved) {
        tcsetattr(STDOUT_FILENO, TCSANOW, &shared::output_modes_before);
        tcsetattr(STDIN_FILENO, TCSANOW, &shared::input_modes_before);
        // Keys the game did not read (typed during the missing-file notice,
        // say) would otherwise run as a command in the shell.
        shared::drop_unread_keys();
        modes_saved = false;
    }
    shared::active = 0;
    remove_handlers();
    shared::wake_fd = -1;
    for (int* fd : {&wake_read, &wake_write}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }

    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// ---------------------------------------------------------------------------

Terminal::Terminal(Options options) : impl_(std::make_unique<Impl>()) {
    Impl& t = *impl_;
    t.options = options;
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        t.error = "standard input and output must be a terminal";
        return;
    }
    if (!terminal_detail::choose_utf8_locale()) {
        t.error = "no UTF-8 locale is available; set one for the terminal, e.g. LANG=C.UTF-8";
        return;
    }
    t.error = take_ambiguous_setting(t.options);
    if (!t.error.empty()) return;
    const terminal_detail::TerminalType type = terminal_detail::probe_terminal_type();
    if (!type.problem.empty()) {
        t.error = type.problem;
        return;
    }
    t.start(type);
}

Terminal::~Terminal() { impl_->stop(); }

const std::string& Terminal::startup_error() const { return impl_->error; }

void Terminal::keep_screen_on_exit(bool keep) { impl_->keep_screen = keep; }

void Terminal::restore() { impl_->stop(); }

ConsoleFacts Terminal::facts() {
    const bool running = impl_->stage == Impl::Stage::running;
    return ConsoleFacts{impl_->ambiguous, running ? COLS : 0, running ? LINES : 0};
}

void Terminal::set_cursor(int column, int row) { impl_->grid.set_cursor(column, row); }

void Terminal::set_attribute(std::uint16_t attribute) { impl_->grid.set_attribute(attribute); }

void Terminal::print(std::string_view sjis_text) { impl_->grid.write(sjis_text); }

std::int64_t Terminal::now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace rpg
