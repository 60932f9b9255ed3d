// The command menu and the turns it starts: defend, run, and the enemy phase.

#include "battle_fixture.h"
#include "rules/effects.h"

namespace rpg::testing {
namespace {

using Commands = BattleTest;

// Moves the menu to an entry with the down arrow.
void choose(MemoryConsole& con, int entry) {
    for (int i = 0; i < entry; ++i) con.press_arrow(key_down);
    con.press(key_enter);
}

int prints(const MemoryConsole& con) {
    int n = 0;
    for (const auto& e : con.events()) n += e.kind == MemoryConsole::Event::print;
    return n;
}

TEST_F(Commands, HighlightMovesWithoutWrapping) {
    struct Case {
        const char* name;
        std::vector<int> keys;
        i16 index;
        bool draws;
    };
    const Case cases[] = {
        {"up at the first entry", {key_arrow_prefix, key_up}, 0, false},
        {"down", {key_arrow_prefix, key_down}, 1, true},
        {"letter P is down", {'P'}, 1, true},
        {"down, down, up with H", {key_down, key_down, 'H'}, 1, true},
        {"down at the last entry", {key_down, key_down, key_down, key_down, key_down}, 3, true},
        {"left and space do nothing", {key_left, key_space, 'K'}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryConsole console;
        Battle battle{console};
        make_records(battle.rec);
        set_up_encounter(battle, 1);
        console.record_events(true);
        for (int k : c.keys) console.press(k);
        EXPECT_THROW(command_loop(battle), InputClosed);
        EXPECT_EQ(battle.menu.command_index, c.index);
        EXPECT_EQ(prints(console) > 0, c.draws);
    }
}

TEST_F(Commands, MovingDownRedrawsOldFrameNormalAndNewFrameBright) {
    con.press_arrow(key_down);
    EXPECT_THROW(command_loop(b), InputClosed);
    // Entry 1's frame starts at (9, 0), entry 2's at (7, 3).
    EXPECT_TRUE(con.shows(9, 0, "＿＿＿＿＿＿"));
    EXPECT_EQ(con.attribute_at(9, 0), 7);
    EXPECT_TRUE(con.shows(7, 3, "＿＿＿＿＿＿"));
    EXPECT_EQ(con.attribute_at(7, 3), 15);
    EXPECT_EQ(con.attribute_at(5, 4), 15);  // its left slash
    EXPECT_EQ(b.screen.text_attribute, 15);
}

TEST_F(Commands, DefendDoublesDefenceForTheEnemyPhaseAndHalvesItAfter) {
    never_evade(b.pawn(), b.rec.hero);
    b.pawn().attack = 200;
    // Seed 20261207 draws 6023, 25205, 5229, ...: each enemy attack takes two
    // draws for the evade test and one for the damage, m = r mod 105. The
    // first: m = 84, trunc(202 / 40 + trunc(84 / 104 x 10 - 4)) = 9; then 2
    // and 10 against the doubled defence of 40.
    const int expected_hp = 120 - 9 - 2 - 10;
    choose(con, 1);
    con.press({key_enter, key_enter, key_enter});  // one acknowledgement per enemy attack
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.rec.hero.hp, expected_hp);
    EXPECT_EQ(b.rec.hero.defense, 20);
    EXPECT_EQ(b.state.turn_count, 4);           // the defend turn and three enemy attacks
    EXPECT_TRUE(con.shows(33, 9, "敵の攻撃"));  // the banner stays after the turn
}

TEST_F(Commands, BucklerEndingInADefendTurnIsTakenOffTheDoubledDefence) {
    // Defence 25 holds one Buckler (+5) that ends in the first tick pass: 50, 45, then 22.
    b.rec.hero.defense = 25;
    b.state.buckler[0] = EffectSlot{1, 0};
    b.state.active_effects = 1;
    b.state.effect_rows[0] = 1;
    never_evade(b.pawn(), b.rec.hero);
    // Against a defence of 45 the three attacks do 4, -2 (no loss) and 5.
    const int expected_hp = 120 - 4 - 5;
    choose(con, 1);
    con.press(key_enter);  // "バックラーの効果が切れました。"
    con.press({key_enter, key_enter, key_enter});
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.rec.hero.defense, 22);
    EXPECT_EQ(b.rec.hero.hp, expected_hp);
    EXPECT_EQ(b.state.active_effects, 0);
    EXPECT_EQ(b.state.buckler[0].counter, -1);
}

TEST_F(Commands, FailedRunCostsATurnAndTheEnemiesAttack) {
    b.rec.hero.speed = 0;  // the hero's escape roll is 0: never above the pursuit roll
    choose(con, 3);
    con.press({key_enter, key_enter, key_enter});  // the three enemy attacks
    con.press(key_enter);                          // after the turn
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.state.turn_count, 4);
    EXPECT_EQ(con.row_text(13, 27, 51), std::string(51, ' '));  // the window was cleared
}

TEST_F(Commands, SuccessfulRunEndsTheBattleEscaped) {
    b.pawn().speed = 0;  // pursuit value 0: any positive escape roll wins
    choose(con, 3);
    EXPECT_EQ(command_loop(b), Outcome::escaped);
    EXPECT_TRUE(con.shows(27, 13, "成功しました。"));
    EXPECT_TRUE(con.shows(27, 14, "主人公の「にげる」.........."));
    EXPECT_EQ(b.state.turn_count, 0);
}

TEST_F(Commands, EscapeRollUsesThePursuitValueOfTheEnemiesLeft) {
    // The same pawn speed gives 2.25, 1.5 and 0.75 times its speed.
    EXPECT_EQ(pursuit_value(100, 3), 225);
    EXPECT_EQ(pursuit_value(100, 2), 150);
    EXPECT_EQ(pursuit_value(101, 1), 75);
    b.state.enemies_left = 1;
    b.state.enemies_defeated = 2;
    // Pursuit 7 (trunc(10 x 0.75)). Seed 20261207 draws 6023 and 25205:
    // 2 x 15 x 3 + 6023 mod 16 = 97 against 4 x 7 x 3 + 25205 mod 8 = 89;
    // the pursuit of three enemies (22) would start at 264.
    choose(con, 3);
    EXPECT_EQ(command_loop(b), Outcome::escaped);
    EXPECT_TRUE(con.shows(27, 13, "成功しました。"));
}

TEST_F(Commands, HeroFallingMidPhaseLosesAtOnce) {
    never_evade(b.pawn(), b.rec.hero);
    b.pawn().attack = 3000;
    b.rec.hero.hp = 3;
    choose(con, 1);
    con.press(key_enter);  // after "GAME OVER"
    EXPECT_EQ(command_loop(b), Outcome::lost);
    EXPECT_EQ(b.rec.hero.hp, 0);
    EXPECT_EQ(b.state.turn_count, 2);   // the defend turn and one enemy attack
    EXPECT_EQ(b.rec.hero.defense, 40);  // not halved back: the battle is over
    EXPECT_TRUE(con.shows(27, 13, "GAME OVER"));
    EXPECT_TRUE(con.shows(27, 14, "相手に敗れました。"));
    EXPECT_EQ(con.keys_left(), 0u);
}

TEST_F(Commands, AcknowledgementTakesOnlyEnterRightOrDown) {
    never_evade(b.pawn(), b.rec.hero);
    b.pawn().attack = 1;  // harmless blows
    choose(con, 1);
    con.press({key_space, 'a', key_left, key_enter});  // dropped, dropped, dropped, taken
    con.press({key_right, key_down});
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.state.turn_count, 4);
}

}  // namespace
}  // namespace rpg::testing
