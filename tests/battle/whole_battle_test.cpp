// Whole battles from the first key to the closing prompt.

#include <cstdlib>
#include <filesystem>

#include "assets_folder.h"
#include "battle_fixture.h"
#include "screen/layout.h"
#include "screen/message.h"

namespace rpg::testing {
namespace {

using WholeBattle = BattleTest;

TEST_F(WholeBattle, WonWithAProteinAndALevelUp) {
    HeroStatus& hero = b.rec.hero;
    EnemyStatus& pawn = b.pawn();
    never_evade(pawn, hero);
    pawn.max_hp = 20;
    pawn.hp.fill(20);
    pawn.defense = 1;
    pawn.magic_defense = 1;
    pawn.attack = 40;
    hero.next_exp = 100;
    set_up_encounter(b, 77);

    // The battle as the formulas play it for this seed.
    Random r = replay();
    HeroStatus expected = hero;
    expected.attack = static_cast<u16>(expected.attack + 5);  // the Protein
    for (int i = 0; i < 3; ++i) {
        check_hit(0, 0, 2, r);
        const i16 d = enemy_damage(expected, pawn, b.rec.skills[0], r);
        if (d > 0) expected.hp = static_cast<i16>(std::max(0, expected.hp - d));
    }
    ASSERT_GT(expected.hp, 0);
    for (int i = 0; i < 3; ++i) {
        check_hit(0, 0, 2, r);
        ASSERT_GE(physical_damage(expected, pawn, b.rec.skills[0], r), 20) << "every blow fells a pawn";
    }
    expected.attack = hero.attack;
    i16 turns = 1 + 3 + 3;
    const u16 gained = battle_exp(pawn, 3, turns, 1, r);
    expected.exp += gained;
    ASSERT_GE(expected.exp, expected.next_exp);
    const HeroStatus before = expected;
    ++expected.level;
    const u32 carry = expected.exp - expected.next_exp;
    level_up_growth(expected, r);
    next_level_exp(expected);
    expected.exp = carry;
    ASSERT_LT(expected.exp, expected.next_exp);

    draw_battle_screen(b);
    con.press_arrow(key_down);
    con.press_arrow(key_down);
    con.press({key_enter, key_down, key_enter, key_enter});  // item window, Protein, use it, its message
    con.press({key_enter, key_enter, key_enter});            // the enemy phase
    con.press(key_space);                                    // close the item window
    con.press_arrow(key_up);
    con.press_arrow(key_up);
    for (int i = 0; i < 3; ++i) con.press({key_enter, key_enter, key_enter});  // fight, skill list, attack
    const i16 outcome = command_loop(b);
    ASSERT_EQ(outcome, outcome_won);

    EXPECT_EQ(hero.level, expected.level);
    EXPECT_EQ(hero.exp, expected.exp);
    EXPECT_EQ(hero.max_hp, expected.max_hp);
    EXPECT_EQ(hero.attack, expected.attack);
    EXPECT_EQ(hero.defense, expected.defense);
    EXPECT_EQ(hero.magic_attack, expected.magic_attack);
    EXPECT_EQ(hero.magic_defense, expected.magic_defense);
    EXPECT_EQ(hero.speed, expected.speed);
    EXPECT_EQ(hero.hp, static_cast<i16>(expected.max_hp));
    EXPECT_EQ(b.state.turn_count, 7);

    // The level-up table: gains after "+" at column 54, new values from column 63.
    const struct {
        int row;
        long long gain;
        long long value;
    } rows[] = {
        {2, expected.level - before.level, expected.level},
        {3, expected.max_hp - before.max_hp, expected.max_hp},
        {4, expected.attack - before.attack, expected.attack},
        {5, expected.defense - before.defense, expected.defense},
        {6, expected.magic_attack - before.magic_attack, expected.magic_attack},
        {7, expected.magic_defense - before.magic_defense, expected.magic_defense},
        {8, expected.speed - before.speed, expected.speed},
        {9, gained, expected.exp},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        EXPECT_TRUE(con.shows(54, row.row, "+" + std::to_string(row.gain)));
        EXPECT_TRUE(con.shows(63, row.row, ":     " + std::to_string(row.value)));
    }
    EXPECT_TRUE(con.shows(27, 13, "主人公がレベルアップしました。"));
    EXPECT_TRUE(con.shows(27, 14, "経験値" + std::to_string(gained) + "を得ました。"));
    EXPECT_TRUE(con.shows(27, 15, "戦闘に勝ちました。"));

    con.press(key_space);  // any key ends the program
    show_ending(b, outcome);
    EXPECT_TRUE(con.shows(27, 13, "このまま終了するには何かを入力してください..."));
    EXPECT_TRUE(con.shows(27, 14, "バトルに勝ちました。"));
    EXPECT_EQ(con.row_text(15, 27, 51), std::string(51, ' '));
    EXPECT_EQ(con.keys_left(), 0u);
}

TEST_F(WholeBattle, EndingLinesForEachOutcome) {
    const struct {
        i16 outcome;
        const char* line;
    } cases[] = {{outcome_won, "バトルに勝ちました。"},
                 {outcome_lost, "バトルに負けました。"},
                 {outcome_none, "にげることに成功しました。"}};
    for (const auto& c : cases) {
        MemoryConsole console;
        Battle battle{console};
        post_message(battle, sjis("GAME OVER"));
        console.add_arrow(key_up, 100000);  // an arrow key: its first code ends the program
        show_ending(battle, c.outcome);
        EXPECT_TRUE(console.shows(27, 14, c.line));
        EXPECT_EQ(console.row_text(15, 27, 9), std::string(9, ' '));
        EXPECT_EQ(console.keys_left(), 1u);
    }
}

TEST(BattleProgram, MissingFileShowsTheNoticeAndEndsAfterThirtySeconds) {
    MemoryConsole con;
    Battle b{con};
    std::string error;
    EXPECT_EQ(run_battle_program(b, "/nonexistent-folder", error), -1);
    EXPECT_TRUE(con.shows(0, 0, "ファイルが存在しないため情報の初期化に失敗しました。"));
    EXPECT_GE(con.now_ms(), 29000);
    EXPECT_LE(con.now_ms(), 31000);
}

TEST(BattleProgram, EscapesOnTheBundledDataAndEndsWithStatusZero) {
    MemoryConsole con;
    Battle b{con};
    std::string error;
    // Run until the hero gets away, acknowledging everything on the way.
    for (int i = 0; i < 200; ++i) {
        con.press_arrow(key_up);
        con.press_arrow(key_up);
        con.press_arrow(key_up);
        con.press_arrow(key_down);
        con.press_arrow(key_down);
        con.press_arrow(key_down);
        con.press({key_enter, key_enter, key_enter, key_enter, key_enter});
    }
    int status = -2;
    try {
        status = run_battle_program(b, assets_folder(), error);
    } catch (const InputClosed&) {
        FAIL() << "the battle did not end";
    }
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(error.empty());
    const bool escaped = con.shows(27, 14, "にげることに成功しました。");
    const bool lost = con.shows(27, 14, "バトルに負けました。");
    EXPECT_TRUE(escaped || lost);
    EXPECT_TRUE(con.shows(27, 13, "このまま終了するには何かを入力してください..."));
}

}  // namespace
}  // namespace rpg::testing
