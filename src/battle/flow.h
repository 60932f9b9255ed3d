#pragma once
// The control of the battle program: start-up, the command loop and its
// turns, target selection, the item and ability commands, the attacks, and
// the ending. Each step asks the rules for the change, then has the screen
// show it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "battle/battle.h"
#include "rules/effects.h"

namespace rpg {

// Sets up the encounter once the records are loaded, seeding the generator.
void set_up_encounter(Battle& b, std::uint32_t seed);
// Draws the whole battle screen as the program starts.
void draw_battle_screen(Battle& b);
// Announces the outcome, waits for one key.
void show_ending(Battle& b, Outcome outcome);

Outcome command_loop(Battle& b);
Outcome enemy_phase(Battle& b);
// The rest of a turn once the hero has acted and the turn is counted: a tick
// pass, the enemy phase and a second tick pass. `after_first_tick`, when
// given, runs between the first tick pass and the enemy phase.
Outcome finish_turn(Battle& b, void (*after_first_tick)(Battle&) = nullptr);

Outcome target_selection(Battle& b);
// Move the selection to the standing enemy above or below; false when there is none.
bool move_target_up(Battle& b);
bool move_target_down(Battle& b);
Outcome item_command(Battle& b);
Outcome ability_command(Battle& b);
Outcome hero_attack(Battle& b);
Outcome enemy_attack(Battle& b);

// Uses one item (an ItemIndex) once the item command has accepted it: the
// message window is cleared, the rules apply the item, the screen shows it,
// and the player acknowledges the message.
void use_item(Battle& b, int item);
// Shows what a tick pass did, in its order: each bar redrawn, and for each
// effect that ended its marker blanked, its message and a wait for the player.
void show_ticks(Battle& b, const std::vector<EffectTick>& ticks);
// A whole tick pass, and its Protein half, with what they show.
void run_tick_pass(Battle& b);
void run_protein_tick(Battle& b);

// The whole battle once the records are loaded: the encounter with the
// generator seeded with `seed`, the battle screen, the command loop and the
// closing screen. Returns the exit status, 0.
int play_battle(Battle& b, std::uint32_t seed);

}  // namespace rpg
