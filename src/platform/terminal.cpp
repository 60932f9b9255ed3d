// The real terminal, on ncurses.
//
// The game writes Shift-JIS bytes into an 80 x 25 cell grid, exactly as the
// test console does. Only when the screen is brought up to date (before every
// pause and every wait for a key) are the rows written since the last update
// decoded to UTF-8 and handed to ncurses, which works out what differs; each
// update then reaches the terminal in a single write.
//
// Keys are read as raw bytes from standard input and decoded here, not by
// ncurses: an arrow becomes the prefix 224 and its direction code, as the game
// expects.
//
// Signal handlers put the terminal back in order when the game is ended or
// suspended from outside, using only what a handler may use: escape strings
// taken from the terminal description at start, and the saved terminal modes.

#include "platform/terminal.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <deque>
#include <string>
#include <string_view>

#include "platform/cell_grid.h"
#include "platform/key_decoder.h"
#include "platform/pause_clock.h"
#include "platform/row_render.h"

// Only after our own headers: the curses header defines names that would clash.
#define NCURSES_NOMACROS 1
#include <curses.h>

namespace rpg {
namespace {

// Looks the terminal type up (TERM) and takes from its description the escape
// strings that leave and re-enter the game's screen. Returns an empty text, or
// what is wrong. Defined at the end of this file, after the terminal
// description header, whose capability names must not reach the code above.
std::string probe_terminal_type(std::string& leave, std::string& enter);

constexpr int logical_columns = 80;
constexpr int logical_rows = 25;
// An ESC with nothing after it for this long is the Escape key itself.
constexpr std::int64_t escape_timeout_ns = 25'000'000;

std::int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::string program_name() {
    const char* name = program_invocation_short_name;
    return name && *name ? name : "game";
}

// The width the terminal gives one UTF-8 character (needs the UTF-8 locale).
int terminal_width(std::string_view utf8) {
    wchar_t wide = 0;
    std::mbstate_t state{};
    std::size_t used = std::mbrtowc(&wide, utf8.data(), utf8.size(), &state);
    if (used == 0 || used > utf8.size()) return -1;
    return wcwidth(wide);
}

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

// ---------------------------------------------------------------------------
// What the signal handlers share with the rest. Only one terminal is in use at
// a time.
namespace shared {

volatile std::sig_atomic_t active = 0;    // the terminal is in the game's modes
volatile std::sig_atomic_t stopping = 0;  // the stop handler is suspending the game
volatile std::sig_atomic_t resized = 0;   // the window changed size
volatile std::sig_atomic_t redraw = 0;    // the screen must be sent again whole
int wake_fd = -1;                         // the write end of the wake-up pipe

termios output_modes_before{};  // the modes the game found, on output and input
termios input_modes_before{};
termios output_modes_game{};  // the game's modes
termios input_modes_game{};

char leave[256];  // resets the look, shows the cursor, leaves the game's screen
std::size_t leave_length = 0;
char enter[256];  // goes back to the game's screen
std::size_t enter_length = 0;

void write_all(const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Someone set the terminal to non-blocking: wait until it takes more.
                pollfd out{STDOUT_FILENO, POLLOUT, 0};
                if (poll(&out, 1, 1000) > 0) continue;
            }
            return;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

void wake() {
    if (wake_fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = write(wake_fd, &byte, 1);
    }
}

void leave_game_modes() {
    write_all(leave, leave_length);
    tcsetattr(STDOUT_FILENO, TCSANOW, &output_modes_before);
    tcsetattr(STDIN_FILENO, TCSANOW, &input_modes_before);
}

void enter_game_modes() {
    tcsetattr(STDIN_FILENO, TCSANOW, &input_modes_game);
    tcsetattr(STDOUT_FILENO, TCSANOW, &output_modes_game);
    write_all(enter, enter_length);
}

void set_default(int signo, struct sigaction* previous = nullptr) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, previous);
}

// SIGINT, SIGTERM, SIGHUP, SIGQUIT: put the terminal back and end as killed by
// the signal.
void on_end_signal(int signo) {
    if (active) leave_game_modes();
    set_default(signo);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signo);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signo);
}

