// Keys are read as raw bytes from standard input and decoded here, not by
// ncurses: an arrow becomes the prefix 224 and its direction code, as the game
// expects. Nothing burns the CPU while waiting: every wait is a poll on the
// terminal and on the pipe that the signal handlers write to.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/terminal/terminal_internal.h"

namespace rpg {

using terminal_detail::monotonic_ns;

void Terminal::Impl::read_input(Keys keys_read) {
    unsigned char bytes[256];
    ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count > 0) {
        take_input(bytes, static_cast<std::size_t>(count), keys_read);
        return;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
    input_closed(count == 0 ? std::string("end of input") : std::string(std::strerror(errno)));
}

void Terminal::Impl::take_input(const unsigned char* bytes, std::size_t count, Keys keys_read) {
    if (count == 0) return;
    last_byte_ns = monotonic_ns();
    std::deque<int> dropped;
    for (std::size_t i = 0; i < count; ++i) decoder.feed(bytes[i], keys_read == Keys::drop ? dropped : keys);
}

void Terminal::Impl::expire_escape() {
    if (decoder.pending() && monotonic_ns() - last_byte_ns >= escape_timeout_ns) decoder.flush(keys);
}

void Terminal::Impl::input_closed(const std::string& why) {
    stop();
    throw InputClosed("the terminal is gone (" + why + ")");
}

bool Terminal::key_waiting() {
    Impl& t = *impl_;
    if (t.stage != Impl::Stage::running) return false;
    if (t.keys.empty()) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 0) > 0) t.read_input();
        t.expire_escape();
    }
    // A game that polls for keys without pausing still sees its screen.
    if (t.keys.empty()) t.flush(Impl::IfTooSmall::wait_for_room);
    return !t.keys.empty();
}

int Terminal::read_key() {
    Impl& t = *impl_;
    if (t.stage != Impl::Stage::running) {
        throw InputClosed(t.error.empty() ? "the terminal was already restored" : t.error);
    }
    t.flush(Impl::IfTooSmall::wait_for_room);
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
            t.flush(Impl::IfTooSmall::wait_for_room);
            continue;
        }
        waited = true;
        if (fds[1].revents != 0) t.flush(Impl::IfTooSmall::wait_for_room);
        if (fds[0].revents != 0) t.read_input();
    }
    // Pauses after a wait for the player are measured from now.
    if (waited) t.pauses.restart();
    int code = t.keys.front();
    t.keys.pop_front();
    return code;
}

}  // namespace rpg
