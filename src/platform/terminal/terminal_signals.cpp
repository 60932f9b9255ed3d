// Signal handlers put the terminal back in order when the game is ended,
// crashes or is suspended from outside, using only what a handler may use:
// escape strings taken from the terminal description at start, and the saved
// terminal modes.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/terminal/terminal_internal.h"

namespace rpg {
namespace terminal_detail {
namespace shared {

volatile std::sig_atomic_t active = 0;
volatile std::sig_atomic_t stopping = 0;
volatile std::sig_atomic_t resized = 0;
volatile std::sig_atomic_t redraw = 0;
int wake_fd = -1;

termios output_modes_before{};
termios input_modes_before{};
termios output_modes_game{};
termios input_modes_game{};

namespace {

char leave[256];
std::size_t leave_length = 0;
char enter[256];
std::size_t enter_length = 0;

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

// SIGINT, SIGTERM, SIGHUP, SIGQUIT, and the crashes (SIGABRT, SIGSEGV,
// SIGBUS, SIGFPE, SIGILL): put the terminal back and end as killed by the
// signal, so that a crash still leaves its core dump.
void on_end_signal(int signo) {
    if (active) leave_game_modes();
    active = 0;
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

}  // namespace

const Handled handled_signals[] = {
    {SIGINT, on_end_signal, true},   {SIGTERM, on_end_signal, true},       {SIGHUP, on_end_signal, true},
    {SIGQUIT, on_end_signal, true},  {SIGABRT, on_end_signal, true},       {SIGSEGV, on_end_signal, true},
    {SIGBUS, on_end_signal, true},   {SIGFPE, on_end_signal, true},        {SIGILL, on_end_signal, true},
    {SIGTSTP, on_stop_signal, true}, {SIGCONT, on_continue_signal, false}, {SIGWINCH, on_resize_signal, false},
};
const std::size_t handled_count = sizeof handled_signals / sizeof handled_signals[0];
static_assert(sizeof handled_signals / sizeof handled_signals[0] <= max_handled);

sigset_t handled_set() {
    sigset_t set;
    sigemptyset(&set);
    for (std::size_t i = 0; i < handled_count; ++i) sigaddset(&set, handled_signals[i].signo);
    return set;
}

void set_escapes(std::string_view leave_text, std::string_view enter_text) {
    leave_length = std::min(leave_text.size(), sizeof leave);
    std::memcpy(leave, leave_text.data(), leave_length);
    enter_length = std::min(enter_text.size(), sizeof enter);
    std::memcpy(enter, enter_text.data(), enter_length);
}

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

}  // namespace shared
}  // namespace terminal_detail

void Terminal::Impl::install_handlers() {
    using terminal_detail::shared::handled_count;
    using terminal_detail::shared::handled_signals;
    for (std::size_t i = 0; i < handled_count; ++i) {
        const auto& h = handled_signals[i];
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
    using terminal_detail::shared::handled_count;
    using terminal_detail::shared::handled_signals;
    for (std::size_t i = 0; i < handled_count; ++i) {
        if (installed[i]) sigaction(handled_signals[i].signo, &previous_actions[i], nullptr);
        installed[i] = false;
    }
}

}  // namespace rpg
