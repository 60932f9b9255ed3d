// Battle with the bundled data: start-up, the wait at the command menu, the
// menu's key latency, the item list.

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "measure.h"
#include "report.h"
#include "runs.h"
#include "support/scenario.h"

namespace bench {
namespace {

// The item list: the heading (8 frames), the name banner (10) and the three
// entries sliding down (7 + 5 + 3), all of 1 ms.
constexpr int item_list_pauses = 8 + 10 + 15;
constexpr int item_list_openings = 5;
constexpr int menu_keys = 300;

}  // namespace

void battle_menu_run() {
    const rpg::test::Scenario folder;
    WatchedProgram game(folder.battle());
    StartUp start;
    if (!watch_battle_start(game, start)) {
        missing(Section::pacing, "pacing: battle start-up", "the command menu did not appear", "1.00 to 1.02");
        return;
    }
    {
        const std::vector<Update>& updates = game.updates();
        std::size_t bytes = 0;
        for (const Update& u : updates) bytes += u.bytes;
        std::string measured = format("%zu bytes in %zu writes", bytes, updates.size());
        if (start.first_frame > 0) measured += format(" (%zu before the first frame)", start.first_frame);
        add(Section::output, "output: whole start-up screen", measured, "(for information)", true);
        // Every frame after the first, which draws on a freshly cleared screen.
        bytes_row(
            "bytes per frame: start-up animation",
            std::vector<Update>(updates.begin() + static_cast<std::ptrdiff_t>(start.first_frame) + 1, updates.end()),
            &game);
    }

    // Waiting at the command menu.
    {
        const Sample before = game.sample();
        const std::size_t writes_before = game.updates().size();
        game.idle(idle_ms);
        const Sample after = game.sample();
        cpu_row("idle CPU: battle at the command menu", before, after, 1);
        if (game.updates().size() != writes_before) {
            add(Section::output, "output: battle waiting at the command menu",
                format("%zu writes while waiting", game.updates().size() - writes_before), "none", false);
        }
    }

    // Key latency: down and up in turn, so that the highlight moves every
    // time. A bare echo on a terminal of its own takes a key between two of
    // the game's, showing what the machine itself adds at that moment.
    {
        Launch echo_launch;
        echo_launch.program = std::filesystem::read_symlink("/proc/self/exe");
        echo_launch.arguments = {"--echo"};
        echo_launch.folder = folder.path();
        WatchedProgram echo(echo_launch);
        echo.wait_for([&] { return echo.updates().size() > 0; }, -1, 5000);  // echo is ready
        std::vector<double> echo_latencies;
        std::vector<std::size_t> echo_answers;
        std::vector<std::string> keys;
        for (int i = 0; i < menu_keys; ++i) keys.push_back(i % 2 == 0 ? key_down : key_up);
        const Sample before = game.sample();
        const std::size_t writes_before = game.updates().size();
        std::vector<std::size_t> answers;
        std::vector<double> own;
        std::vector<double> latencies = key_latencies(
            game, keys, 3, 3, answers,
            [&] {
                std::vector<double> one = key_latencies(echo, {"x"}, 0, 0, echo_answers);
                echo_latencies.insert(echo_latencies.end(), one.begin(), one.end());
            },
            &own);
        const Sample after = game.sample();
        std::sort(echo_latencies.begin(), echo_latencies.end());
        latency_row("key latency: command menu, down/up", latencies, menu_keys, latency_rounds, 1.0, "p99 < 1 ms",
                    format("; a bare echo meanwhile: p99 %.3f", percentile(echo_latencies, 99)));
        latency_row("  the same, less waits for a busy CPU", own, menu_keys, latency_rounds, 1.0, "p99 < 1 ms");
        add(Section::latency, "CPU per key: command menu, down/up",
            format("%.3f ms", ms(after.cpu_ns - before.cpu_ns) / menu_keys), "(for information)", true);
        count_writes("command menu key (no pause)", static_cast<std::int64_t>(game.updates().size() - writes_before),
                     menu_keys);
        bytes_row("bytes per redraw: command menu highlight", updates_at(game, answers));
    }

    // The item list opening, several times: Enter on "アイテム", then space
    // closes it again.
    game.send(key_down);
    game.wait_quiet(100, 2000);
    game.send(key_down);
    game.wait_quiet(100, 2000);
    const std::string name = format("item list opening (%d ms)", item_list_pauses);
    for (int n = 0; n < item_list_openings; ++n) {
        const std::size_t first = game.updates().size();
        const Sample before = game.sample();
        game.send(key_enter);
        game.wait_quiet(300, 5000);
        const Sample after = game.sample();
        if (game.updates().size() == first || !game.shows_anywhere("ポーション")) {
            missing(Section::pacing, "pacing: " + name, "the item list did not open", "1.00 to 1.02");
            break;
        }
        // The last pause is followed by the title and the count line, so
        // every pause lies between the first and the last write.
        time_sequence(name, game, first, game.updates().size() - 1, repeated(item_list_pauses, 1), before, after);
        if (std::getenv("BENCH_DEBUG")) {
            for (std::size_t i = first + 1; i < game.updates().size(); ++i) {
                std::fprintf(stderr, "%.2f ", ms(game.updates()[i].at_ns - game.updates()[i - 1].at_ns));
            }
            std::fprintf(stderr, "\n");
        }
        count_writes(name, static_cast<std::int64_t>(game.updates().size() - first), item_list_pauses + 1);
        game.send(key_space);
        game.wait_quiet(200, 2000);
    }
    end_run(game);
}

// The bare echo the key latency is compared with: every byte typed goes
// straight back, in one write.
int run_echo() {
    termios modes{};
    if (tcgetattr(STDIN_FILENO, &modes) != 0) return 1;
    cfmakeraw(&modes);
    tcsetattr(STDIN_FILENO, TCSANOW, &modes);
    if (write(STDOUT_FILENO, ">", 1) != 1) return 1;  // ready
    char bytes[64];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, bytes, sizeof bytes);
        if (got <= 0) return 0;
        if (write(STDOUT_FILENO, bytes, static_cast<std::size_t>(got)) != got) return 1;
    }
}

}  // namespace bench
