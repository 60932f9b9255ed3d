#pragma once
// The control of the battle program: start-up, the command loop and its
// turns, target selection, the item and ability commands, the attacks, and
// the ending.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "screen/battle.h"

namespace rpg {

// Outcome codes passed up through the battle flow.
inline constexpr i16 outcome_none = 0;    // nothing decided; from the command loop: escaped
inline constexpr i16 outcome_back = 1;    // back to target selection
inline constexpr i16 outcome_felled = 2;  // an enemy fell and others stand
inline constexpr i16 outcome_won = 3;
inline constexpr i16 outcome_lost = 4;

// Sets up the encounter once the records are loaded, seeding the generator.
void set_up_encounter(Battle& b, std::uint32_t seed);
// Draws the whole battle screen as the program starts.
void draw_battle_screen(Battle& b);
// Announces the outcome, waits for one key.
void show_ending(Battle& b, i16 outcome);

i16 command_loop(Battle& b);
i16 enemy_phase(Battle& b);
i16 target_selection(Battle& b);
int move_target_up(Battle& b);
int move_target_down(Battle& b);
i16 item_command(Battle& b);
i16 ability_command(Battle& b);
i16 hero_attack(Battle& b);
i16 enemy_attack(Battle& b);

// The whole program after the terminal is ready: load, play, end. Returns the
// exit status; a data file the game cannot use is described in `error`. The
// generator is seeded with `seed` when given, else with the clock.
int run_battle_program(Battle& b, const std::filesystem::path& folder, std::string& error,
                       std::optional<std::uint32_t> seed = std::nullopt);

}  // namespace rpg
