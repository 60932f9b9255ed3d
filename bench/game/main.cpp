// The game's benchmark: pacing of the animations, CPU use while waiting, key
// latency and output volume of the real programs on a pseudo-terminal, and
// the speed of a whole battle on the memory console. Prints one table.
//
//   bench_game            measure and print the table (exit status 0)
//   bench_game --check    the same, but exit with 1 when a target is missed
//   bench_game --only W   only the runs whose name holds W (battle, field,
//                         level-up, missing-file, headless), for a quick look
//
// Each run's timings go to standard error as it goes; BENCH_DEBUG=1 adds the
// slow keys, the over-budget writes and the gaps of the item list.
//
// The programs run with a small preloaded library that notes, in a shared
// file, each write they send to the terminal and when it began: every time
// below is the program's own, not when the benchmark got round to reading.
//
// Every figure is a ratio or a rate taken within one run, so that a busy
// machine moves it little: a pause sequence is timed against the sum of its
// own pauses, CPU time against the wall time of the same stretch. Sequences
// are timed in several runs and the median is shown, so that one stall of
// the machine does not decide a figure; a run that lost time while other
// programs held the CPU, at least as much as it lost, is left out of it.

#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "measure.h"
#include "report.h"
#include "runs.h"

namespace bench {
namespace {

// How often each pause sequence is timed.
constexpr int level_up_runs = 5;
constexpr int field_runs = 3;

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    using namespace bench;
    if (argc == 2 && std::strcmp(argv[1], "--echo") == 0) return run_echo();
    bool check = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--check] [--only WORD]\n", argv[0]);
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    // The programs time their own writes, so the benchmark need not be
    // quick to read them; it steps back so as not to take a CPU from them.
    // They run at the ordinary priority where the system allows it.
    setpriority(PRIO_PROCESS, 0, 5);

    const std::time_t started = std::time(nullptr);
    std::vector<std::pair<std::string, std::function<void()>>> runs = {
        {"battle: start-up, command menu, item list", battle_menu_run},
        {"battle: missing-file notice", missing_file_run},
    };
    for (int i = 0; i < field_runs; ++i) {
        runs.emplace_back(i == 0 ? "field: wipe, idle loop, hero steps" : "field: wipe", [i] { field_run(i == 0); });
    }
    for (int i = 0; i < level_up_runs; ++i) runs.emplace_back("battle: won with a level-up", level_up_run);
    runs.emplace_back("headless battles", headless_run);
    runs.emplace_back("replay seeks", seek_run);
    for (const auto& [name, run] : runs) {
        if (!only.empty() && name.find(only) == std::string::npos) continue;
        std::fprintf(stderr, "bench: %s\n", name.c_str());
        try {
            run();
        } catch (const std::exception& e) {
            missing(Section::output, name, e.what(), "");
        }
    }
    sequence_rows();
    if (unlogged_bytes > 0) {
        add(Section::output, "output: bytes not sent with write()", format("%zu bytes", unlogged_bytes),
            "0 (the write log places every write)", false);
    }

    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&started));
    std::printf("Benchmark of battle and field, %s (80x24 pseudo-terminal, TERM=xterm-256color)\n\n", date);
    print_table();
    const bool met = all_pass();
    std::printf("\n%s\n", met ? "Every target met." : "Some targets were missed or not measured.");
    return check && !met ? 1 : 0;
}
