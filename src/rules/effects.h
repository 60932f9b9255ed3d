#pragma once
// The items and their timed effects: the Potion heals at once, Protein raises
// attack and Buckler defence by 5 for 11 ticks. Up to three effects run at
// once, each holding one status-panel row. These routines change the records
// and the counters and tell what they did; showing it is the caller's part.

#include <optional>
#include <vector>

#include "rules/state.h"

namespace rpg {

inline constexpr i16 effect_boost = 5;
inline constexpr i16 effect_start_counter = 11;
inline constexpr int max_active_effects = 3;
inline constexpr int potion_heal = 20;

enum class EffectKind { protein, buckler };

// Takes the first free slot of the kind and the first free row, and raises
// the stat. The row taken, or nothing when no slot or no row is free (the
// item command never lets that happen).
std::optional<u16> start_effect(BattleState& state, HeroStatus& hero, EffectKind kind);
// Ends the first run-out effect of the kind: the boost goes and the slot and
// its row are freed. The row it held, or nothing when none had run out.
std::optional<u16> end_effect(BattleState& state, HeroStatus& hero, EffectKind kind);

// One running effect counted down in a tick pass: its row, its new counter,
// and, when it ran out, the row of the effect that ended with it.
struct EffectTick {
    EffectKind kind;
    u16 row;
    i16 counter;
    std::optional<u16> ended_row;
};

// Counts every running effect down by one and ends those that run out,
// Protein slots first (2 down to 0), then Buckler slots; the ticks in that order.
std::vector<EffectTick> tick_pass(BattleState& state, HeroStatus& hero);
// The Protein half of a tick pass alone.
std::vector<EffectTick> protein_tick(BattleState& state, HeroStatus& hero);

// What using an item did.
struct ItemUse {
    i16 hp_before = 0;
    i16 healed = 0;                 // the Potion: the points restored
    std::optional<u16> effect_row;  // Protein and Buckler: the row of the new effect
};

// Uses one item of the hero's stock (an ItemIndex): the use is counted, one
// is taken from the stock, and the Potion heals up to 20 points but never
// above the maximum, while Protein and Buckler start their effect. Any other
// index only counts the use.
ItemUse apply_item(BattleState& state, HeroStatus& hero, int item);

}  // namespace rpg
