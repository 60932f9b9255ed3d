#include "rules/blows.h"

#include <limits>

#include "rules/formulas.h"

namespace rpg {
namespace {

// Raises the level once for every threshold the experience has passed. The
// level stops at its largest value, so the loop ends even for data whose
// threshold computes to 0.
void raise_levels(HeroStatus& hero, Random& random) {
    while (hero.exp >= hero.next_exp && hero.level < std::numeric_limits<u16>::max()) {
        ++hero.level;
        const u32 carry = hero.exp - hero.next_exp;
        level_up_growth(hero, random);
        next_level_exp(hero);
        hero.exp = carry;
    }
}

}  // namespace

HeroBlow hero_blow(EnemyStatus& enemy, const HeroStatus& hero, const SkillStatus& skill, BattleState& state,
                   Random& random) {
    HeroBlow blow;
    ++state.turn_count;
    if (check_hit(to_i16(enemy.speed), to_i16(hero.speed), to_i16(skill.accuracy), random)) {
        blow.evaded = true;
        return blow;
    }
    blow.damage = physical_damage(hero, enemy, skill, random);
    i16& pool = enemy.hp.at(static_cast<std::size_t>(state.enemies_left));
    pool = to_i16(pool - blow.damage);
    if (pool > 0) return blow;

    blow.felled = true;
    --state.enemies_left;
    ++state.enemies_defeated;
    defeated_flag(state, enemy.target) = 1;
    return blow;
}

EnemyBlow enemy_blow(HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, BattleState& state,
                     Random& random) {
    EnemyBlow blow;
    ++state.turn_count;
    blow.hp_before = hero.hp;
    if (check_hit(to_i16(hero.speed), to_i16(enemy.speed), to_i16(skill.accuracy), random)) {
        blow.evaded = true;
        return blow;
    }
    blow.damage = enemy_damage(hero, enemy, skill, random);
    lose_hp(hero, blow.damage);
    blow.hero_fell = hero.hp <= 0;
    return blow;
}

void lose_hp(HeroStatus& hero, i16 damage) {
    for (i16 step = 0; step < damage; ++step) {
        hero.hp = to_i16(hero.hp - 1);
        if (hero.hp <= 0) break;
    }
}

Victory claim_victory(HeroStatus& hero, const EnemyStatus& enemy, BattleState& state, Random& random) {
    Victory victory;
    hero.attack = hero.base_attack;
    hero.defense = hero.base_defense;
    state.hero_before = hero;
    victory.exp_gained = battle_exp(enemy, state.enemies_defeated, state.turn_count, state.items_used, random);
    state.exp_gained = victory.exp_gained;
    hero.exp += victory.exp_gained;
    if (hero.exp < hero.next_exp) return victory;
    victory.levelled = true;
    raise_levels(hero, random);
    hero.hp = to_i16(hero.max_hp);
    return victory;
}

}  // namespace rpg
