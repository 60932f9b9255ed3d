#pragma once
// The counters a battle keeps while it runs, at their values when a battle
// starts. The menus' selections are not among them: they belong to the
// battle's control.

#include <array>

#include "data/records.h"

namespace rpg {

// A running Protein or Buckler effect. A counter of -1 marks a free slot.
struct EffectSlot {
    i16 counter = -1;
    u16 row = 0;  // the status-panel effect row (0 to 2) showing its marker
};

struct BattleState {
    i16 enemies_left = 3;
    i16 enemies_defeated = 0;
    std::array<i16, 7> defeated{};  // 1 where the enemy has fallen; see defeated_flag()
    i16 turn_count = 0;
    i16 items_used = 0;
    i16 active_effects = 0;
    std::array<EffectSlot, 3> protein{};
    std::array<EffectSlot, 3> buckler{};
    std::array<i16, 3> effect_rows{};  // 1 marks a status-panel row in use
    HeroStatus hero_before;            // the hero as it was when the battle was won
    u16 exp_gained = 0;                // the experience the won battle gave

    // The number of enemies the battle began with.
    int enemy_total() const { return enemies_left + enemies_defeated; }
};

// Formation positions count from 1, as the player sees them; this is the one
// place a position becomes an index of `defeated`. Outside 1 to 7 it throws
// std::out_of_range.
inline i16& defeated_flag(BattleState& state, int position) {
    return state.defeated.at(static_cast<std::size_t>(position - 1));
}
inline bool stands(const BattleState& state, int position) {
    return state.defeated.at(static_cast<std::size_t>(position - 1)) == 0;
}

}  // namespace rpg