// SIGTSTP (Ctrl+Z): put the terminal back, stop, and on continuing take it
// again; the main flow draws the whole screen again.
void on_stop_signal(int signo) {
    int saved_errno = errno;
    bool was_active = active;
    if (was_active) leave_game_modes();
    stopping = 1;
    struct sigaction mine {};
    set_default(signo, &mine);
    sigset_t only;
    sigset_t before;
    sigemptyset(&only);
    sigaddset(&only, signo);
    sigprocmask(SIG_UNBLOCK, &only, &before);
    raise(signo);  // stopped here until continued
    sigprocmask(SIG_SETMASK, &before, nullptr);
    sigaction(signo, &mine, nullptr);
    stopping = 0;
    if (was_active && active) enter_game_modes();
    redraw = 1;
    wake();
    errno = saved_errno;
}

// SIGCONT: also after a stop that was not ours (SIGSTOP), when the shell may
// have set its own modes meanwhile.
void on_continue_signal(int) {
    int saved_errno = errno;
    if (active && !stopping) {
        tcsetattr(STDIN_FILENO, TCSANOW, &input_modes_game);
        tcsetattr(STDOUT_FILENO, TCSANOW, &output_modes_game);
    }
    redraw = 1;
    wake();
    errno = saved_errno;
}

void on_resize_signal(int) {
    int saved_errno = errno;
    resized = 1;
    wake();
    errno = saved_errno;
}

struct Handled {
    int signo;
    void (*handler)(int);
    bool keep_ignored;  // a signal the game was started ignoring stays ignored
};

constexpr Handled handled_signals[] = {
    {SIGINT, on_end_signal, true},       {SIGTERM, on_end_signal, true},  {SIGHUP, on_end_signal, true},
    {SIGQUIT, on_end_signal, true},      {SIGTSTP, on_stop_signal, true}, {SIGCONT, on_continue_signal, false},
    {SIGWINCH, on_resize_signal, false},
};
constexpr std::size_t handled_count = sizeof handled_signals / sizeof handled_signals[0];

sigset_t handled_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const Handled& h : handled_signals) sigaddset(&set, h.signo);
    return set;
}

}  // namespace shared

}  // namespace

// ---------------------------------------------------------------------------

struct Terminal::Impl {
    enum class Stage { waiting, running, restored };

    Options options;
    std::string error;
    CellGrid grid{logical_columns, logical_rows};
    Stage stage = Stage::waiting;
    bool keep_screen = false;

    std::string leave;  // escape strings from the terminal description
    std::string enter;

    SCREEN* screen = nullptr;
    std::FILE* output = nullptr;  // where ncurses writes; sent on by send_output
    std::string outgoing;
    int wake_read = -1;
    int wake_write = -1;
    struct sigaction previous_actions[shared::handled_count] {};
    bool installed[shared::handled_count]{};

    // Screen updates.
    bool paint_all = true;    // stdscr must be filled again from the grid
    bool resend_all = false;  // and the terminal's whole screen sent again
    int shown_column = -1;    // where the cursor was put at the last update
    int shown_row = -1;

    // Keys.
    KeyDecoder decoder;
    std::deque<int> keys;
    std::int64_t last_byte_ns = 0;

    PauseClock pauses;

    bool start();
    void stop();
    void install_handlers();
    void remove_handlers();

    void flush();
    void take_signal_news();
    bool too_small() const;
    void wait_for_room();
    void paint();
    void send_output();
    void draw_row(int row, int columns);

    void read_input(bool discard = false);
    void expire_escape();
    [[noreturn]] void input_closed(const std::string& why);
    void print_kept_screen() const;
};

namespace {

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

}  // namespace

