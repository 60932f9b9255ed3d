#pragma once
// The battle formulas with their random draws handed in, so that each one can
// be worked out at chosen draws. The formulas of formulas.h draw from the
// generator in their fixed order and pass the numbers on to these.
//
// The game's integer steps are 32-bit signed sums and products; they wrap the
// way a 32-bit two's-complement register wraps. Real steps are doubles.

#include <array>
#include <cstdint>

#include "data/records.h"

namespace rpg::formulas_detail {

using i32 = std::int32_t;

// The low 32 bits of v, read as a signed 32-bit number.
constexpr i32 wrap32(long long v) {
    return static_cast<i32>(static_cast<std::uint32_t>(static_cast<unsigned long long>(v)));
}
constexpr i32 add32(i32 a, i32 b) { return wrap32(static_cast<long long>(a) + b); }
constexpr i32 mul32(i32 a, i32 b) { return wrap32(static_cast<long long>(a) * b); }

// r mod divisor, truncated toward zero. A divisor of 0 (a speed of -1 gives
// one in the evade and escape rolls) makes the random term 0.
constexpr i32 remainder_or_zero(i32 r, i32 divisor) {
    if (divisor == 0 || divisor == -1) return 0;
    return r % divisor;
}

// A real divisor that would be 0 counts as 1.
constexpr double divisor_or_one(long long divisor) { return divisor == 0 ? 1.0 : static_cast<double>(divisor); }

// A real made an integer by dropping the fraction (toward zero). NaN and the
// infinities give 0; finite values beyond the 64-bit range are clamped.
long long truncate(double x);

// trunc(real m / span * 10 - 4): -4 at m = 0, 6 at m = span.
int swing(i32 m, i32 span);

i16 physical_damage_at(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, int r);
i16 enemy_damage_at(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, int r);
int check_hit_at(i16 defender_speed, i16 attacker_speed, i16 accuracy, int r1, int r2);
int check_escape_at(i16 hero_speed, i16 pursuit, u16 level, int r1, int r2);
u16 exp_reward_at(const EnemyStatus& enemy, int r);
// The experience of a won battle from the base reward already drawn.
u16 battle_exp_from(u16 reward, i16 enemies_defeated, i16& turn_count, i16 items_used);

// Draws of one level's growth, in the order r1, r2 for max_hp, attack,
// defense, magic_attack, magic_defense, speed.
inline constexpr int growth_draw_count = 12;
using GrowthDraws = std::array<int, growth_draw_count>;
void level_up_growth_at(HeroStatus& hero, const GrowthDraws& draws);

}  // namespace rpg::formulas_detail
