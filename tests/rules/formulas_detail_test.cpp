// The battle formulas at chosen draws. Every expected value is worked out by
// hand in the comment beside it.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rules/formulas_detail.h"

namespace rpg {
namespace {

using namespace formulas_detail;

HeroStatus hero_with(u16 level, u16 attack, u32 exp, u16 defense = 1, u16 magic_defense = 1) {
    HeroStatus hero{};
    hero.level = level;
    hero.attack = attack;
    hero.exp = exp;
    hero.defense = defense;
    hero.magic_defense = magic_defense;
    return hero;
}

EnemyStatus enemy_with(u16 attack, u16 defense, u16 magic_defense) {
    EnemyStatus enemy{};
    enemy.attack = attack;
    enemy.defense = defense;
    enemy.magic_defense = magic_defense;
    return enemy;
}

SkillStatus skill_with(u16 power, u16 accuracy) {
    SkillStatus skill{};
    skill.power = power;
    skill.accuracy = accuracy;
    return skill;
}

TEST(FormulaArithmetic, ThirtyTwoBitStepsWrapLikeTwosComplement) {
    EXPECT_EQ(mul32(65535, 65535), -131071);  // 0xFFFE0001
    EXPECT_EQ(add32(std::numeric_limits<i32>::max(), 1), std::numeric_limits<i32>::min());
    EXPECT_EQ(mul32(-5, 7), -35);
    EXPECT_EQ(remainder_or_zero(7, -4), 3);  // truncated toward zero: the sign follows 7
    EXPECT_EQ(remainder_or_zero(-7, 4), -3);
    EXPECT_EQ(remainder_or_zero(12345, 0), 0);
    EXPECT_EQ(remainder_or_zero(std::numeric_limits<i32>::min(), -1), 0);
}

TEST(FormulaArithmetic, TruncationDropsTheFractionAndNeverOverflows) {
    EXPECT_EQ(truncate(-1.5), -1);
    EXPECT_EQ(truncate(1.99), 1);
    EXPECT_EQ(truncate(-0.2), 0);
    EXPECT_EQ(truncate(std::nan("")), 0);
    EXPECT_EQ(truncate(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(truncate(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(truncate(1e30), std::numeric_limits<long long>::max());
    EXPECT_EQ(truncate(-1e30), std::numeric_limits<long long>::min());
    EXPECT_EQ(truncate(-9223372036854775808.0), std::numeric_limits<long long>::min());
}

TEST(DamageSwing, RunsFromMinusFourToSix) {
    struct Case {
        i32 m;
        i32 span;
        int expected;
    };
    const Case cases[] = {
        {0, 100, -4},        // 0 x 10 - 4
        {100, 100, 6},       // m at its maximum: 1 x 10 - 4
        {50, 100, 1},        // m = L + 50 at L = 0: 0.5 x 10 - 4
        {57, 114, 1},        // m = L + 50 at L = 7
        {114, 114, 6},       // m = 2L + 100 at L = 7
        {5, 100, -3},        // 0.5 - 4 = -3.5, toward zero
        {38, 100, 0},        // 3.8 - 4 = -0.2, toward zero
        {99, 100, 5},        // 9.9 - 4 = 5.9
        {65585, 131170, 1},  // m = L + 50 at L = 65535
        {131170, 131170, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(swing(c.m, c.span), c.expected) << "m " << c.m << " span " << c.span;
    }
}

struct DamageCase {
    const char* what;
    u16 level;
    u16 attack;  // the attacker's
    u32 exp;
    u16 power;
    u16 accuracy;
    u16 defense;  // the defender's
    u16 magic_defense;
    int r;
    i16 expected;
};

TEST(PhysicalDamage, MatchesHandWorkedValues) {
    const DamageCase cases[] = {
        // base (2 x 1 + 3) / 2 = 2.5; L = 0: m = r mod 101, span 100.
        {"base 2.5, swing -4 gives trunc(-1.5) = -1", 0, 2, 0, 1, 3, 2, 1, 0, -1},
        {"r = 101 wraps to m = 0", 0, 2, 0, 1, 3, 2, 1, 101, -1},
        {"swing 6 at m = 100: trunc(8.5)", 0, 2, 0, 1, 3, 2, 1, 100, 8},
        {"swing 1 at m = 50: trunc(3.5)", 0, 2, 0, 1, 3, 2, 1, 50, 3},
        {"swing is cut on its own: 2.5 + trunc(-0.2)", 0, 2, 0, 1, 3, 2, 1, 38, 2},
        // L = 5: m = r mod 111, span 110; 388 = 3 x 111 + 55, m = L + 50.
        {"level widens the roll", 5, 2, 0, 1, 3, 2, 1, 388, 3},
        {"level 5, m = 110 at its maximum", 5, 2, 0, 1, 3, 2, 1, 110, 8},
        // base (10 x 3 + 4) / 2 = 17; bonus 1000 / (2 x 5) = 100; swing -4.
        {"experience bonus", 0, 10, 1000, 3, 4, 2, 5, 0, 113},
        // base 0 / 3 = 0; bonus 10 / 3 = 3.33; swing -4: trunc(-0.67) = 0.
        {"fractional bonus", 0, 0, 10, 0, 0, 3, 1, 0, 0},
        // (1 x 1 + 0) / 7 = 0.14, bonus 0, swing -4: trunc(-3.86) = -3.
        {"negative damage stays negative", 0, 1, 0, 1, 0, 7, 1, 0, -3},
        // 300 x 300 = 90000, / 1, swing 1: 90001 reduced to 16 bits = 24465.
        {"reduced to 16 bits", 0, 300, 0, 300, 0, 1, 1, 50, 24465},
        // Zero defence counts as 1: base (3 x 2 + 1) / 1 = 7, bonus 10 / 1, swing -4.
        {"zero defence", 0, 3, 10, 2, 1, 0, 7, 0, 13},
        // attack x power = 65535 x 65535 wraps to -131071, + 65535 = -65536;
        // base -65536 / 65535 = -1.0000153; defence x magic defence wraps to
        // -131071, bonus 4294967295 / -131071 = -32768.2500; L = 65535: span
        // 131170, m = 0, swing -4; trunc(-32773.25) = -32773 -> 16 bits 32763.
        {"worst values, m = 0", 65535, 65535, 0xFFFFFFFFu, 65535, 65535, 65535, 65535, 0, 32763},
        // m = 32767: 32767 / 131170 x 10 - 4 = -1.50 -> swing -1; trunc(-32770.25) -> 32766.
        {"worst values, top draw", 65535, 65535, 0xFFFFFFFFu, 65535, 65535, 65535, 65535, 32767, 32766},
    };
    for (const DamageCase& c : cases) {
        const HeroStatus hero = hero_with(c.level, c.attack, c.exp);
        const EnemyStatus enemy = enemy_with(0, c.defense, c.magic_defense);
        EXPECT_EQ(physical_damage_at(hero, enemy, skill_with(c.power, c.accuracy), c.r), c.expected) << c.what;
    }
}

TEST(EnemyDamage, MatchesHandWorkedValues) {
    const DamageCase cases[] = {
        // l = 2 x 4 / 3 = 2: m = r mod 105, span 104. base (3 x 2 + 0) / 2 = 3.
        {"m = 0", 4, 3, 0, 2, 0, 2, 1, 0, -1},
        {"m = l + 50 gives swing 1", 4, 3, 0, 2, 0, 2, 1, 52, 4},
        {"m = 2l + 100 gives swing 6", 4, 3, 0, 2, 0, 2, 1, 104, 9},
        {"r = 105 wraps to m = 0", 4, 3, 0, 2, 0, 2, 1, 105, -1},
        // l = 2 x 1 / 3 = 0: span 100. 52 -> 5.2 - 4 = 1.2 -> 1.
        {"level 1 stands in as 0", 1, 3, 0, 2, 0, 2, 1, 52, 4},
        // (2 x 1) / 3 = 0 in integers: base 1 / 1 + 0 - 4 = -3 (a real 2/3 would give -2).
        {"two thirds of the experience in integers", 0, 1, 1, 1, 0, 1, 1, 0, -3},
        // (2 x 2) / 3 = 1: 1 + 1 - 4 = -2 (a real 4/3 would give -1).
        {"two thirds of 2 is 1", 0, 1, 2, 1, 0, 1, 1, 0, -2},
        // 2 x 0xFFFFFFFF wraps to 0xFFFFFFFE; / 3 = 1431655764; 1 + that - 4
        // = 1431655761, reduced to 16 bits 21841.
        {"doubling the experience wraps in 32 bits", 0, 1, 0xFFFFFFFFu, 1, 0, 1, 1, 0, 21841},
        // A defending hero's defence can wrap to 0: it counts as 1, and so
        // does the product 0 x 5. base (10 x 2) / 1 = 20; bonus (18 / 3) / 1 = 6; -4.
        {"zero defence of a defending hero", 0, 10, 9, 2, 0, 0, 5, 0, 22},
        // Numerator -65536 / 65535 = -1.0000153; defence product -131071;
        // bonus 1431655764 / -131071 = -10922.75; l = 43690, span 87480.
        {"worst values, m = 0", 65535, 65535, 0xFFFFFFFFu, 65535, 65535, 65535, 65535, 0, -10927},
        // m = 32767: 32767 / 87480 x 10 - 4 = -0.25 -> swing 0.
        {"worst values, top draw", 65535, 65535, 0xFFFFFFFFu, 65535, 65535, 65535, 65535, 32767, -10923},
    };
    for (const DamageCase& c : cases) {
        const HeroStatus hero = hero_with(c.level, 0, c.exp, c.defense, c.magic_defense);
        const EnemyStatus enemy = enemy_with(c.attack, 0, 0);
        EXPECT_EQ(enemy_damage_at(hero, enemy, skill_with(c.power, c.accuracy), c.r), c.expected) << c.what;
    }
}

struct RollCase {
    const char* what;
    i16 a;
    i16 b;
    int k;  // accuracy for the evade test, level for the escape test
    int r1;
    int r2;
    int expected;
};

TEST(CheckHit, EvadesOnlyWhenTheDefenderRollsHigher) {
    const RollCase cases[] = {
        // A = 10 + 5 + r1 mod 11; B = 1 x 15 + r2 mod 2.
        {"equal rolls do not evade", 10, 1, 15, 0, 0, 0},  // 15 vs 15
        {"one more evades", 10, 1, 15, 1, 0, 1},           // 16 vs 15
        {"attacker one more hits", 10, 1, 15, 0, 1, 0},    // 15 vs 16
        {"remainders taken", 10, 1, 15, 12, 2, 1},         // 15 + 12 mod 11 = 16 vs 15 + 2 mod 2 = 15
        // a = -1: a + 1 = 0, so the random term is 0; A = -1 + 0 + 0.
        {"defender speed -1", -1, 0, 0, 12345, 777, 0},  // -1 vs 0 + 0
        {"attacker speed -1", 0, -1, 1, 999, 12345, 1},  // 0 vs -1 + 0
        {"both -1 are equal", -1, -1, 1, 5, 5, 0},       // -1 vs -1
        // a = -5: -5 + (-2) + 7 mod -4 (= 3) = -4; B = -1 x 5 + 0 = -5.
        {"negative speeds keep their remainders", -5, -1, 5, 7, 0, 1},
        // a = 32767: 32767 + 16383 + 0 = 49150, 16 bits -16386; B = 1 + 0.
        {"a very fast defender wraps below zero", 32767, 1, 1, 0, 0, 0},
        // a = -32768: -32768 - 16384 + 100 = -49052, 16 bits 16484; B = 0.
        {"the slowest speed wraps above zero", -32768, 0, 0, 100, 0, 1},
        // B = 200 x 200 + 0 = 40000, 16 bits -25536; A = 0.
        {"a high aim wraps below zero", 0, 200, 200, 0, 0, 1},
        // B = 32767 x 32767 + 32767 mod 32768 = 1073709056, 16 bits -32768; A = 0.
        {"worst aim", 0, 32767, 32767, 0, 32767, 1},
    };
    for (const RollCase& c : cases) {
        EXPECT_EQ(check_hit_at(c.a, c.b, static_cast<i16>(c.k), c.r1, c.r2), c.expected) << c.what;
    }
}

TEST(CheckEscape, SucceedsOnlyWhenTheHeroRollsHigher) {
    const RollCase cases[] = {
        // A = 2 x 10 x 1 + r1 mod 11; B = 4 x 5 x 1 + r2 mod 6.
        {"equal rolls do not escape", 10, 5, 1, 0, 0, 0},  // 20 vs 20
        {"one more escapes", 10, 5, 1, 1, 0, 1},           // 21 vs 20
        {"remainders of both", 10, 5, 1, 23, 11, 0},       // 20 + 1 vs 20 + 5
        // A = 20L + r1 mod 11; B = 16L + r2 mod 5: the level decides.
        {"level 1 does not get away", 10, 4, 1, 0, 4, 0},  // 20 vs 20
        {"level 2 gets away", 10, 4, 2, 0, 4, 1},          // 40 vs 36
        // A pursuit of 65535 is -1: b + 1 = 0, so its random term is 0; B = -4L.
        {"pursuit -1", 0, -1, 1, 0, 32767, 1},                      // 0 vs -4
        {"pursuit -1, hero speed -1", -1, -1, 1, 32767, 32767, 1},  // -2 vs -4
        // 2 x 32767 x 65535 wraps to -196606 (16 bits: 2); B = 0 + 0.
        {"fastest hero at the top level", 32767, 0, 65535, 0, 0, 1},
        // 4 x 32767 x 65535 wraps to -393212 (16 bits: 4); A = 0.
        {"hardest pursuit at the top level", 0, 32767, 65535, 0, 0, 0},      // 0 vs 4
        {"hardest pursuit wraps below zero", 0, 32767, 65535, 0, 32764, 1},  // 0 vs 32768 = -32768
    };
    for (const RollCase& c : cases) {
        EXPECT_EQ(check_escape_at(c.a, c.b, static_cast<u16>(c.k), c.r1, c.r2), c.expected) << c.what;
    }
}

EnemyStatus enemy_stats(u16 max_hp, u16 attack, u16 defense, u16 magic_attack, u16 magic_defense, u16 speed) {
    EnemyStatus enemy{};
    enemy.max_hp = max_hp;
    enemy.attack = attack;
    enemy.defense = defense;
    enemy.magic_attack = magic_attack;
    enemy.magic_defense = magic_defense;
    enemy.speed = speed;
    return enemy;
}

TEST(ExpReward, SumPlusRollPlusASixth) {
    struct Case {
        const char* what;
        EnemyStatus enemy;
        int r;
        u16 expected;
    };
    const Case cases[] = {
        // S = 10 + 3 + 2 + 1 + 1 + 1 = 18: 18 + r mod 18 + 3.
        {"lowest roll", enemy_stats(10, 3, 2, 1, 1, 1), 0, 21},
        {"roll 40 -> 4", enemy_stats(10, 3, 2, 1, 1, 1), 40, 25},
        {"roll 17", enemy_stats(10, 3, 2, 1, 1, 1), 17, 38},
        {"every stat counts", enemy_stats(0, 0, 0, 0, 0, 12), 5, 19},  // 12 + 5 + 2
        {"no stats, no reward, no division by zero", enemy_stats(0, 0, 0, 0, 0, 0), 32767, 0},
        // S = 393210; r mod S = r; 393210 + 0 + 65535 = 458745 -> 16 bits 65529.
        {"largest stats", enemy_stats(65535, 65535, 65535, 65535, 65535, 65535), 0, 65529},
        {"largest stats, top roll", enemy_stats(65535, 65535, 65535, 65535, 65535, 65535), 32767, 32760},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(exp_reward_at(c.enemy, c.r), c.expected) << c.what;
    }
}

TEST(BattleExp, ScalesByTurnsAndChargesForItems) {
    struct Case {
        const char* what;
        u16 reward;
        i16 defeated;
        i16 turns;
        i16 items;
        u16 expected;
        i16 turns_after;
    };
    const Case cases[] = {
        {"short battle", 21, 3, 10, 0, 63, 10},
        {"39 turns are not yet long", 21, 3, 39, 0, 63, 39},
        {"40 turns divide by 1.1", 100, 3, 40, 0, 272, 4},  // 300 / 1.1 = 272.7
        {"45 turns leave the count at 4", 100, 3, 45, 0, 272, 4},
        {"105 turns divide by 2.75", 100, 1, 105, 0, 36, 10},  // 100 / 2.75 = 36.4
        // 32767 / 10 = 3276: 65535 / 900.9 = 72.7.
        {"longest battle", 65535, 1, 32767, 0, 72, 3276},
        {"items cost 5 each", 21, 3, 10, 2, 53, 10},
        {"items can take nearly all", 21, 3, 10, 12, 3, 10},
        {"items costing exactly the gain", 100, 3, 45, 54, 2, 4},  // 272 - 270
        // 63 - 65 would wrap to 65534: the hero gains nothing instead.
        {"items costing more than the gain give 0", 21, 3, 10, 13, 0, 10},
        {"every item counter value", 21, 3, 10, 32767, 0, 10},
        // A counter wrapped past 32767 would add 163840: held at the 16-bit top.
        {"a wrapped item counter never wraps the gain", 10, 1, 0, -32768, 65535, 0},
        // 30000 x 3 = 90000 -> 16 bits 24464.
        {"reward times enemies reduced to 16 bits", 30000, 3, 0, 0, 24464, 0},
        {"no enemy defeated", 500, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        i16 turns = c.turns;
        EXPECT_EQ(battle_exp_from(c.reward, c.defeated, turns, c.items), c.expected) << c.what;
        EXPECT_EQ(turns, c.turns_after) << c.what;
    }
}

TEST(LevelUpGrowth, TwelveDrawsInStatOrder) {
    HeroStatus hero{};
    hero.exp = 100;
    hero.next_exp = 100;  // surplus 0: the extra point never comes
    hero.max_hp = 20;
    hero.attack = 10;
    hero.defense = 11;
    hero.magic_attack = 12;
    hero.magic_defense = 13;
    hero.speed = 14;
    // max_hp: 4 mod 5 + 3 = 7. Then r1 mod 4 - 1: 0 -> -1 -> 1, 1 -> 0 -> 1,
    // 2 -> 1, 3 -> 2, 7 -> 3 -> 2; every r2 mod 300 >= 0 = d.
    const GrowthDraws draws = {4, 0, 0, 0, 1, 299, 2, 5, 3, 32767, 7, 1};
    level_up_growth_at(hero, draws);
    EXPECT_EQ(hero.max_hp, 27);
    EXPECT_EQ(hero.attack, 11);
    EXPECT_EQ(hero.defense, 12);
    EXPECT_EQ(hero.magic_attack, 13);
    EXPECT_EQ(hero.magic_defense, 15);
    EXPECT_EQ(hero.speed, 16);
    EXPECT_EQ(hero.exp, 100u);
    EXPECT_EQ(hero.next_exp, 100u);
}

TEST(LevelUpGrowth, NoSurplusMeansNoExtraPoint) {
    // At d = 0, whatever the draws: max_hp grows 3 to 7, the others 1 or 2
    // (r1 mod 4 - 1 is -1, 0, 1, 2; the first two become 1).
    const int gain_at_no_surplus[4] = {1, 1, 1, 2};
    for (int r1 = 0; r1 < 10; ++r1) {
        for (const int r2 : {0, 1, 299, 300, 32767}) {
            HeroStatus hero{};
            hero.exp = 1000;
            hero.next_exp = 100;  // 900 mod 300 = 0
            GrowthDraws draws{};
            draws.fill(r2);
            for (std::size_t i = 0; i < draws.size(); i += 2) draws[i] = r1;
            level_up_growth_at(hero, draws);
            EXPECT_EQ(hero.max_hp, r1 % 5 + 3) << r1;
            const int other = gain_at_no_surplus[r1 % 4];
            for (const u16 stat : {hero.attack, hero.defense, hero.magic_attack, hero.magic_defense, hero.speed}) {
                EXPECT_EQ(stat, other) << "r1 " << r1 << " r2 " << r2;
            }
        }
    }
}

TEST(LevelUpGrowth, SurplusAboveTheRollAddsAPoint) {
    struct Case {
        const char* what;
        u32 exp;
        u32 next_exp;
        int r1;
        int r2;
        int hp_gain;
        int stat_gain;
    };
    const Case cases[] = {
        // d = 299: r2 mod 300 = 298 is below it, 299 is not.
        {"d 299 beats 298", 399, 100, 0, 298, 4, 1},  // -1 + 1 = 0 -> 1
        {"d 299 does not beat 299", 399, 100, 0, 299, 3, 1},
        {"d 299 beats 300 mod 300", 399, 100, 2, 300, 6, 2},   // 2 + 3 + 1; 2 - 1 + 1
        {"largest gains", 399, 100, 4 + 3 * 5 + 20, 0, 8, 3},  // 39: 39 mod 5 = 4, 39 mod 4 = 3
        {"d 1 beats only 0", 101, 100, 1, 0, 5, 1},            // 1 - 1 + 1 = 1
        // exp below next_exp: 5 - 10 in 32 unsigned bits = 4294967291, mod 300 = 191.
        {"surplus wraps in 32 bits", 5, 10, 3, 190, 7, 3},
        {"surplus wraps in 32 bits, roll 191", 5, 10, 3, 191, 6, 2},
    };
    for (const Case& c : cases) {
        HeroStatus hero{};
        hero.exp = c.exp;
        hero.next_exp = c.next_exp;
        hero.speed = 65535;
        GrowthDraws draws{};
        for (std::size_t i = 0; i < draws.size(); i += 2) {
            draws[i] = c.r1;
            draws[i + 1] = c.r2;
        }
        level_up_growth_at(hero, draws);
        EXPECT_EQ(hero.max_hp, c.hp_gain) << c.what;
        EXPECT_EQ(hero.attack, c.stat_gain) << c.what;
        EXPECT_EQ(hero.magic_defense, c.stat_gain) << c.what;
        // Added in 16 bits: 65535 + gain wraps round to gain - 1.
        EXPECT_EQ(hero.speed, c.stat_gain - 1) << c.what;
    }
}

}  // namespace
}  // namespace rpg