bool Terminal::Impl::start() {
    if (stage == Stage::running) return true;
    if (stage == Stage::restored || !error.empty()) return false;

    if (tcgetattr(STDOUT_FILENO, &shared::output_modes_before) != 0 ||
        tcgetattr(STDIN_FILENO, &shared::input_modes_before) != 0) {
        error = program_name() + ": cannot read the terminal's settings: " + std::strerror(errno);
        stage = Stage::restored;
        return false;
    }
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = program_name() + ": " + std::strerror(errno);
        stage = Stage::restored;
        return false;
    }
    wake_read = pipe_fds[0];
    wake_write = pipe_fds[1];
    shared::wake_fd = wake_write;
    shared::leave_length = std::min(leave.size(), sizeof shared::leave);
    std::memcpy(shared::leave, leave.data(), shared::leave_length);
    shared::enter_length = std::min(enter.size(), sizeof shared::enter);
    std::memcpy(shared::enter, enter.data(), shared::enter_length);
    shared::resized = 0;
    shared::redraw = 0;

    // Ours first, so that ncurses leaves these signals alone.
    install_handlers();

    // ncurses writes into a file in memory, and every update goes to the
    // terminal in one write: left to itself, ncurses would send an update in
    // many small pieces, emptying its buffer after each cursor movement. It
    // therefore never sees the terminal itself; its modes and size are set here.
    int out_fd = memfd_create("screen", MFD_CLOEXEC);
    output = out_fd >= 0 ? fdopen(out_fd, "w") : nullptr;
    if (output == nullptr && out_fd >= 0) close(out_fd);
    screen = output ? open_screen(output) : nullptr;
    if (!screen) {
        if (output) std::fclose(output);
        output = nullptr;
        remove_handlers();
        close(wake_read);
        close(wake_write);
        wake_read = wake_write = shared::wake_fd = -1;
        error = program_name() + ": the terminal could not be set up";
        stage = Stage::restored;
        return false;
    }
    set_term(screen);
    // ncurses's own idea of the modes; nonl() also lets it move the cursor
    // down with a line feed.
    cbreak();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, FALSE);
    typeahead(-1);  // an update is never cut short because a key is waiting
    curs_set(1);

    // Keys arrive one byte at a time as soon as they are typed, without echo,
    // Enter as 13; Ctrl+C and Ctrl+Z still send their signals. Output goes out
    // as ncurses writes it, a line feed only moving down.
    auto game_modes = [](termios modes) {
        modes.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR));
        modes.c_oflag &= static_cast<tcflag_t>(~(ONLCR | OCRNL | ONLRET | TABDLY));
        modes.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ECHONL));
        modes.c_lflag |= ISIG | NOFLSH;
        modes.c_cc[VMIN] = 1;
        modes.c_cc[VTIME] = 0;
        return modes;
    };
    shared::output_modes_game = game_modes(shared::output_modes_before);
    shared::input_modes_game = game_modes(shared::input_modes_before);
    shared::active = 1;  // from here on a signal puts the modes back
    tcsetattr(STDOUT_FILENO, TCSANOW, &shared::output_modes_game);
    tcsetattr(STDIN_FILENO, TCSANOW, &shared::input_modes_game);

    // Pauses as short as 1 ms must not be stretched by the kernel's timer slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    stage = Stage::running;
    shared::resized = 1;  // take the window's size as it is now
    paint_all = true;
    return true;
}

void Terminal::Impl::install_handlers() {
    for (std::size_t i = 0; i < shared::handled_count; ++i) {
        const shared::Handled& h = shared::handled_signals[i];
        struct sigaction before {};
        sigaction(h.signo, nullptr, &before);
        if (h.keep_ignored && before.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = h.handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (sigaction(h.signo, &action, &previous_actions[i]) == 0) installed[i] = true;
    }
}

void Terminal::Impl::remove_handlers() {
    for (std::size_t i = 0; i < shared::handled_count; ++i) {
        if (installed[i]) sigaction(shared::handled_signals[i].signo, &previous_actions[i], nullptr);
        installed[i] = false;
    }
}

void Terminal::Impl::stop() {
    if (stage != Stage::running) {
        stage = Stage::restored;
        return;
    }
    // A signal now must find the terminal either still the game's or already
    // put back, never half way.
    sigset_t block = shared::handled_set();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &block, &before);

    // What was printed last is on the screen before it goes, for terminals
    // without a screen of their own for programs.
    if (!too_small()) paint();
    endwin();
    send_output();
    delscreen(screen);
    screen = nullptr;
    std::fclose(output);
    output = nullptr;
    tcsetattr(STDOUT_FILENO, TCSANOW, &shared::output_modes_before);
    tcsetattr(STDIN_FILENO, TCSANOW, &shared::input_modes_before);
    shared::active = 0;
    remove_handlers();
    shared::wake_fd = -1;
    close(wake_read);
    close(wake_write);
    wake_read = wake_write = -1;
    stage = Stage::restored;

    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (keep_screen) print_kept_screen();
}

