#include "rules/formulas.h"

#include <cmath>
#include <limits>

#include "rules/formulas_detail.h"

namespace rpg {

namespace formulas_detail {

long long truncate(double x) {
    if (!std::isfinite(x)) return 0;
    constexpr double limit = 9223372036854775808.0;  // 2^63
    if (x >= limit) return std::numeric_limits<long long>::max();
    if (x < -limit) return std::numeric_limits<long long>::min();
    return static_cast<long long>(x);
}

int swing(i32 m, i32 span) {
    return static_cast<int>(truncate(static_cast<double>(m) / divisor_or_one(span) * 10 - 4));
}

namespace {

// trunc(base + bonus + swing), reduced to 16 bits.
i16 damage_of(double base, double bonus, int swing_value) { return to_i16(truncate(base + bonus + swing_value)); }

// attack x power + accuracy, the numerator of both damage formulas.
i32 damage_numerator(u16 attack, const SkillStatus& skill) { return add32(mul32(attack, skill.power), skill.accuracy); }

}  // namespace

i16 physical_damage_at(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, int r) {
    // The roll widens with the hero's level: m runs from 0 to 2L + 100.
    const i32 span = add32(mul32(2, hero.level), 100);
    const i32 m = remainder_or_zero(r, add32(span, 1));
    const double base = damage_numerator(hero.attack, skill) / divisor_or_one(enemy.defense);
    const double bonus = static_cast<double>(hero.exp) / divisor_or_one(mul32(enemy.defense, enemy.magic_defense));
    return damage_of(base, bonus, swing(m, span));
}

i16 enemy_damage_at(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, int r) {
    // An enemy has no level or experience; two thirds of the hero's stand in.
    const i32 level = mul32(2, hero.level) / 3;
    const i32 span = add32(mul32(2, level), 100);
    const i32 m = remainder_or_zero(r, add32(span, 1));
    const double base = damage_numerator(enemy.attack, skill) / divisor_or_one(hero.defense);
    const u32 exp = static_cast<u32>(static_cast<std::uint64_t>(hero.exp) * 2u) / 3u;
    // Defending doubles the hero's defence in 16 bits, which can wrap to 0.
    const double bonus = static_cast<double>(exp) / divisor_or_one(mul32(hero.defense, hero.magic_defense));
    return damage_of(base, bonus, swing(m, span));
}

int check_hit_at(i16 defender_speed, i16 attacker_speed, i16 accuracy, int r1, int r2) {
    const i32 a = defender_speed;
    const i32 b = attacker_speed;
    const i32 evade = add32(add32(a, a / 2), remainder_or_zero(r1, add32(a, 1)));
    const i32 aim = add32(mul32(b, accuracy), remainder_or_zero(r2, add32(b, 1)));
    return to_i16(evade) > to_i16(aim) ? 1 : 0;
}

int check_escape_at(i16 hero_speed, i16 pursuit, u16 level, int r1, int r2) {
    const i32 a = hero_speed;
    const i32 b = pursuit;
    const i32 run = add32(mul32(mul32(2, a), level), remainder_or_zero(r1, add32(a, 1)));
    const i32 chase = add32(mul32(mul32(4, b), level), remainder_or_zero(r2, add32(b, 1)));
    return to_i16(run) > to_i16(chase) ? 1 : 0;
}

u16 exp_reward_at(const EnemyStatus& enemy, int r) {
    i32 sum = enemy.max_hp;
    for (const u16 stat : {enemy.attack, enemy.defense, enemy.magic_attack, enemy.magic_defense, enemy.speed}) {
        sum = add32(sum, stat);
    }
    return to_u16(add32(add32(sum, remainder_or_zero(r, sum)), sum / 6));
}

u16 battle_exp_from(u16 reward, i16 enemies_defeated, i16& turn_count, i16 items_used) {
    u16 gained = to_u16(mul32(reward, enemies_defeated));
    if (turn_count >= 40) {
        // A long battle pays less; the turn count is kept in tens from here on.
        turn_count = static_cast<i16>(turn_count / 10);
        const double divisor = turn_count * 1.1 / 4.0;
        gained = to_u16(truncate(gained / divisor));
    }
    // Each item used costs 5 points, but a battle never takes experience away.
    const i32 left = add32(gained, mul32(-5, items_used));
    if (left < 0) return 0;
    if (left > std::numeric_limits<u16>::max()) return std::numeric_limits<u16>::max();
    return static_cast<u16>(left);
}

void level_up_growth_at(HeroStatus& hero, const GrowthDraws& draws) {
    // The surplus beyond the threshold makes the extra point likelier.
    const u32 surplus = (hero.exp - hero.next_exp) % 300u;
    const auto extra = [surplus](int r2) { return static_cast<long long>(surplus) > r2 % 300 ? 1 : 0; };

    hero.max_hp = to_u16(hero.max_hp + (draws[0] % 5 + 3) + extra(draws[1]));

    u16 HeroStatus::*const stats[] = {&HeroStatus::attack, &HeroStatus::defense, &HeroStatus::magic_attack,
                                      &HeroStatus::magic_defense, &HeroStatus::speed};
    std::size_t next = 2;
    for (u16 HeroStatus::*const stat : stats) {
        int gain = draws[next] % 4 - 1 + extra(draws[next + 1]);
        next += 2;
        if (gain <= 0) gain = 1;
        hero.*stat = to_u16(hero.*stat + gain);
    }
}

}  // namespace formulas_detail

using namespace formulas_detail;

i16 physical_damage(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, Random& random) {
    const int r = draw(random);
    return physical_damage_at(hero, enemy, skill, r);
}

i16 enemy_damage(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, Random& random) {
    const int r = draw(random);
    return enemy_damage_at(hero, enemy, skill, r);
}

int check_hit(i16 defender_speed, i16 attacker_speed, i16 accuracy, Random& random) {
    const int r1 = draw(random);
    const int r2 = draw(random);
    return check_hit_at(defender_speed, attacker_speed, accuracy, r1, r2);
}

int check_escape(i16 hero_speed, i16 pursuit, u16 level, Random& random) {
    const int r1 = draw(random);
    const int r2 = draw(random);
    return check_escape_at(hero_speed, pursuit, level, r1, r2);
}

u16 pursuit_value(u16 enemy_speed, i16 enemies_left) {
    // Three enemies chase at 2.25 times their speed, two at 1.5, one at 0.75.
    return to_u16(truncate(static_cast<double>(enemy_speed) * (enemies_left * 3.0 / 4.0)));
}

u16 exp_reward(const EnemyStatus& enemy, Random& random) {
    const int r = draw(random);
    return exp_reward_at(enemy, r);
}

u16 battle_exp(const EnemyStatus& enemy, i16 enemies_defeated, i16& turn_count, i16 items_used, Random& random) {
    const u16 reward = exp_reward(enemy, random);
    return battle_exp_from(reward, enemies_defeated, turn_count, items_used);
}

void next_level_exp(HeroStatus& hero) {
    i32 sum = hero.max_hp;
    for (const u16 stat : {hero.attack, hero.defense, hero.magic_attack, hero.magic_defense, hero.speed}) {
        sum = add32(sum, stat);
    }
    u32 threshold = to_u16(mul32(sum, hero.level));
    // Small thresholds round to tens, and from 100 on to hundreds (95 -> 100).
    if (threshold >= 10 && threshold < 100) threshold = (threshold + 5) / 10 * 10;
    if (threshold >= 100) threshold = (threshold + 50) / 100 * 100;
    hero.next_exp = threshold;
}

void level_up_growth(HeroStatus& hero, Random& random) {
    GrowthDraws draws{};
    for (int& r : draws) r = draw(random);
    level_up_growth_at(hero, draws);
}

}  // namespace rpg
