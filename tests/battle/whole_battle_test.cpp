// Whole battles from the first key to the closing prompt.

#include <cstdlib>
#include <filesystem>

#include "battle_fixture.h"
#include "data/loaders.h"
#include "screen/layout.h"
#include "screen/message.h"
#include "support/data_folder.h"

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

    // Seed 77: the three enemy attacks of the Protein turn do 2, 1 and 0;
    // the hero's blows do 37, 37 and 36, each enough for a pawn. Each pawn is
    // worth 67 + 12890 mod 67 + 67 / 6 = 104, the battle 3 x 104 - 5 for the
    // Protein = 307: level 4 with 207 left over (800 to the next).
    draw_battle_screen(b);
    con.press_arrow(key_down);
    con.press_arrow(key_down);
    con.press({key_enter, key_down, key_enter, key_enter});  // item window, Protein, use it, its message
    con.press({key_enter, key_enter, key_enter});            // the enemy phase
    con.press(key_space);                                    // close the item window
    con.press_arrow(key_up);
    con.press_arrow(key_up);
    for (int i = 0; i < 3; ++i) con.press({key_enter, key_enter, key_enter});  // fight, skill list, attack
    const Outcome outcome = command_loop(b);
    ASSERT_EQ(outcome, Outcome::won);

    EXPECT_EQ(hero.level, 4);
    EXPECT_EQ(hero.exp, 207u);
    EXPECT_EQ(hero.next_exp, 800u);
    EXPECT_EQ(hero.hp, 127);
    EXPECT_EQ(b.state.turn_count, 7);

    // The level-up table: gains after "+" at column 54, new values from column 63.
    const struct {
        int row;
        int gain;
        int value;
    } rows[] = {{2, 1, 4}, {3, 7, 127}, {4, 3, 33}, {5, 1, 21}, {6, 1, 11}, {7, 1, 13}, {8, 1, 1}, {9, 307, 207}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        EXPECT_TRUE(con.shows(54, row.row, "+" + std::to_string(row.gain)));
        EXPECT_TRUE(con.shows(63, row.row, ":     " + std::to_string(row.value)));
    }
    EXPECT_TRUE(con.shows(27, 13, "主人公がレベルアップしました。"));
    EXPECT_TRUE(con.shows(27, 14, "経験値307を得ました。"));
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
        Outcome outcome;
        const char* line;
    } cases[] = {{Outcome::won, "バトルに勝ちました。"},
                 {Outcome::lost, "バトルに負けました。"},
                 {Outcome::escaped, "にげることに成功しました。"}};
    for (const auto& c : cases) {
        MemoryConsole console;
        Battle battle{console};
        post_message(battle.screen, sjis("GAME OVER"));
        console.add_arrow(key_up, 100000);  // an arrow key: its first code ends the program
        show_ending(battle, c.outcome);
        EXPECT_TRUE(console.shows(27, 14, c.line));
        EXPECT_EQ(console.row_text(15, 27, 9), std::string(9, ' '));
        EXPECT_EQ(console.keys_left(), 1u);
    }
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
    ASSERT_EQ(load_game_data(b.rec, test::assets_folder(), error), LoadResult::ok) << error;
    int status = -2;
    try {
        status = play_battle(b, 1);
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
