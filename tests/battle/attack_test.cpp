// The hero's attacks through the ability list: hits, falls, victory and level-ups.

#include "battle_fixture.h"
#include "screen/layout.h"
#include "screen/lists.h"

namespace rpg::testing {
namespace {

class Attacks : public BattleTest {
protected:
    // A hero who fells a pawn with every blow; pawns that never evade.
    void one_blow_pawns() {
        never_evade(b.pawn(), b.rec.hero);
        b.pawn().max_hp = 1;
        b.pawn().hp.fill(1);
        b.pawn().defense = 1;
        b.pawn().magic_defense = 1;
    }
    Attacks() { draw_formation(b.screen, b.pawn(), b.enemy_total()); }
    // Fight, open the ability list and attack with the first skill.
    void fight_once() { con.press({key_enter, key_enter, key_enter}); }
};

TEST_F(Attacks, HitWithoutAFallCostsATurnAndTheEnemiesAnswer) {
    never_evade(b.pawn(), b.rec.hero);
    b.pawn().hp.fill(30000);
    // Seed 20261207 draws 6023 and 25205 for the evade test, then 5229:
    // m = 5229 mod 107 = 93, trunc(32 / 10 + trunc(93 / 106 x 10 - 4)) = 7.
    const i16 damage = 7;

    fight_once();
    con.press(key_enter);                          // after the damage message
    con.press({key_enter, key_enter, key_enter});  // the three enemy attacks
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.pawn().hp[3], 30000 - damage);
    EXPECT_EQ(b.pawn().hp[2], 30000);
    EXPECT_EQ(b.state.turn_count, 4);
    EXPECT_EQ(b.state.enemies_left, 3);
}

TEST_F(Attacks, DamageMessageCarriesTheDamage) {
    never_evade(b.pawn(), b.rec.hero);
    b.pawn().hp.fill(30000);
    fight_once();
    EXPECT_THROW(command_loop(b), InputClosed);  // waiting for the acknowledgement
    EXPECT_TRUE(con.shows(27, 13, "相手に7のダメージ!!"));
}

TEST_F(Attacks, FallWithOthersStandingGoesBackToTheMenuWithoutEnemyPhase) {
    one_blow_pawns();
    b.state.protein[0] = EffectSlot{5, 0};
    b.state.buckler[0] = EffectSlot{5, 1};
    b.state.active_effects = 2;
    b.state.effect_rows = {1, 1, 0};
    b.menu.selected_skill = 0;
    fight_once();
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.state.enemies_left, 2);
    EXPECT_EQ(b.state.enemies_defeated, 1);
    EXPECT_EQ(b.state.defeated[0], 1);
    EXPECT_EQ(b.state.turn_count, 1);          // no enemy attacked
    EXPECT_EQ(b.state.protein[0].counter, 4);  // only the Protein half of a tick pass
    EXPECT_EQ(b.state.buckler[0].counter, 5);
    EXPECT_EQ(b.pawn().target, 2);            // the first standing enemy
    EXPECT_EQ(con.row_text(2, 34, 2), "  ");  // the fallen glyph is erased
    EXPECT_TRUE(con.shows(38, 2, "兵"));
    EXPECT_EQ(con.row_text(0, 54, 20), std::string(20, ' '));  // the list and its title are gone
    EXPECT_TRUE(con.shows(27, 13, "相手を倒しました。"));
}

TEST_F(Attacks, NextHitAfterAFallLandsOnAFullPoolEntry) {
    never_evade(b.pawn(), b.rec.hero);
    b.pawn().hp = {40, 40, 40, 1, 40, 40, 40};
    b.pawn().defense = 1;
    b.pawn().magic_defense = 1;
    b.pawn().target = 3;
    fight_once();  // fells the enemy at position 3 through hp[3]
    fight_once();  // the selection moved to position 1; the blow lands on hp[2]
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_EQ(b.state.defeated[2], 1);
    EXPECT_EQ(b.pawn().target, 1);
    EXPECT_LT(b.pawn().hp[2], 40);
    EXPECT_GT(b.pawn().hp[2], 0);
    EXPECT_EQ(b.pawn().hp[1], 40);
}

TEST_F(Attacks, EvadedAttackShowsItsMessage) {
    b.pawn().speed = 10000;  // the pawn's evade roll always wins
    b.rec.hero.speed = 0;
    fight_once();
    EXPECT_THROW(command_loop(b), InputClosed);
    EXPECT_TRUE(con.shows(27, 13, "攻撃を回避されました。"));
    EXPECT_EQ(b.pawn().hp[3], 40);
}