void Terminal::Impl::print_kept_screen() const {
    std::string lines[logical_rows];
    int first = -1;
    int last = -1;
    for (int row = 0; row < grid.height(); ++row) {
        lines[row] = row_line(grid, row, terminal_width);
        if (lines[row].empty()) continue;
        if (first < 0) first = row;
        last = row;
    }
    if (first < 0) return;
    std::string out;
    for (int row = first; row <= last; ++row) {
        out += lines[row];
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------
// Screen updates.

void Terminal::Impl::take_signal_news() {
    char drain[64];
    while (wake_read >= 0 && read(wake_read, drain, sizeof drain) > 0) {}
    if (shared::resized) {
        shared::resized = 0;
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0 &&
            (size.ws_row != LINES || size.ws_col != COLS)) {
            resize_term(size.ws_row, size.ws_col);
            paint_all = resend_all = true;
        }
    }
    if (shared::redraw) {
        shared::redraw = 0;
        paint_all = resend_all = true;
    }
}

bool Terminal::Impl::too_small() const { return COLS < options.min_columns || LINES < options.min_rows; }

void Terminal::Impl::flush() {
    if (!start()) return;
    take_signal_news();
    if (too_small()) wait_for_room();
    paint();
}

void Terminal::Impl::paint() {
    const int columns = std::min(grid.width(), COLS);
    const int rows = std::min(grid.height(), LINES);
    if (columns <= 0 || rows <= 0) return;
    bool changed = false;
    if (paint_all) {
        werase(stdscr);
        if (resend_all) clearok(curscr, TRUE);
        grid.mark_all_dirty();
        paint_all = resend_all = false;
        changed = true;
    }
    for (int row = 0; row < rows; ++row) {
        if (!grid.row_dirty(row)) continue;
        draw_row(row, columns);
        changed = true;
    }
    grid.clear_dirty();

    const int column = std::clamp(grid.cursor_column(), 0, columns - 1);
    const int row = std::clamp(grid.cursor_row(), 0, rows - 1);
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
    shared::write_all(outgoing.data(), got);
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
    for (const RowPiece& piece : render_row(grid, row, terminal_width, columns)) {
        if (!run.empty() && piece.attribute != run_attribute) put_run();
        if (run.empty()) {
            run_column = piece.column;
            run_attribute = piece.attribute;
        }
        run += piece.utf8;
    }
    put_run();
    wattrset(stdscr, A_NORMAL);
}

void Terminal::Impl::wait_for_room() {
    while (too_small()) {
        char message[160];
        std::snprintf(message, sizeof message, "Please make the terminal at least %d x %d (now %d x %d).",
                      options.min_columns, options.min_rows, COLS, LINES);
        werase(stdscr);
        if (resend_all) clearok(curscr, TRUE);
        resend_all = false;
        wattrset(stdscr, A_NORMAL);
        // Wrapped at blanks, so that a narrow window still reads whole words.
        int row = 0;
        std::string line;
        std::string_view rest = message;
        while (!rest.empty() && row < LINES) {
            std::size_t blank = rest.find(' ');
            std::string_view word = rest.substr(0, blank);
            rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
            if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > COLS) {
                mvwaddnstr(stdscr, row++, 0, line.c_str(), COLS);
                line.clear();
            }
            if (!line.empty()) line += ' ';
            line += word;
        }
        if (!line.empty() && row < LINES) mvwaddnstr(stdscr, row, 0, line.c_str(), COLS);
        wnoutrefresh(stdscr);
        doupdate();
        send_output();

        // Nothing to do until the window changes: wait without using the CPU.
        // Keys typed meanwhile are not meant for the game and are dropped.
        pollfd fds[2] = {{wake_read, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, -1) > 0 && fds[1].revents != 0) read_input(true);
        take_signal_news();
    }
    paint_all = resend_all = true;
    shown_column = shown_row = -1;
    pauses.restart();
}

// ---------------------------------------------------------------------------
// Keys.

void Terminal::Impl::read_input(bool discard) {
    unsigned char bytes[256];
    ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count > 0) {
        last_byte_ns = monotonic_ns();
        std::deque<int> dropped;
        for (ssize_t i = 0; i < count; ++i) decoder.feed(bytes[i], discard ? dropped : keys);
        return;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
    input_closed(count == 0 ? std::string("end of input") : std::string(std::strerror(errno)));
}

void Terminal::Impl::expire_escape() {
    if (decoder.pending() && monotonic_ns() - last_byte_ns >= escape_timeout_ns) decoder.flush(keys);
}

void Terminal::Impl::input_closed(const std::string& why) {
    stop();
    throw InputClosed(program_name() + ": the terminal is gone (" + why + ")");
}

// ---------------------------------------------------------------------------

