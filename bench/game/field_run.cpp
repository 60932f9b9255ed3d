// Field with the bundled data: the wipe, the idle loop, hero steps.

#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/loaders.h"
#include "field/field.h"
#include "measure.h"
#include "platform/memory/memory_console.h"
#include "report.h"
#include "runs.h"
#include "support/scenario.h"

namespace bench {
namespace {

// The field's opening: two wipes of 19 frames of 30 ms.
constexpr int wipe_pauses = 2 * 19;
constexpr int field_pass_ms = 10;
constexpr int field_keys = 300;

// Two opposite steps the hero can take from where it starts, as one-code keys
// (the capital letters the game takes for arrows) and as arrow keys.
struct StepPair {
    std::string there, back;
    std::string arrow_there, arrow_back;
};

bool find_step_pair(StepPair& pair) {
    rpg::MemoryConsole console;
    rpg::Field field(console);
    std::string error;
    if (rpg::load_game_data(field.records, rpg::test::assets_folder(), error) != rpg::LoadResult::ok) return false;
    if (!rpg::load_map(field, std::filesystem::path(rpg::test::assets_folder()) / rpg::test::map_file)) return false;
    const int x = field.hero().map_x;
    const int y = field.hero().map_y;
    struct Option {
        int code, back_code, dx, dy;
        const char *letter, *back_letter, *arrow, *back_arrow;
    };
    const Option options[] = {
        {rpg::key_down, rpg::key_up, 0, 1, "P", "H", key_down, key_up},
        {rpg::key_up, rpg::key_down, 0, -1, "H", "P", key_up, key_down},
        {rpg::key_right, rpg::key_left, 2, 0, "M", "K", "\x1b[C", "\x1b[D"},
        {rpg::key_left, rpg::key_right, -2, 0, "K", "M", "\x1b[D", "\x1b[C"},
    };
    for (const Option& o : options) {
        if (rpg::can_move(field, o.code, x, y) && rpg::can_move(field, o.back_code, x + o.dx, y + o.dy)) {
            pair = StepPair{o.letter, o.back_letter, o.arrow, o.back_arrow};
            return true;
        }
    }
    return false;
}

}  // namespace

void field_run(bool whole) {
    const rpg::test::Scenario folder;
    WatchedProgram game(folder.field());

    // The wipe: from its first frame to the map, which follows its last pause.
    std::size_t first_frame = 0;
    std::size_t map_write = 0;
    if (!game.wait_for([&] { return game.row_has(0, "■"); }, -1, 10000, &first_frame)) {
        missing(Section::pacing, "pacing: field wipe", "the wipe did not appear", "1.00 to 1.02");
        return;
    }
    const Sample before = game.sample();
    if (!game.wait_for([&] { return game.shows_anywhere("●"); }, -1, 10000, &map_write)) {
        missing(Section::pacing, "pacing: field wipe", "the map did not appear", "1.00 to 1.02");
        return;
    }
    const Sample after = game.sample();
    time_sequence("field wipe (1140 ms)", game, first_frame, map_write, repeated(wipe_pauses, 30), before, after);
    count_writes("field wipe (1140 ms)", static_cast<std::int64_t>(map_write - first_frame + 1), wipe_pauses + 1);
    if (!whole) {
        end_run(game);
        return;
    }

    // No key pressed: the loop polls and sleeps 10 ms.
    {
        game.idle(300);
        const Sample idle_before = game.sample();
        const std::size_t writes_before = game.updates().size();
        game.idle(idle_ms);
        const Sample idle_after = game.sample();
        cpu_row("idle CPU: field, no key pressed", idle_before, idle_after, 2);
        const double passes = ms(idle_after.at_ns - idle_before.at_ns) / field_pass_ms;
        const auto writes = static_cast<long long>(game.updates().size() - writes_before);
        add(Section::output, "output: field loop, no key pressed", format("%lld writes in %.0f passes", writes, passes),
            "0 writes", writes == 0);
    }

    StepPair pair;
    if (!find_step_pair(pair)) {
        missing(Section::latency, "key latency: field hero step", "the hero has no room to step", "one loop pass");
        end_run(game);
        return;
    }
    // A key of one code (a capital letter the game takes for an arrow) is
    // handled in one pass of the loop; an arrow key is two codes and takes two.
    {
        std::vector<std::string> keys;
        for (int i = 0; i < field_keys; ++i) keys.push_back(i % 2 == 0 ? pair.there : pair.back);
        std::vector<std::size_t> answers;
        std::vector<double> own;
        std::vector<double> latencies = key_latencies(game, keys, 2, field_pass_ms, answers, {}, &own);
        latency_row("key latency: field step, one-code key", latencies, field_keys, latency_rounds, field_pass_ms + 1.0,
                    "p99 < 11 ms (one 10 ms pass)");
        latency_row("  the same, less waits for a busy CPU", own, field_keys, latency_rounds, field_pass_ms + 1.0,
                    "p99 < 11 ms (one 10 ms pass)");
        bytes_row("bytes per redraw: field hero step", updates_at(game, answers));
    }
    {
        std::vector<std::string> keys;
        for (int i = 0; i < field_keys; ++i) keys.push_back(i % 2 == 0 ? pair.arrow_there : pair.arrow_back);
        std::vector<std::size_t> answers;
        std::vector<double> own;
        std::vector<double> latencies = key_latencies(game, keys, 2, field_pass_ms, answers, {}, &own);
        latency_row("key latency: field step, arrow key", latencies, field_keys, latency_rounds,
                    2 * field_pass_ms + 1.0, "p99 < 21 ms (two passes, 2 codes)");
        latency_row("  the same, less waits for a busy CPU", own, field_keys, latency_rounds, 2 * field_pass_ms + 1.0,
                    "p99 < 21 ms (two passes, 2 codes)");
    }
    end_run(game);
}

}  // namespace bench
