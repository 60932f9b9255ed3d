#pragma once
// Deadlines for the game's pauses. Animations pause many times in a row
// (50 ms per typed byte, 1 ms per frame of a slide); each pause ends at a
// fixed deadline counted from the end of the one before, so that the kernel's
// lateness in waking from one pause and the drawing in between are taken off
// the next, and a run of pauses lasts as long as their sum. After a wait for
// the player, or when the game has fallen further behind than a pause is long,
// the count starts again from now rather than rushing to catch up.

#include <algorithm>
#include <cstdint>

namespace rpg {

class PauseClock {
public:
    // Never give up on less than this: short pauses often come in long runs.
    static constexpr std::int64_t least_catch_up_ns = 5'000'000;

    PauseClock() = default;
    // A console that shows its writes only at its own moments (a page, at its
    // next frame) may catch up more: what is written before then is seen
    // together anyway.
    explicit PauseClock(std::int64_t least_catch_up) : least_catch_up_(least_catch_up) {}

    // The deadline of a pause of `length` starting `now` (nanoseconds on a
    // monotonic clock).
    std::int64_t next(std::int64_t now, std::int64_t length) {
        if (!running_ || deadline_ < now - std::max(length, least_catch_up_)) deadline_ = now;
        deadline_ += length;
        running_ = true;
        return deadline_;
    }
    // The next pause counts from its own start.
    void restart() { running_ = false; }

private:
    std::int64_t least_catch_up_ = least_catch_up_ns;
    bool running_ = false;
    std::int64_t deadline_ = 0;
};

}  // namespace rpg
