#pragma once
// What the battle scenarios share: the texts they wait for and the wait for
// the finished start-up screen.

#include "support/pty_session.h"
#include "support/scenario.h"
#include "support/screen_checks.h"

namespace rpg::test {

inline constexpr const char* closing_prompt = "このまま終了するには何かを入力してください...";
inline constexpr const char* target_heading = "＜　対　象　の　選　択　＞";

// The start-up screen is complete, its last piece (the third effect marker)
// drawn, and the command menu waits for a key.
inline bool wait_for_command_menu(PtySession& game, double seconds = 30) {
    return game.wait_until_quiet(
        [&] { return has(game, 4, 18, "+") && has(game, 7, 14, "HP : ") && has(game, 5, 10, "にげる"); }, seconds);
}

// The whole start-up screen of the bundled data: command window, enemy view,
// message frame and status panel, every full-width character aligned.
inline void expect_start_screen(const PtySession& g) {
    // The command window: four slanted frames, the first highlighted, and the labels.
    struct Frame {
        int x, y;
        Look look;
    } frames[] = {{7, 0, Look::bright}, {5, 3, Look::normal}, {3, 6, Look::normal}, {1, 9, Look::normal}};
    for (const Frame& f : frames) {
        SCOPED_TRACE("frame at row " + std::to_string(f.y));
        EXPECT_TRUE(shows(g, f.x + 2, f.y, "＿＿＿＿＿＿", f.look));
        EXPECT_TRUE(shows(g, f.x, f.y + 1, "／", f.look));
        EXPECT_TRUE(shows(g, f.x + 12, f.y + 1, "／", f.look));
        EXPECT_TRUE(shows(g, f.x, f.y + 2, "￣￣￣￣￣￣", f.look));
    }
    EXPECT_TRUE(shows(g, 10, 1, "たたかう", Look::normal));
    EXPECT_TRUE(shows(g, 8, 4, "ぼうぎょ", Look::normal));
    EXPECT_TRUE(shows(g, 6, 7, "アイテム", Look::normal));
    EXPECT_TRUE(shows(g, 5, 10, "にげる", Look::normal));

    // The enemy view with the three pawns.
    EXPECT_TRUE(shows(g, 25, 0, " ___Enemy View_________"));
    for (int row = 1; row <= 5; ++row) {
        EXPECT_TRUE(shows(g, 25, row, "|"));
        EXPECT_TRUE(shows(g, 48, row, "|"));
    }
    EXPECT_TRUE(shows(g, 25, 6, " ￣￣￣￣￣￣￣￣￣￣￣"));
    EXPECT_TRUE(shows(g, 34, 2, "兵  兵", Look::normal));
    EXPECT_TRUE(shows(g, 36, 4, "兵", Look::normal));
    EXPECT_TRUE(blank(g, 26, 3, 22));

    // The message window's frame, empty inside.
    EXPECT_TRUE(shows(g, 26, 12, "￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣￣"));
    EXPECT_TRUE(shows(g, 26, 18, "＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿"));
    for (int row = 12; row <= 18; ++row) {
        EXPECT_TRUE(shows(g, 25, row, "|"));
        EXPECT_TRUE(shows(g, 78, row, "|"));
    }
    for (int row = 13; row <= 17; ++row) EXPECT_TRUE(blank(g, 26, row, 52));

    // The status panel: level, a full HP bar, the figures, three effect rows.
    EXPECT_TRUE(shows(g, 4, 12, "|  Lv : 1"));
    EXPECT_TRUE(shows(g, 1, 13, "---+------------------"));
    EXPECT_TRUE(blank(g, 23, 13, 2));
    EXPECT_TRUE(shows(g, 4, 14, "|  HP : ", Look::normal));
    EXPECT_TRUE(shows(g, 12, 14, "60", Look::bright));
    EXPECT_TRUE(shows(g, 14, 14, " / 60", Look::normal));
    for (int row = 16; row <= 18; ++row) {
        EXPECT_TRUE(shows(g, 1, row, "   +"));
        EXPECT_TRUE(blank(g, 5, row, 18));
    }
}

}  // namespace rpg::test
