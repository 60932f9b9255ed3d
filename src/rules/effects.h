#pragma once
// The timed item effects: Protein raises attack and Buckler defence by 5 for
// 11 ticks; up to three run at once, each shown in one status-panel row.

#include "screen/battle.h"

namespace rpg {

inline constexpr i16 effect_boost = 5;
inline constexpr i16 effect_start_counter = 11;
inline constexpr int max_active_effects = 3;
inline constexpr int potion_heal = 20;

void start_protein(Battle& b);
void start_buckler(Battle& b);
void end_protein(Battle& b);
void end_buckler(Battle& b);
// Counts every running effect down by one and ends those that run out,
// Protein slots first (2 down to 0), then Buckler slots.
void tick_pass(Battle& b);
// The Protein half of a tick pass alone.
void protein_tick(Battle& b);

}  // namespace rpg
