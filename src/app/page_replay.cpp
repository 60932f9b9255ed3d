// What the page's replay buttons and seek bar hand to the replay that runs,
// and what they show of it: the requests go in as the keys would
// (recording/replay_controls.h), and the status comes back as one line.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "recording/replay_controls.h"

// `command`: a ReplayCommand by its number (the page lists them in that
// order); `ms`: for to_time, the moment of the recorded run. Others are
// ignored. A paused replay waits for a key: the page sends one after this.
extern "C" EMSCRIPTEN_KEEPALIVE void rpg_replay_request(int command, double ms) {
    if (command <= static_cast<int>(rpg::ReplayCommand::none) ||
        command > static_cast<int>(rpg::ReplayCommand::to_time)) {
        return;
    }
    rpg::submit_replay_request(
        rpg::ReplayRequest{static_cast<rpg::ReplayCommand>(command), ms > 0 ? static_cast<std::int64_t>(ms) : 0});
}

// "paused speed key keys turn-word turn time-ms whole-ms", paused 1 or 0,
// e.g. "0 2x 5 40 turn 3 1234 37848".
extern "C" EMSCRIPTEN_KEEPALIVE const char* rpg_replay_status() {
    static std::string line;
    const rpg::ReplayStatus& s = rpg::current_replay_status();
    line = std::string(s.paused ? "1 " : "0 ") + (s.speed.empty() ? "1x" : s.speed) + ' ' + std::to_string(s.key) +
           ' ' + std::to_string(s.keys) + ' ' + s.turn_word + ' ' + std::to_string(s.turn) + ' ' +
           std::to_string(s.time_ms) + ' ' + std::to_string(s.whole_ms);
    return line.c_str();
}
