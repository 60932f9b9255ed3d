// Signal handlers put the terminal back in order when the game is ended,
// crashes or is suspended from outside, using only what a handler may use:
// escape strings taken from the terminal description at start, and the saved
// terminal modes. Every signal whose default would end the game ends it here
// too, after the terminal is put back; the crashes are handled on a stack of
// their own, so that even a stack overflow finds room to do so.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/signal_note.h"
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

void drop_unread_keys() {
    // Only while the game is the terminal's foreground job: in the
    // background, what waits there was typed for another program.
    if (tcgetpgrp(STDIN_FILENO) == getpgrp()) tcflush(STDIN_FILENO, TCIFLUSH);
}

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

// Keys typed but not read by the game are dropped with the game's modes: left
// in the terminal, the shell would take them for a command.
void leave_game_modes() {
    std::atomic_signal_fence(std::memory_order_acquire);  // what `active` armed is seen whole
    write_all(leave, leave_length);
    tcsetattr(STDOUT_FILENO, TCSANOW, &output_modes_before);
    tcsetattr(STDIN_FILENO, TCSANOW, &input_modes_before);
    drop_unread_keys();
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

// Every signal that would end the game (SIGINT, SIGTERM, SIGHUP, the crashes,
// the limits, the timers, the user's and the real-time signals, ...): put the
// terminal back and end as killed by the signal, so that a crash still leaves
// its core dump and the shell sees what ended the game.
}  // namespace

void on_end_signal(int signo) {
    if (active) leave_game_modes();
    active = 0;
    leave_signal_note(signo);
    set_default(signo);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signo);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signo);
}

namespace {

// SIGTSTP (Ctrl+Z), and SIGTTIN or SIGTTOU for a game in the background: put
// the terminal back, stop, and on continuing take it again; the main flow
// draws the whole screen again.
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

// A signal the game was started ignoring stays ignored (SIGHUP under nohup,
// SIGPIPE, SIGINT for a background job of a shell without job control).
const Handled handled_signals[] = {
    {SIGINT, on_end_signal, true},    {SIGTERM, on_end_signal, true},       {SIGHUP, on_end_signal, true},
    {SIGQUIT, on_end_signal, true},   {SIGABRT, on_end_signal, true},       {SIGSEGV, on_end_signal, true},
    {SIGBUS, on_end_signal, true},    {SIGFPE, on_end_signal, true},        {SIGILL, on_end_signal, true},
    {SIGSYS, on_end_signal, true},    {SIGTRAP, on_end_signal, true},       {SIGXCPU, on_end_signal, true},
    {SIGXFSZ, on_end_signal, true},   {SIGALRM, on_end_signal, true},       {SIGVTALRM, on_end_signal, true},
    {SIGPROF, on_end_signal, true},   {SIGUSR1, on_end_signal, true},       {SIGUSR2, on_end_signal, true},
    {SIGPIPE, on_end_signal, true},   {SIGIO, on_end_signal, true},         {SIGPWR, on_end_signal, true},
    {SIGSTKFLT, on_end_signal, true}, {SIGTSTP, on_stop_signal, true},      {SIGTTIN, on_stop_signal, true},
    {SIGTTOU, on_stop_signal, true},  {SIGCONT, on_continue_signal, false}, {SIGWINCH, on_resize_signal, false},
};
const std::size_t handled_count = sizeof handled_signals / sizeof handled_signals[0];

sigset_t handled_set() {
    sigset_t set;
    sigemptyset(&set);
    for (std::size_t i = 0; i < handled_count; ++i) sigaddset(&set, handled_signals[i].signo);
    for (int signo = SIGRTMIN; signo <= SIGRTMAX; ++signo) sigaddset(&set, signo);
    return set;
}

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int signo : {SIGTSTP, SIGTTIN, SIGTTOU}) sigaddset(&set, signo);
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

namespace {

// The handlers' own stack: large enough for the few calls they make, whatever
// the state of the game's stack.
alignas(16) char signal_stack[64 * 1024];

}  // namespace

}  // namespace shared
}  // namespace terminal_detail

void terminal_detail::TerminalHost::install_handlers() {
    stack_t own{};
    own.ss_sp = shared::signal_stack;
    own.ss_size = sizeof shared::signal_stack;
    stack_set_ = sigaltstack(&own, &previous_stack_) == 0;

    // One handler at a time: a second signal waits until the first is dealt with.
    const sigset_t all_handled = shared::handled_set();
    auto install = [&](int signo, void (*handler)(int), bool keep_ignored) {
        const auto at = static_cast<std::size_t>(signo);
        if (at >= max_signal || installed_[at]) return;
        struct sigaction before {};
        if (sigaction(signo, nullptr, &before) != 0) return;
        if (keep_ignored && before.sa_handler == SIG_IGN) return;
        struct sigaction action {};
        action.sa_handler = handler;
        action.sa_mask = all_handled;
        action.sa_flags = SA_RESTART | SA_ONSTACK;
        if (sigaction(signo, &action, &previous_actions_[at]) == 0) installed_[at] = true;
    };
    for (std::size_t i = 0; i < shared::handled_count; ++i) {
        const auto& h = shared::handled_signals[i];
        install(h.signo, h.handler, h.keep_ignored);
    }
    for (int signo = SIGRTMIN; signo <= SIGRTMAX; ++signo) install(signo, shared::on_end_signal, true);
}

void terminal_detail::TerminalHost::remove_handlers() {
    for (std::size_t at = 0; at < max_signal; ++at) {
        if (installed_[at]) sigaction(static_cast<int>(at), &previous_actions_[at], nullptr);
        installed_[at] = false;
    }
    if (stack_set_) sigaltstack(&previous_stack_, nullptr);
    stack_set_ = false;
}

}  // namespace rpg
