#pragma once
// The blows of a battle and their consequences: the hero's attack on the
// enemy group, an enemy's attack on the hero, and the victory with its
// experience and levels. Each routine changes the records and the counters
// and returns what happened; the battle shows it.

#include "data/random.h"
#include "rules/state.h"

namespace rpg {

struct HeroBlow {
    bool evaded = false;
    i16 damage = 0;
    bool felled = false;  // the selected enemy fell
};

// Counts the turn, then the evade test and the damage of the hero's attack
// with the skill on the selected enemy. The damage comes off the pool of the
// standing enemies; when the pool is spent, the enemy falls.
HeroBlow hero_blow(EnemyStatus& enemy, const HeroStatus& hero, const SkillStatus& skill, BattleState& state,
                   Random& random);

struct EnemyBlow {
    bool evaded = false;
    i16 damage = 0;
    i16 hp_before = 0;
    bool hero_fell = false;
};

// Counts the turn, then the evade test and the damage of one enemy's attack
// with its own skill on the hero.
EnemyBlow enemy_blow(HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, BattleState& state,
                     Random& random);

// Takes up to `damage` hit points off the hero one at a time, stopping once
// nothing is left; nothing for a damage of 0 or less.
void lose_hp(HeroStatus& hero, i16 damage);

struct Victory {
    u16 exp_gained = 0;
    bool levelled = false;  // the experience reached the next level
};

// The end of a won battle: attack and defence go back to their base values
// (which removes every boost), the hero is copied into hero_before, the
// experience is granted and, when it reaches the next level, the level is
// raised as often as thresholds were passed and the hit points are refilled.
Victory claim_victory(HeroStatus& hero, const EnemyStatus& enemy, BattleState& state, Random& random);

}  // namespace rpg