Terminal::Terminal(Options options) : impl_(std::make_unique<Impl>()) {
    Impl& t = *impl_;
    t.options = options;
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        t.error = program_name() + ": standard input and output must be a terminal";
        return;
    }
    if (!choose_utf8_locale()) {
        t.error = program_name() + ": no UTF-8 locale is available; set one for the terminal, e.g. LANG=C.UTF-8";
        return;
    }
    std::string problem = probe_terminal_type(t.leave, t.enter);
    if (!problem.empty()) t.error = program_name() + ": " + problem;
}

Terminal::~Terminal() { impl_->stop(); }

const std::string& Terminal::startup_error() const { return impl_->error; }

void Terminal::keep_screen_on_exit(bool keep) { impl_->keep_screen = keep; }

void Terminal::restore() { impl_->stop(); }

void Terminal::set_cursor(int column, int row) { impl_->grid.set_cursor(column, row); }

void Terminal::set_attribute(std::uint16_t attribute) { impl_->grid.set_attribute(attribute); }

void Terminal::print(std::string_view sjis_text) {
    impl_->start();
    impl_->grid.write(sjis_text);
}

bool Terminal::key_waiting() {
    Impl& t = *impl_;
    if (!t.start()) return false;
    if (t.keys.empty()) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 0) > 0) t.read_input();
        t.expire_escape();
    }
    // A game that polls for keys without pausing still sees its screen.
    if (t.keys.empty()) t.flush();
    return !t.keys.empty();
}

int Terminal::read_key() {
    Impl& t = *impl_;
    if (!t.start()) {
        throw InputClosed(t.error.empty() ? program_name() + ": the terminal was already restored" : t.error);
    }
    t.flush();
    bool waited = false;
    while (t.keys.empty()) {
        int timeout_ms = -1;  // nothing to do until a byte or a signal comes
        if (t.decoder.pending()) {
            std::int64_t left = t.last_byte_ns + escape_timeout_ns - monotonic_ns();
            if (left <= 0) {
                t.decoder.flush(t.keys);
                continue;
            }
            timeout_ms = static_cast<int>((left + 999'999) / 1'000'000);
        }
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {t.wake_read, POLLIN, 0}};
        int ready = poll(fds, 2, timeout_ms);
        if (ready < 0) {
            if (errno != EINTR) t.input_closed(std::strerror(errno));
            t.flush();
            continue;
        }
        waited = true;
        if (fds[1].revents != 0) t.flush();
        if (fds[0].revents != 0) t.read_input();
    }
    // Pauses after a wait for the player are measured from now.
    if (waited) t.pauses.restart();
    int code = t.keys.front();
    t.keys.pop_front();
    return code;
}

void Terminal::sleep_ms(int milliseconds) {
    Impl& t = *impl_;
    if (t.stage != Impl::Stage::restored) t.flush();
    if (milliseconds <= 0) return;
    const std::int64_t deadline_ns = t.pauses.next(monotonic_ns(), static_cast<std::int64_t>(milliseconds) * 1'000'000);
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadline_ns / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(deadline_ns % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        // A resize or a return from a stop is shown at once, not after the pause.
        if (t.stage == Impl::Stage::running) t.flush();
    }
}

std::int64_t Terminal::now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace rpg

// ---------------------------------------------------------------------------
// The terminal description. Its header turns many short words into macros, so
// it comes last and only the probe follows it.

#include <term.h>

namespace rpg {
namespace {

// A capability's string without its padding marks ("$<5>"), which are delays
// for old terminals and not meant to be sent as they stand.
std::string capability(const char* name) {
    const char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<const char*>(-1)) return {};
    std::string out;
    for (const char* p = value; *p; ++p) {
        if (p[0] == '$' && p[1] == '<') {
            const char* end = std::strchr(p, '>');
            if (end) {
                p = end;
                continue;
            }
        }
        out.push_back(*p);
    }
    return out;
}

std::string probe_terminal_type(std::string& leave, std::string& enter) {
    int status = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &status) != OK) {
        const char* type = std::getenv("TERM");
        if (type == nullptr || *type == '\0') return "the terminal type is not set; set TERM, e.g. TERM=xterm-256color";
        return std::string("unknown terminal type \"") + type + "\"; set TERM, e.g. TERM=xterm-256color";
    }
    leave = capability("sgr0") + capability("cnorm") + capability("rmcup");
    enter = capability("smcup") + capability("cnorm");
    del_curterm(cur_term);
    return {};
}

}  // namespace
}  // namespace rpg
