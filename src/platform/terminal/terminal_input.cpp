// Bytes in, waits and pauses. Keys are read as raw bytes from standard input
// and decoded by the console session, not by ncurses: an arrow becomes the
// prefix 224 and its direction code, as the game expects. Nothing burns the
// CPU while waiting: every wait is a poll on the terminal and on the pipe that
// the signal handlers write to.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/clock.h"
#include "platform/terminal/terminal_internal.h"

namespace rpg::terminal_detail {
namespace {

std::string gone(const std::string& why) { return "the terminal is gone (" + why + ")"; }

}  // namespace

ConsoleHost::Input TerminalHost::read_available() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return {};
    char bytes[256];
    const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count > 0) return Input::of(std::string(bytes, static_cast<std::size_t>(count)));
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return {};
    return Input::gone(gone(count == 0 ? std::string("end of input") : std::string(std::strerror(errno))));
}

ConsoleHost::Wake TerminalHost::wait_input(int timeout_ms) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    const int ready = poll(fds, 2, timeout_ms);
    if (ready < 0) {
        if (errno == EINTR) return Wake::with_news();
        return Wake::gone(gone(std::strerror(errno)));
    }
    if (fds[1].revents == 0) return {};
    // The pipe only wakes the wait; what happened is in the handlers' flags.
    char drain[64];
    while (read(wake_read_, drain, sizeof drain) > 0) {}
    return Wake::with_news();
}

void TerminalHost::write(std::string_view bytes) { shared::write_all(bytes.data(), bytes.size()); }

std::int64_t TerminalHost::monotonic_ns() { return rpg::monotonic_ns(); }

bool TerminalHost::sleep_until(std::int64_t deadline_ns) {
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadline_ns / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(deadline_ns % 1'000'000'000);
    // Interrupted by a signal: a resize or a return from a stop is shown at once.
    return clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) != EINTR;
}

}  // namespace rpg::terminal_detail
