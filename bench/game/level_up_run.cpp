// A battle won at once with a level-up: the pawns have 1 HP and no speed,
// the hero hits hard. The last blow starts one unbroken stream of messages,
// the level-up screen and the ending.

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "measure.h"
#include "platform/encoding.h"
#include "report.h"
#include "runs.h"
#include "support/scenario.h"

namespace bench {
namespace {

constexpr int typing_ms = 50;

// The number after the "+" of a level-up table row.
bool gain_in_row(const std::string& row, int& gain) {
    const std::size_t plus = row.find('+');
    if (plus == std::string::npos) return false;
    char* end = nullptr;
    const long value = std::strtol(row.c_str() + plus + 1, &end, 10);
    if (end == row.c_str() + plus + 1) return false;
    gain = static_cast<int>(value);
    return true;
}

}  // namespace

void level_up_run() {
    using namespace rpg::test;
    const Scenario folder;
    folder.set_number(pawn_file, enemy::max_hp, 1);
    folder.set_number(pawn_file, enemy::speed, 0);
    folder.set_number(hero_file, hero::attack, 60);
    WatchedProgram game(folder.battle());
    StartUp start;
    if (!watch_battle_start(game, start)) {
        missing(Section::pacing, "pacing: battle start-up", "the command menu did not appear", "1.00 to 1.02");
        return;
    }

    // Enter until the third pawn falls (fight, the target, the skill): the
    // message "戦闘に勝ちました。" then pushes "相手を倒しました。" down a row.
    const std::string won = "戦闘に勝ちました。";
    bool last_blow = false;
    for (int i = 0; i < 30 && !last_blow; ++i) {
        game.send(key_enter);
        last_blow = game.wait_for([&] { return game.row_has(14, "相手を倒しました。"); }, 400, 20000);
    }
    if (!last_blow) {
        missing(Section::pacing, "pacing: message typed", "the battle was not won", "1.00 to 1.02");
        return;
    }

    // One message, typed one byte per 50 ms pause. Both ends are taken where
    // a pause has just ended, so that the work before a write weighs on both:
    // from the write after its first pause (its first character whole) to the
    // scroll that makes room for the next message, after its last pause.
    const int message_pauses = static_cast<int>(rpg::sjis(won).size());
    const std::string message = format("message typed (%d bytes, %d ms)", message_pauses, message_pauses * typing_ms);
    std::size_t message_start = 0;
    std::size_t message_end = 0;
    bool typed = game.wait_for([&] { return game.row_has(13, "戦"); }, 1000, 5000, &message_start);
    const Sample message_begins = game.sample();
    typed = typed && game.wait_for([&] { return game.row_has(14, won); }, 1000, 5000, &message_end);
    const Sample message_ends = game.sample();
    if (!typed) {
        missing(Section::pacing, "pacing: " + message, "the message was not typed", "1.00 to 1.02");
        return;
    }
    time_sequence(message, game, message_start, message_end, repeated(message_pauses - 1, typing_ms), message_begins,
                  message_ends, typing_ms);
    count_writes(message, static_cast<std::int64_t>(message_end - message_start), message_pauses - 1);

    // The level-up screen: from the second label, the write after the first
    // label's pause, to the first write of the closing message.
    std::size_t level_start = 0;
    std::size_t level_end = 0;
    const std::string announced = "主人公がレベルアップしました。";
    bool shown = game.wait_for([&] { return game.row_has(3, "体力"); }, 2000, 10000, &level_start);
    const Sample level_begins = game.sample();
    shown = shown && game.wait_for([&] { return !game.row_has(13, announced); }, 2000, 20000, &level_end);
    const Sample level_ends = game.sample();
    if (!shown) {
        missing(Section::pacing, "pacing: level-up screen", "the level-up screen did not run its course",
                "1.00 to 1.02");
        return;
    }
    // The pauses follow from the gains the table shows: the labels 8 x 50 ms;
    // every gain n of the seven stats slides 0..n in, 21 frames of 1 ms
    // each; the experience counts 0..gain in 1 ms steps; the eight new values
    // rise 8 + 7 + ... + 1 rows of 5 ms. The first label's pause comes before
    // the first write timed.
    std::vector<double> pauses = repeated(7, 50);
    for (int row = 2; row <= 9; ++row) {
        int gain = 0;
        if (!gain_in_row(game.row(row), gain)) {
            missing(Section::pacing, "pacing: level-up screen", "the gains could not be read", "1.00 to 1.02");
            return;
        }
        const int counted = std::max(0, gain + 1);
        const std::vector<double> frames = repeated(row < 9 ? counted * 21 : counted, 1);
        pauses.insert(pauses.end(), frames.begin(), frames.end());
    }
    const std::vector<double> rising = repeated(36, 5);
    pauses.insert(pauses.end(), rising.begin(), rising.end());
    time_sequence("level-up screen", game, level_start, level_end, pauses, level_begins, level_ends, 50);
    count_writes("level-up screen", static_cast<std::int64_t>(level_end - level_start),
                 static_cast<int>(pauses.size()));

    // The closing message, then a key ends the program.
    game.wait_quiet(400, 10000);
    unlogged_bytes += game.unlogged_bytes();
    game.send(key_enter);
    Ending ending;
    if (!game.wait_exit(3000, ending)) ending = game.finish(SIGTERM);
    if (!(WIFEXITED(ending.status) && WEXITSTATUS(ending.status) == 0)) {
        add(Section::output, "battle ends after the level-up", ending.describe(), "exit 0", false);
    }
}

}  // namespace bench