TEST_F(Attacks, WinWithoutLevelUpWaitsAndReturnsWon) {
    one_blow_pawns();
    b.rec.hero.next_exp = 60000;
    for (int i = 0; i < 3; ++i) fight_once();
    con.press(key_enter);  // after the experience line
    EXPECT_EQ(command_loop(b), Outcome::won);
    EXPECT_EQ(b.rec.hero.level, 3);
    EXPECT_TRUE(con.shows(27, 14, "戦闘に勝ちました。"));
    EXPECT_EQ(con.keys_left(), 0u);
}

TEST_F(Attacks, WinRestoresAttackAndDefenceWhateverEffectsRan) {
    one_blow_pawns();
    b.rec.hero.next_exp = 60000;
    b.rec.hero.attack = static_cast<u16>(b.rec.hero.attack + 10);  // two Proteins running
    b.rec.hero.defense = static_cast<u16>(b.rec.hero.defense + 5);
    for (int i = 0; i < 3; ++i) fight_once();
    con.press(key_enter);
    EXPECT_EQ(command_loop(b), Outcome::won);
    EXPECT_EQ(b.rec.hero.attack, 30);
    EXPECT_EQ(b.rec.hero.defense, 20);
}

TEST_F(Attacks, BigWinRaisesTwoLevelsAndCarriesTheRest) {
    one_blow_pawns();
    HeroStatus& hero = b.rec.hero;
    hero.level = 1;
    hero.max_hp = 10;
    hero.attack = 5;
    hero.defense = 3;
    hero.magic_attack = 1;
    hero.magic_defense = 1;
    hero.exp = 0;
    hero.next_exp = 20;
    // Seed 1 draws 41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962
    // for the three blows, then 24464: each pawn is worth 20 + 24464 mod 20 +
    // 20 / 6 = 27, the battle 81. That passes 20 (level 2, 61 left over) and
    // the new threshold of 60 (level 3, 1 left over, next at 100).
    set_up_encounter(b, 1);
    for (int i = 0; i < 3; ++i) fight_once();
    EXPECT_EQ(command_loop(b), Outcome::won);
    EXPECT_EQ(hero.level, 3);
    EXPECT_EQ(hero.exp, 1u);
    EXPECT_EQ(hero.next_exp, 100u);
    EXPECT_EQ(hero.max_hp, 18);
    EXPECT_EQ(hero.speed, 4);
    EXPECT_EQ(hero.hp, 18);
    EXPECT_EQ(b.state.exp_gained, 81);
    EXPECT_EQ(b.state.hero_before.exp, 0u);
    EXPECT_EQ(b.state.hero_before.level, 1);
    EXPECT_TRUE(con.shows(27, 13, "主人公がレベルアップしました。"));
    // The level-up table: the level row gains 2 and shows the new level.
    EXPECT_TRUE(con.shows(25 + 29, 2, "+2"));
    EXPECT_TRUE(con.shows(25 + 38, 2, ":     3"));
    EXPECT_TRUE(con.shows(25 + 38, 9, ":     1"));
    EXPECT_TRUE(con.shows(25 + 29, 9, "+81"));
    EXPECT_TRUE(con.shows(7, 12, "Lv : 3"));
}

TEST_F(Attacks, ZeroThresholdStillEndsTheLevelUpLoop) {
    // A threshold of 0 is passed by any experience; the level stops at its
    // largest value instead of wrapping round for ever.
    one_blow_pawns();
    b.rec.hero.level = 65534;
    b.rec.hero.next_exp = 0;
    for (int i = 0; i < 3; ++i) fight_once();
    EXPECT_EQ(command_loop(b), Outcome::won);
    EXPECT_EQ(b.rec.hero.level, 65535);
}

TEST_F(Attacks, SkillChoiceIsLimitedByLevel) {
    struct Case {
        u16 level;
        i16 last;
    };
    for (Case c : {Case{11, 1}, Case{12, 2}, Case{17, 2}, Case{18, 3}, Case{24, 3}, Case{25, 4}, Case{200, 4}}) {
        SCOPED_TRACE(c.level);
        MemoryConsole console;
        Battle battle{console};
        make_records(battle.rec);
        battle.rec.hero.level = c.level;
        set_up_encounter(battle, 1);
        for (int i = 0; i < 6; ++i) console.press_arrow(key_down);
        EXPECT_THROW(ability_command(battle), InputClosed);
        EXPECT_EQ(battle.menu.selected_skill, c.last);
        EXPECT_EQ(console.attribute_at(55, 2 + 2 * c.last), 15);
    }
}

}  // namespace
}  // namespace rpg::testing
