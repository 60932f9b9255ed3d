// The battle program on a real terminal: the start-up screen, and whole
// battles won, lost and escaped, played key by key as a player would.

#include <signal.h>

#include <memory>

#include "battle_session.h"

namespace rpg::test {
namespace {

// Acknowledges the item's message, then each pawn's attack (all missing)
// once its messages are complete.
void acknowledge_enemy_phase(PtySession& g) {
    for (int pawn = 0; pawn < 3; ++pawn) {
        SCOPED_TRACE("pawn " + std::to_string(pawn + 1));
        const std::uint64_t before = g.output_bytes();
        g.enter();
        ASSERT_TRUE(g.wait_until_quiet([&] {
            return g.output_bytes() > before && has(g, 27, 13, "攻撃を回避しました。") &&
                   has(g, 27, 14, "ポーンの攻撃!!");
        })) << g.dump();
    }
    g.enter();
}

class BattleProgram : public ::testing::Test {
protected:
    void start() {
        before_ = scenario.files();
        game = std::make_unique<PtySession>(scenario.battle());
        ASSERT_TRUE(wait_for_command_menu(*game)) << game->dump();
    }

    // The closing prompt is up; any key ends the program with status 0, and
    // the data files are what they were before.
    void finish() {
        ASSERT_TRUE(game->wait_until_quiet([&] { return has(*game, 27, 13, closing_prompt); })) << game->dump();
        game->send("x");
        auto ending = game->wait_exit();
        ASSERT_TRUE(ending) << game->dump();
        EXPECT_EQ(ending->exit_code(), 0) << ending->describe();
        EXPECT_FALSE(game->alternate_screen());
        EXPECT_TRUE(game->cursor_visible());
        EXPECT_TRUE(game->echo_and_canonical());
        EXPECT_EQ(scenario.files(), before_) << "a data file was changed";
    }

    Scenario scenario;
    std::unique_ptr<PtySession> game;
    std::map<std::string, std::string> before_;
};

TEST_F(BattleProgram, StartUpScreenStandsWhereItBelongsWithFullWidthTextAligned) {
    start();
    PtySession& g = *game;
    EXPECT_TRUE(g.alternate_screen());

    expect_start_screen(g);
}

TEST_F(BattleProgram, WonFromTheFirstKeyToTheLevelUpScreenAndTheEnding) {
    scenario.make_hero_unbeatable();
    start();
    PtySession& g = *game;

    // Position 1, 2 and 3 in turn: fight, take the offered target, the first skill.
    const struct { int column, row; } pawns[] = {{34, 2}, {38, 2}, {36, 4}};
    for (int fallen = 0; fallen < 3; ++fallen) {
        SCOPED_TRACE("pawn " + std::to_string(fallen + 1));
        const int column = pawns[fallen].column;
        const int row = pawns[fallen].row;
        g.enter();  // たたかう
        ASSERT_TRUE(g.wait_until_quiet([&] {
            return has(g, 24, 7, target_heading) && has(g, 34, 9, "ポーン") && has(g, column, row, "兵", Look::bright);
        })) << g.dump();
        for (int other = fallen + 1; other < 3; ++other) {
            EXPECT_TRUE(shows(g, pawns[other].column, pawns[other].row, "兵", Look::normal));
        }
        g.enter();  // the target
        ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 54, 0, "______Ability_______") && has(g, 71, 4, "＞"); }))
            << g.dump();
        EXPECT_TRUE(shows(g, 55, 2, "＜", Look::bright));
        EXPECT_TRUE(shows(g, 62, 2, scenario.text_value(skill_files[0], 0), Look::normal));
        EXPECT_TRUE(shows(g, 60, 4, scenario.text_value(skill_files[1], 0), Look::normal));
        EXPECT_TRUE(shows(g, 71, 2, "＞", Look::bright));
        EXPECT_TRUE(shows(g, 55, 4, "＜", Look::normal));
        EXPECT_TRUE(shows(g, 71, 4, "＞", Look::normal));
        g.enter();  // the skill
        if (fallen < 2) {
            // Back at the command menu, the fallen pawn's glyph gone and the windows closed.
            ASSERT_TRUE(g.wait_until_quiet([&] {
                return has(g, 27, 13, "相手を倒しました。") && blank(g, column, row, 2) && blank(g, 54, 0, 20) &&
                       blank(g, 26, 9, 22);
            })) << g.dump();
            EXPECT_TRUE(shows(g, 27, 14, "相手に"));
            EXPECT_TRUE(blank(g, 25, 7, 25));
        }
    }

    // The last pawn falls: the level-up screen replaces the enemy view.
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); }, 60)) << g.dump();
    EXPECT_TRUE(shows(g, 27, 14, "バトルに勝ちました。"));
    EXPECT_TRUE(shows(g, 31, 0, "勇者 - LEVEL UP + STATUS UP -"));
    const char* labels[] = {"レベル", "体力", "攻撃力", "防御力", "魔法攻撃力", "魔法防御力", "素早さ", "経験値"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(shows(g, 27, 2 + i, labels[i]));
        EXPECT_TRUE(shows(g, 42, 2 + i, "<=="));
        EXPECT_TRUE(shows(g, 54, 2 + i, "+"));
        EXPECT_TRUE(shows(g, 63, 2 + i, ":     "));
    }
    EXPECT_TRUE(shows(g, 55, 2, "1"));          // one level gained
    EXPECT_TRUE(shows(g, 63, 2, ":     2"));    // to level 2
    EXPECT_TRUE(shows(g, 4, 12, "|  Lv : 2"));  // and the status panel says so
    for (int row = 1; row <= 10; ++row) {
        EXPECT_TRUE(shows(g, 25, row, "|"));
        EXPECT_TRUE(shows(g, 78, row, "|"));
    }
    EXPECT_TRUE(shows(g, 26, 10, "＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿"));
    finish();
}

