#pragma once
// How every run of the missing-file notice must end: with status 255 after
// its 30 seconds, without burning the CPU meanwhile, and with the terminal
// given back (normal screen, cursor shown, echo and line editing on).

#include <gtest/gtest.h>

#include <chrono>

#include "support/pty_session.h"

namespace rpg::test {

inline void expect_notice_ended(PtySession& g, PtySession::Clock::time_point started) {
    auto ending = g.wait_exit(60);
    ASSERT_TRUE(ending) << "the notice never ends\n" << g.dump();
    const double waited = std::chrono::duration<double>(PtySession::Clock::now() - started).count();
    EXPECT_EQ(ending->exit_code(), 255) << ending->describe();
    EXPECT_GE(waited, 29.0);
    EXPECT_LE(waited, 35.0);
    EXPECT_LT(ending->cpu_seconds(), 3.0) << "the wait is busy: " << ending->describe();

    EXPECT_FALSE(g.alternate_screen());
    EXPECT_TRUE(g.cursor_visible());
    EXPECT_TRUE(g.echo_and_canonical());
}

}  // namespace rpg::test
