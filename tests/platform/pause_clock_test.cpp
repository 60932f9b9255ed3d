// Deadlines of pauses in a row.

#include "platform/pause_clock.h"

#include <gtest/gtest.h>

namespace rpg {
namespace {

constexpr std::int64_t ms = 1'000'000;

TEST(PauseClock, FirstPauseEndsItsLengthFromNow) {
    PauseClock clock;
    EXPECT_EQ(clock.next(1000 * ms, 50 * ms), 1050 * ms);
}

TEST(PauseClock, LatenessOfOnePauseIsTakenOffTheNext) {
    // Typing a message: 50 ms pauses, each woken a little late, a little
    // drawing in between. The pauses keep to a 50 ms beat.
    PauseClock clock;
    std::int64_t now = 0;
    for (int i = 1; i <= 20; ++i) {
        std::int64_t deadline = clock.next(now, 50 * ms);
        EXPECT_EQ(deadline, i * 50 * ms) << i;
        now = deadline + ms / 3 + ms / 10;  // woke late, then drew the next byte
    }
}

TEST(PauseClock, ShortPausesKeepTheirBeatThroughSmallDelays) {
    // 1 ms frames with 3 ms of drawing in one of them: still within reach.
    PauseClock clock;
    EXPECT_EQ(clock.next(0, 1 * ms), 1 * ms);
    EXPECT_EQ(clock.next(4 * ms, 1 * ms), 2 * ms);  // already past: no pause at all
    EXPECT_EQ(clock.next(4 * ms, 1 * ms), 3 * ms);
    EXPECT_EQ(clock.next(4 * ms, 1 * ms), 4 * ms);
    EXPECT_EQ(clock.next(4 * ms, 1 * ms), 5 * ms);  // caught up
}

TEST(PauseClock, FarBehindStartsAgainFromNow) {
    PauseClock clock;
    clock.next(0, 30 * ms);
    // 100 ms of something else: more than a pause behind, so no rush.
    EXPECT_EQ(clock.next(130 * ms, 30 * ms), 160 * ms);
    // Just under one pause behind is still caught up.
    clock.next(1000 * ms, 30 * ms);                        // deadline 1030
    EXPECT_EQ(clock.next(1059 * ms, 30 * ms), 1060 * ms);  // 29 ms behind
}

TEST(PauseClock, AConsoleDrawingInFramesCatchesUpMore) {
    // 1 ms frames held up 20 ms by a page's frame: caught up with a frame's
    // allowance, not with the least one; 40 ms behind is too far for either.
    PauseClock page(34 * ms);
    PauseClock least;
    page.next(0, 1 * ms);
    least.next(0, 1 * ms);
    EXPECT_EQ(page.next(21 * ms, 1 * ms), 2 * ms);
    EXPECT_EQ(least.next(21 * ms, 1 * ms), 22 * ms);
    EXPECT_EQ(page.next(42 * ms, 1 * ms), 43 * ms);
}

TEST(PauseClock, RestartCountsFromNow) {
    PauseClock clock;
    clock.next(0, 50 * ms);
    clock.restart();  // after a wait for a key
    EXPECT_EQ(clock.next(52 * ms, 50 * ms), 102 * ms);
}

}  // namespace
}  // namespace rpg
