#pragma once
// What the battle scenarios share: the texts they wait for and the wait for
// the finished start-up screen.

#include "harness/game_process.h"
#include "harness/scenario.h"
#include "harness/screen_checks.h"

namespace e2e {

inline constexpr const char* closing_prompt = "このまま終了するには何かを入力してください...";
inline constexpr const char* target_heading = "＜　対　象　の　選　択　＞";

// The start-up screen is complete, its last piece (the third effect marker)
// drawn, and the command menu waits for a key.
inline bool wait_for_command_menu(GameProcess& game, double seconds = 30) {
    return game.wait_until_quiet(
        [&] { return has(game, 4, 18, "+") && has(game, 7, 14, "HP : ") && has(game, 5, 10, "にげる"); }, seconds);
}

}  // namespace e2e
