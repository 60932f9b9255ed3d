#include "rules/blows.h"

#include <gtest/gtest.h>

namespace rpg {
namespace {

// The hero and pawn of the battle tests. Seed 20261207 draws 6023, 25205,
// 5229, ...
class Blows : public ::testing::Test {
protected:
    Blows() {
        hero.max_hp = 120;
        hero.hp = 100;
        hero.attack = 30;
        hero.defense = 20;
        hero.magic_attack = 10;
        hero.magic_defense = 12;
        hero.speed = 15;
        hero.level = 3;
        hero.next_exp = 300;
        hero.base_attack = 30;
        hero.base_defense = 20;
        pawn.max_hp = 40;
        pawn.attack = 12;
        pawn.defense = 10;
        pawn.magic_attack = 5;
        pawn.magic_defense = 8;
        pawn.speed = 10;
        pawn.target = 2;
        pawn.hp.fill(40);
        skill.power = 1;
        skill.accuracy = 2;
        seed_random(random, 20261207);
    }

    HeroStatus hero;
    EnemyStatus pawn;
    SkillStatus skill;
    BattleState state;
    Random random;
};

TEST_F(Blows, HeroBlowLandsOnThePoolOfTheStandingEnemies) {
    // Evade test: 10 + 5 + 6023 mod 11 = 21 against 15 x 2 + 25205 mod 16 = 35.
    // Damage: m = 5229 mod 107 = 93, trunc(32 / 10 + trunc(93 / 106 x 10 - 4)) = 7.
    struct Case {
        i16 pool;
        bool felled;
    };
    for (const Case c : {Case{40, false}, Case{8, false}, Case{7, true}, Case{-3, true}}) {
        SCOPED_TRACE(c.pool);
        BattleState s;
        Random r;
        seed_random(r, 20261207);
        pawn.hp[3] = c.pool;
        const HeroBlow blow = hero_blow(pawn, hero, skill, s, r);
        EXPECT_FALSE(blow.evaded);
        EXPECT_EQ(blow.damage, 7);
        EXPECT_EQ(blow.felled, c.felled);
        EXPECT_EQ(pawn.hp[3], c.pool - 7);
        EXPECT_EQ(s.turn_count, 1);
        EXPECT_EQ(s.enemies_left, c.felled ? 2 : 3);
        EXPECT_EQ(s.enemies_defeated, c.felled ? 1 : 0);
        EXPECT_EQ(s.defeated, (std::array<i16, 7>{0, c.felled ? i16{1} : i16{0}}));
        EXPECT_EQ(stands(s, 2), !c.felled);
    }
    // A pawn fast enough evades: nothing but the turn changes.
    pawn.speed = 1000;
    pawn.hp[3] = 40;
    const HeroBlow evaded = hero_blow(pawn, hero, skill, state, random);
    EXPECT_TRUE(evaded.evaded);
    EXPECT_EQ(state.turn_count, 1);
    EXPECT_EQ(pawn.hp[3], 40);
    EXPECT_EQ(state.enemies_left, 3);
}

TEST_F(Blows, EnemyBlowTakesItsDamageOffTheHero) {
    // With the hero at speed 15: 15 + 7 + 6023 mod 16 = 29 beats 10 x 2 + 25205 mod 11 = 24.
    const EnemyBlow evaded = enemy_blow(hero, pawn, skill, state, random);
    EXPECT_TRUE(evaded.evaded);
    EXPECT_EQ(hero.hp, 100);
    // At speed 0 the blow lands: m = 5229 mod 105 = 84, trunc(14 / 20 + 4) = 4.
    struct Case {
        i16 hp, after;
        bool fell;
    };
    for (const Case c : {Case{100, 96, false}, Case{4, 0, true}, Case{2, 0, true}}) {
        SCOPED_TRACE(c.hp);
        BattleState s;
        seed_random(random, 20261207);
        hero.speed = 0;
        hero.hp = c.hp;
        const EnemyBlow blow = enemy_blow(hero, pawn, skill, s, random);
        EXPECT_FALSE(blow.evaded);
        EXPECT_EQ(blow.damage, 4);
        EXPECT_EQ(blow.hp_before, c.hp);
        EXPECT_EQ(hero.hp, c.after);
        EXPECT_EQ(blow.hero_fell, c.fell);
        EXPECT_EQ(s.turn_count, 1);
    }
}

TEST(LoseHp, OnePointAtATimeAndNothingBelowZero) {
    struct Case {
        i16 hp, damage, after;
    };
    const Case cases[] = {{50, 20, 30}, {12, 30, 0}, {1, 1, 0}, {50, 0, 50}, {50, -5, 50}, {50, -32768, 50}};
    for (const Case& c : cases) {
        HeroStatus hero;
        hero.hp = c.hp;
        lose_hp(hero, c.damage);
        EXPECT_EQ(hero.hp, c.after) << c.hp << " " << c.damage;
    }
}

TEST_F(Blows, VictoryGrantsExperienceAndRaisesLevels) {
    // 85 + 6023 mod 85 + 85 / 6 = 172 a pawn; 3 pawns, one item: 516 - 5 = 511.
    state.enemies_left = 0;
    state.enemies_defeated = 3;
    state.turn_count = 10;
    state.items_used = 1;
    hero.attack = 40;  // two Proteins running
    hero.defense = 25;
    hero.exp = 0;
    struct Case {
        u32 next_exp;
        bool levelled;
        u16 level;
        u32 exp;
        i16 hp;
    };
    // Past 300: level 4 with 211 left over, and the hit points refilled.
    for (const Case c : {Case{600, false, 3, 511, 100}, Case{300, true, 4, 211, 124}}) {
        SCOPED_TRACE(c.next_exp);
        HeroStatus h = hero;
        BattleState s = state;
        Random r;
        seed_random(r, 20261207);
        h.next_exp = c.next_exp;
        const Victory victory = claim_victory(h, pawn, s, r);
        EXPECT_EQ(victory.exp_gained, 511);
        EXPECT_EQ(victory.levelled, c.levelled);
        EXPECT_EQ(s.exp_gained, 511);
        EXPECT_EQ(s.hero_before.exp, 0u);  // the hero as the battle was won
        EXPECT_EQ(s.hero_before.attack, 30);
        EXPECT_EQ(h.level, c.level);
        EXPECT_EQ(h.exp, c.exp);
        EXPECT_EQ(h.hp, c.hp);
        EXPECT_EQ(h.defense, c.levelled ? 21 : 20);
    }
}

}  // namespace
}  // namespace rpg