TEST_F(BattleProgram, LostWhenThePawnsStrikeDownTheHero) {
    scenario.make_hero_helpless();
    start();
    PtySession& g = *game;
    g.down();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 7, 3, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
    EXPECT_TRUE(shows(g, 9, 0, "＿＿＿＿＿＿", Look::normal));
    g.enter();  // ぼうぎょ
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, "GAME OVER"); })) << g.dump();
    EXPECT_TRUE(shows(g, 27, 14, "相手に敗れました。"));
    EXPECT_TRUE(shows(g, 27, 15, "主人公に"));
    EXPECT_TRUE(shows(g, 27, 16, "ポーンの攻撃!!"));
    EXPECT_TRUE(shows(g, 33, 9, "敵の攻撃"));
    EXPECT_TRUE(shows(g, 12, 14, "0 ", Look::bright));
    EXPECT_TRUE(blank(g, 5, 13, 18)) << "an empty HP bar";
    g.enter();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); })) << g.dump();
    EXPECT_TRUE(shows(g, 27, 14, "バトルに負けました。"));
    EXPECT_TRUE(blank(g, 27, 15, 40));
    finish();
}

TEST_F(BattleProgram, EscapedByRunningAway) {
    scenario.make_hero_unbeatable();
    start();
    PtySession& g = *game;
    for (int i = 0; i < 3; ++i) g.down();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 3, 9, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
    for (int y : {0, 3, 6}) EXPECT_TRUE(shows(g, 9 - 2 * (y / 3), y, "＿＿＿＿＿＿", Look::normal));
    g.down();  // no wrap
    g.settle(300);
    EXPECT_TRUE(shows(g, 3, 9, "＿＿＿＿＿＿", Look::bright));
    g.enter();  // にげる
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); })) << g.dump();
    EXPECT_TRUE(shows(g, 27, 14, "にげることに成功しました。"));
    finish();
}

TEST_F(BattleProgram, AnItemTakesEffectAndItsBarCountsDown) {
    scenario.make_hero_unbeatable();
    scenario.set_number(hero_file, hero::potions, 3);
    scenario.set_number(hero_file, hero::proteins, 2);
    scenario.set_number(hero_file, hero::bucklers, 2);
    start();
    PtySession& g = *game;
    g.down();
    g.down();
    g.enter();  // アイテム
    ASSERT_TRUE(g.wait_until_quiet([&] {
        return has(g, 54, 0, "________Item________") && has(g, 59, 6, "バックラー");
    })) << g.dump();
    EXPECT_TRUE(shows(g, 59, 2, "ポーション", Look::normal));
    EXPECT_TRUE(shows(g, 59, 4, "プロテイン", Look::normal));
    EXPECT_TRUE(shows(g, 55, 2, "＜", Look::bright));
    EXPECT_TRUE(shows(g, 55, 10, "＜     × 3", Look::any));  // the Potion's stock
    EXPECT_TRUE(shows(g, 65, 10, "3", Look::bright));
    EXPECT_TRUE(shows(g, 71, 10, "＞", Look::normal));
    EXPECT_TRUE(shows(g, 34, 9, "勇者"));  // the hero's name banner

    // The Protein: its marker and a full bar, then two ticks of the turn.
    g.down();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 55, 4, "＜", Look::bright) && has(g, 65, 10, "2"); }))
        << g.dump();
    EXPECT_TRUE(shows(g, 55, 2, "＜", Look::normal));
    g.enter();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, "勇者の攻撃力がアップした。"); })) << g.dump();
    EXPECT_TRUE(shows(g, 1, 16, "SA", Look::bright));
    EXPECT_TRUE(shows(g, 4, 16, "+------------------"));
    acknowledge_enemy_phase(g);
    // The turn is over: 11 ticks less two, 16 cells; the stock is down to 1.
    ASSERT_TRUE(g.wait_until_quiet([&] { return blank(g, 27, 13, 40) && count_in_row(g, 16, 5, 18, "-") == 16; }))
        << g.dump();
    EXPECT_TRUE(shows(g, 4, 16, "+----------------  "));
    EXPECT_TRUE(shows(g, 65, 10, "1", Look::bright));

    // The Buckler in the next turn: the Protein's bar goes on shrinking.
    g.down();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 55, 6, "＜", Look::bright) && has(g, 65, 10, "2"); }))
        << g.dump();
    g.enter();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, "勇者の防御力がアップした。"); })) << g.dump();
    EXPECT_TRUE(shows(g, 1, 17, "SD", Look::bright));
    acknowledge_enemy_phase(g);
    ASSERT_TRUE(g.wait_until_quiet([&] { return blank(g, 27, 13, 40) && count_in_row(g, 17, 5, 18, "-") == 16; }))
        << g.dump();
    EXPECT_EQ(count_in_row(g, 16, 5, 18, "-"), 12) << g.dump();
    EXPECT_TRUE(shows(g, 1, 16, "SA", Look::bright));
    EXPECT_TRUE(shows(g, 65, 10, "1", Look::bright));

    // Leave the item window and run away: the battle still ends normally.
    g.space();
    ASSERT_TRUE(g.wait_until_quiet([&] { return blank(g, 54, 0, 20) && blank(g, 54, 10, 20); })) << g.dump();
    g.down();
    g.enter();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); })) << g.dump();
    EXPECT_TRUE(shows(g, 27, 14, "にげることに成功しました。"));
    finish();
}

}  // namespace
}  // namespace rpg::test
