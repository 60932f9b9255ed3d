#pragma once
// The arithmetic of a battle. Each formula is a function of the records and,
// where chance enters, of the random generator, drawn from in a fixed order.

#include "data/random.h"
#include "data/records.h"

namespace rpg {

// Damage of the hero's attack with a skill on an enemy kind (may be negative).
i16 physical_damage(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, Random& random);
// Damage of an enemy kind's attack, with its own skill, on the hero (may be negative).
i16 enemy_damage(const HeroStatus& hero, const EnemyStatus& enemy, const SkillStatus& skill, Random& random);
// 1 if the defender evades, else 0. All three are taken as signed 16-bit values.
int check_hit(i16 defender_speed, i16 attacker_speed, i16 accuracy, Random& random);
// 1 if the hero gets away, else 0.
int check_escape(i16 hero_speed, i16 pursuit, u16 level, Random& random);
// How hard the enemies pursue a hero who runs: fewer enemies, easier escape.
u16 pursuit_value(u16 enemy_speed, i16 enemies_left);
// Base experience of one enemy of a kind.
u16 exp_reward(const EnemyStatus& enemy, Random& random);
// Experience a won battle grants; may rewrite turn_count.
u16 battle_exp(const EnemyStatus& enemy, i16 enemies_defeated, i16& turn_count, i16 items_used, Random& random);
// Stores the experience needed for the next level into the hero.
void next_level_exp(HeroStatus& hero);
// Grows six stats of the hero for one level gained.
void level_up_growth(HeroStatus& hero, Random& random);

}  // namespace rpg
