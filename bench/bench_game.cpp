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
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "battle/flow.h"
#include "data/loaders.h"
#include "field/field.h"
#include "platform/encoding.h"
#include "platform/memory_console.h"
#include "support/pty_program.h"

namespace {

using bench::DataFolder;
using bench::PtyProgram;
using bench::Sample;
using bench::Update;

const char* const battle_program = RPG_BATTLE_PROGRAM;
const char* const field_program = RPG_FIELD_PROGRAM;
const char* const assets_dir = RPG_ASSETS_DIR;
const char* const write_log_library = RPG_WRITE_LOG_LIBRARY;

std::filesystem::path self_program() { return std::filesystem::read_symlink("/proc/self/exe"); }

// Keys as the terminal sends them.
constexpr const char* key_down = "\x1b[B";
constexpr const char* key_up = "\x1b[A";
constexpr const char* key_enter = "\r";
constexpr const char* key_space = " ";

// Value positions in the data files.
constexpr int hero_attack = 2;
constexpr int pawn_max_hp = 5;
constexpr int pawn_speed = 10;

// The pauses of the battle's start-up: the command window's 100 frames of
// 1 ms, 4 labels of 100 ms, 18 HP-bar cells of 30 ms, 3 effect markers of 10 ms.
constexpr int startup_pauses = 100 + 4 + 18 + 3;
// The item list: the heading (8 frames), the name banner (10) and the three
// entries sliding down (7 + 5 + 3), all of 1 ms.
constexpr int item_list_pauses = 8 + 10 + 15;
// The field's opening: two wipes of 19 frames of 30 ms.
constexpr int wipe_pauses = 2 * 19;
constexpr int typing_ms = 50;
constexpr int field_pass_ms = 10;

// How often each pause sequence is timed, and for how long the waits are watched.
constexpr int level_up_runs = 5;
constexpr int field_runs = 3;
constexpr int item_list_openings = 5;
constexpr int idle_ms = 4000;
constexpr int menu_keys = 300;
constexpr int field_keys = 300;
constexpr int latency_rounds = 3;

// Both ends of a timed sequence are writes timed by the program itself just
// after it wakes from a pause; either wake-up can be late by up to this much
// (more on a busy machine), so a sequence counts as too short only when it
// is shorter than its pauses by more than this. A skipped pause (1 ms at
// the least) still shows.
constexpr double endpoint_resolution_ms = 0.5;
constexpr double shortest_pause_ms = 1.0;
// A pause that runs over by this much is not made up by the game's pause
// clock: the time is lost.
constexpr double stall_ms = 5.0;

// ---------------------------------------------------------------------------
// The table.

enum class Section { pacing, idle, latency, output, headless };

struct Row {
    Section section;
    std::string figure;
    std::string measured;
    std::string target;
    bool known = true;  // false: the figure could not be taken
    bool pass = true;
};

std::vector<Row> table;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

void add(Section section, std::string figure, std::string measured, std::string target, bool pass) {
    table.push_back(Row{section, std::move(figure), std::move(measured), std::move(target), true, pass});
}

void missing(Section section, std::string figure, std::string why, std::string target) {
    table.push_back(Row{section, std::move(figure), "not measured: " + why, std::move(target), false, false});
}

// Columns a UTF-8 text takes in a terminal: the game's full-width text two,
// everything else here one.
int columns_of(const std::string& text) {
    int columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        columns += length == 3 ? 2 : 1;
        i += static_cast<std::size_t>(length);
    }
    return columns;
}

std::string pad(const std::string& text, int width) {
    return text + std::string(static_cast<std::size_t>(std::max(0, width - columns_of(text))), ' ');
}

void print_table() {
    int widths[3] = {6, 8, 6};
    for (const Row& row : table) {
        widths[0] = std::max(widths[0], columns_of(row.figure));
        widths[1] = std::max(widths[1], columns_of(row.measured));
        widths[2] = std::max(widths[2], columns_of(row.target));
    }
    auto line = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
        std::printf("%s  %s  %s  %s\n", pad(a, widths[0]).c_str(), pad(b, widths[1]).c_str(), pad(c, widths[2]).c_str(),
                    d.c_str());
    };
    auto rule = [](int width) { return std::string(static_cast<std::size_t>(width), '-'); };
    line("Figure", "Measured", "Target", "Result");
    line(rule(widths[0]), rule(widths[1]), rule(widths[2]), "------");
    for (Section section : {Section::pacing, Section::idle, Section::latency, Section::output, Section::headless}) {
        for (const Row& row : table) {
            if (row.section != section) continue;
            line(row.figure, row.measured, row.target, row.known ? (row.pass ? "pass" : "MISS") : "n/a");
        }
    }
}

// ---------------------------------------------------------------------------
// Pause sequences, timed in several runs.

struct Timing {
    double wall_ms;
    double nominal_ms;
    double waited_ms;      // the program's waits for a busy CPU meanwhile
    double stall_ms;       // the most one pause ran over its length
    double late_start_ms;  // how late the first write came after the pause before it
};

struct Sequence {
    std::string name;
    std::vector<Timing> timings;
    long long writes = 0;
    long long updates = 0;
    double worst_writes_per_update = 0;
};

std::vector<Sequence> sequences;

Sequence& sequence(const std::string& name) {
    for (Sequence& s : sequences) {
        if (s.name == name) return s;
    }
    sequences.push_back(Sequence{name, {}, 0, 0, 0});
    return sequences.back();
}

double ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }

// The time from the write that opens a sequence (index `first`) to the one
// that closes it (`last`), against the nominal `pauses` between them, one
// between each two writes. `before` and `after` are samples of the program
// around the sequence. When a pause of `lead_pause` ms comes before the
// first write, a late first write (which makes the sequence look short) shows.
void time_sequence(const std::string& name, const PtyProgram& game, std::size_t first, std::size_t last,
                   const std::vector<double>& pauses, const Sample& before, const Sample& after,
                   double lead_pause = 0) {
    const std::vector<Update>& writes = game.updates();
    const double wall = ms(writes[last].at_ns - writes[first].at_ns);
    double nominal = 0;
    for (double p : pauses) nominal += p;
    // With one write per pause, each gap between writes is one pause: the
    // most one ran over shows a stall of the machine in the middle.
    double stall = 0;
    if (last - first == pauses.size()) {
        for (std::size_t k = 0; k < pauses.size(); ++k) {
            const double over = ms(writes[first + k + 1].at_ns - writes[first + k].at_ns) - pauses[k];
            stall = std::max(stall, over);
            if (std::getenv("BENCH_DEBUG") && over > 2.0) {
                std::fprintf(stderr, "    write %zu of %zu: a %.0f ms pause ran %.2f ms over\n", k + 1, pauses.size(),
                             pauses[k], over);
            }
        }
    }
    double late_start = 0;
    if (lead_pause > 0 && first > 0) late_start = ms(writes[first].at_ns - writes[first - 1].at_ns) - lead_pause;
    const double waited = ms(after.wait_ns - before.wait_ns);
    sequence(name).timings.push_back(Timing{wall, nominal, waited, stall, late_start});
    std::fprintf(stderr,
                 "  %s: %.2f ms for %.0f ms of pauses (%.4f); %.2f ms waiting for a CPU; longest overrun %.2f ms;"
                 " %zu pauses between %zu writes; first write %.2f ms late\n",
                 name.c_str(), wall, nominal, wall / nominal, waited, stall, pauses.size(), last - first + 1,
                 late_start);
}

std::vector<double> repeated(int count, double ms_each) {
    return std::vector<double>(static_cast<std::size_t>(count), ms_each);
}

// Write calls against screen updates: every pause, and every wait for a key
// that follows a change, is one update.
void count_writes(const std::string& name, std::int64_t writes, int updates) {
    Sequence& s = sequence(name);
    s.writes += writes;
    s.updates += updates;
    s.worst_writes_per_update = std::max(s.worst_writes_per_update, static_cast<double>(writes) / updates);
}

void sequence_rows() {
    for (const Sequence& s : sequences) {
        if (!s.timings.empty()) {
            // A run that lost a frame's worth of time or more while other
            // programs kept this one from a CPU for at least as long, or in
            // which one pause ran over by more than the game's pause clock
            // makes up for (the machine stopped it for a while), tells of the
            // machine, not of the game; so does a run that looks short
            // because its first write came late. Such runs are left out while
            // others remain. A fault of the game's own shows in every run and stays.
            auto disturbed = [](const Timing& t) {
                const double excess = t.wall_ms - t.nominal_ms;
                if (excess < -endpoint_resolution_ms) return t.late_start_ms >= -excess - endpoint_resolution_ms;
                return excess >= shortest_pause_ms && (t.waited_ms >= excess || t.stall_ms >= stall_ms);
            };
            const bool any_calm = !std::all_of(s.timings.begin(), s.timings.end(), disturbed);
            std::vector<double> ratios;
            double nominal = 0;
            for (const Timing& t : s.timings) {
                if (any_calm && disturbed(t)) continue;
                ratios.push_back(t.wall_ms / t.nominal_ms);
                nominal = std::max(nominal, t.nominal_ms);
            }
            const std::size_t left_out = s.timings.size() - ratios.size();
            std::sort(ratios.begin(), ratios.end());
            const std::size_t n = ratios.size();
            const double median = n % 2 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2;
            const double lowest = 1.0 - endpoint_resolution_ms / nominal;
            std::string measured = format("%.4f", median);
            if (n > 1) measured += format(" (median of %zu: %.4f to %.4f)", n, ratios.front(), ratios.back());
            if (left_out > 0) measured += format(", %zu disturbed run%s left out", left_out, left_out > 1 ? "s" : "");
            if (!any_calm) measured += ", every run disturbed";
            add(Section::pacing, "pacing: " + s.name, measured, "1.00 to 1.02", median >= lowest && median <= 1.02);
        }
        if (s.updates > 0) {
            add(Section::output, "writes per pause: " + s.name,
                format("%.2f (%lld writes / %lld)", static_cast<double>(s.writes) / static_cast<double>(s.updates),
                       s.writes, s.updates),
                "<= 1.00", s.worst_writes_per_update <= 1.0);
        }
    }
}

// ---------------------------------------------------------------------------
// Helpers.

// Bytes the programs sent other than with write(), which the write log
// cannot place: none are expected.
std::size_t unlogged_bytes = 0;

void end_run(PtyProgram& program) {
    unlogged_bytes += program.unlogged_bytes();
    program.finish(SIGTERM);
}

// Nearest-rank percentile of a sorted list.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

std::mt19937 jitter(20240611);
int random_ms(int low, int high) { return std::uniform_int_distribution<int>(low, high)(jitter); }

// Output per screen update against what the change needs: its new cells and
// one cursor move and change of look per stretch of changed cells.
void bytes_row(const std::string& figure, const std::vector<Update>& updates, const PtyProgram* program = nullptr) {
    if (updates.empty()) {
        missing(Section::output, figure, "no output seen", "<= 1.00 of budget");
        return;
    }
    std::size_t bytes = 0;
    long cells = 0;
    double worst = 0;
    for (const Update& b : updates) {
        bytes += b.bytes;
        cells += b.changed_cells;
        worst = std::max(worst, static_cast<double>(b.bytes) / static_cast<double>(b.budget));
        if (std::getenv("BENCH_DEBUG") && b.bytes > b.budget) {
            std::fprintf(stderr, "  over budget: %zu bytes, budget %zu, %d cells in %d runs\n", b.bytes, b.budget,
                         b.changed_cells, b.runs);
            if (program) {
                std::string text;
                for (char ch : program->output().substr(b.offset, b.bytes)) {
                    text += ch == '\x1b' ? std::string("\\e") : std::string(1, ch);
                }
                std::fprintf(stderr, "    %s\n", text.c_str());
            }
        }
    }
    const double n = static_cast<double>(updates.size());
    add(Section::output, figure,
        format("%.0f B for %.0f changed cells; worst %.2f of budget", static_cast<double>(bytes) / n,
               static_cast<double>(cells) / n, worst),
        "<= 1.00 of budget", worst <= 1.0);
}

void cpu_row(const std::string& figure, const Sample& before, const Sample& after, double target_percent) {
    if (before.cpu_ns <= 0 && after.cpu_ns <= 0) {
        missing(Section::idle, figure, "no CPU time readable", format("< %.0f%%", target_percent));
        return;
    }
    const double wall = ms(after.at_ns - before.at_ns);
    const double cpu = ms(after.cpu_ns - before.cpu_ns);
    const double percent = 100.0 * cpu / wall;
    add(Section::idle, figure, format("%.3f%% (%.1f ms CPU in %.0f ms)", percent, cpu, wall),
        format("< %.0f%%", target_percent), percent < target_percent);
}

// Key latencies in the order the keys were sent, taken in `rounds` runs of
// keys one after the other: the figure is the median of the rounds' 99th
// percentiles, so that one spell of a stalled machine does not decide it.
void latency_row(const std::string& figure, const std::vector<double>& values, int wanted, int rounds,
                 double target_p99_ms, const std::string& target, const std::string& note = {}) {
    if (values.empty()) {
        missing(Section::latency, figure, "no redraw answered a key", target);
        return;
    }
    if (std::getenv("BENCH_DEBUG")) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i] > target_p99_ms) std::fprintf(stderr, "  key %zu: %.3f ms\n", i, values[i]);
        }
    }
    std::vector<double> round_p99;
    const std::size_t per_round =
        (values.size() + static_cast<std::size_t>(rounds) - 1) / static_cast<std::size_t>(rounds);
    for (std::size_t from = 0; from < values.size(); from += per_round) {
        std::vector<double> round(
            values.begin() + static_cast<std::ptrdiff_t>(from),
            values.begin() + static_cast<std::ptrdiff_t>(std::min(values.size(), from + per_round)));
        std::sort(round.begin(), round.end());
        round_p99.push_back(percentile(round, 99));
    }
    std::vector<double> all = values;
    std::sort(all.begin(), all.end());
    std::vector<double> sorted_p99 = round_p99;
    std::sort(sorted_p99.begin(), sorted_p99.end());
    const double p99 = sorted_p99[sorted_p99.size() / 2];
    const int lost = wanted - static_cast<int>(values.size());
    std::string rounds_text;
    for (double v : round_p99) rounds_text += (rounds_text.empty() ? "" : "/") + format("%.2f", v);
    std::string measured = format("median %.3f, p99 %.3f (rounds %s), max %.2f ms (%zu keys", percentile(all, 50), p99,
                                  rounds_text.c_str(), all.back(), values.size());
    measured += lost > 0 ? format(", %d unanswered", lost) : "";
    measured += note + ")";
    add(Section::latency, figure, measured, target, p99 < target_p99_ms && lost == 0);
}

// The writes at the given indexes.
std::vector<Update> updates_at(const PtyProgram& program, const std::vector<std::size_t>& indexes) {
    std::vector<Update> picked;
    for (std::size_t i : indexes) picked.push_back(program.updates()[i]);
    return picked;
}

// Sends keys one at a time, each once the answer to the one before is on the
// screen, and returns the times from each key to the program's first write
// in answer. `answers` receives the index of each answering write.
//
// `own` receives the same times less what the program spent meanwhile
// waiting for a CPU that other programs held: what it takes on a machine of
// its own. (The wait is read up to when the answer is seen, a little past
// the write, so this errs on the short side by the program's last steps.)
std::vector<double> key_latencies(PtyProgram& program, const std::vector<std::string>& keys, int settle_ms,
                                  int jitter_high_ms, std::vector<std::size_t>& answers,
                                  const std::function<void()>& between = {}, std::vector<double>* own = nullptr) {
    std::vector<double> latencies;
    for (const std::string& key : keys) {
        if (between) between();
        const std::size_t before = program.updates().size();
        const Sample ready = own ? program.sample() : Sample{};
        const std::int64_t sent = program.send(key);
        if (!program.wait_for([&] { return program.updates().size() > before; }, -1, 1000)) continue;
        const double latency = ms(program.updates()[before].at_ns - sent);
        latencies.push_back(latency);
        answers.push_back(before);
        if (own) own->push_back(std::max(0.0, latency - ms(program.sample().wait_ns - ready.wait_ns)));
        // The whole answer, then a pause of random length, so that keys fall
        // anywhere in the program's own rhythm.
        program.wait_quiet(settle_ms, 1000);
        program.idle(random_ms(0, jitter_high_ms));
    }
    return latencies;
}

// The battle's start-up, timed from its first frame to its last effect
// marker; the last marker's pause is not seen, as nothing follows it until a
// key. The writes before the first frame set the terminal up (alternate
// screen, clearing) and are counted apart. False when the menu did not appear.
struct StartUp {
    std::size_t first_frame = 0;  // index of the write that shows it
    std::size_t last_frame = 0;
};

bool watch_battle_start(PtyProgram& game, StartUp& start) {
    if (!game.wait_for([&] { return game.row_has(0, "＿"); }, -1, 10000, &start.first_frame)) return false;
    const Sample before = game.sample();
    if (!game.wait_quiet(400, 10000) || !game.row_has(1, "たたかう")) return false;
    const Sample after = game.sample();
    start.last_frame = game.updates().size() - 1;
    const std::string name = "battle start-up (1070 ms)";
    std::vector<double> pauses = repeated(100, 1);
    for (const auto& [count, length] : {std::pair{4, 100.0}, {18, 30.0}, {3, 10.0}}) {
        const std::vector<double> more = repeated(count, length);
        pauses.insert(pauses.end(), more.begin(), more.end());
    }
    pauses.pop_back();  // the last marker's pause: nothing follows it until a key
    time_sequence(name, game, start.first_frame, start.last_frame, pauses, before, after);
    count_writes(name, static_cast<std::int64_t>(start.last_frame - start.first_frame + 1), startup_pauses);
    return true;
}

// ---------------------------------------------------------------------------
// Battle with the bundled data: start-up, the wait at the command menu, the
// menu's key latency, the item list.

void battle_menu_run() {
    DataFolder folder(assets_dir);
    PtyProgram game(battle_program, folder.path(), write_log_library);
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
        PtyProgram echo(self_program(), folder.path(), write_log_library, 80, 24, {"--echo"});
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

// ---------------------------------------------------------------------------
// Battle in an empty folder: the missing-file notice.

void missing_file_run() {
    DataFolder empty{std::filesystem::path()};
    PtyProgram game(battle_program, empty.path(), write_log_library);
    if (!game.wait_for([&] { return game.shows_anywhere("秒後に強制終了"); }, -1, 5000)) {
        missing(Section::idle, "idle CPU: battle, missing-file notice", "the notice did not appear", "< 1%");
        return;
    }
    game.idle(200);
    const Sample before = game.sample();
    game.idle(idle_ms);
    const Sample after = game.sample();
    cpu_row("idle CPU: battle, missing-file notice", before, after, 1);
    end_run(game);
}

// ---------------------------------------------------------------------------
// Field with the bundled data: the wipe, the idle loop, hero steps.

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
    if (rpg::load_game_data(field.records, assets_dir, error) != rpg::LoadResult::ok) return false;
    if (!rpg::load_map(field, std::filesystem::path(assets_dir) / "test.txt")) return false;
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

void field_run(bool whole) {
    DataFolder folder(assets_dir);
    PtyProgram game(field_program, folder.path(), write_log_library);

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

// ---------------------------------------------------------------------------
// A battle won at once with a level-up: the pawns have 1 HP and no speed,
// the hero hits hard. The last blow starts one unbroken stream of messages,
// the level-up screen and the ending.

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

void level_up_run() {
    DataFolder folder(assets_dir);
    folder.set_number("Pawn_Status_Info.txt", pawn_max_hp, 1);
    folder.set_number("Pawn_Status_Info.txt", pawn_speed, 0);
    folder.set_number("Hero_Status_Info.txt", hero_attack, 60);
    PtyProgram game(battle_program, folder.path(), write_log_library);
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
    bench::Ending ending;
    if (!game.wait_exit(3000, ending)) ending = game.finish(SIGTERM);
    if (!(WIFEXITED(ending.status) && WEXITSTATUS(ending.status) == 0)) {
        add(Section::output, "battle ends after the level-up", ending.describe(), "exit 0", false);
    }
}

// ---------------------------------------------------------------------------
// Whole battles on the memory console with its virtual clock.

void headless_run() {
    constexpr int defend_turns = 100;
    constexpr int battles = 20;
    rpg::GameRecords records;
    std::string error;
    if (rpg::load_game_data(records, assets_dir, error) != rpg::LoadResult::ok) {
        missing(Section::headless, "headless battle", "the bundled data did not load: " + error, "");
        return;
    }
    // Pawns that always miss and fall at the first blow; a hero that needs
    // little experience for its next level.
    rpg::EnemyStatus& pawn = records.enemies[rpg::kind_pawn];
    pawn.max_hp = 1;
    pawn.hp.fill(1);
    pawn.speed = 0;
    records.hero.attack = 200;
    records.hero.next_exp = 5;

    int wins = 0;
    std::int64_t virtual_ms = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < battles; ++n) {
        rpg::MemoryConsole console;
        rpg::Battle b(console);
        b.rec = records;
        rpg::set_up_encounter(b, static_cast<std::uint32_t>(n + 1));
        // Defend turn after turn (Enter on "ぼうぎょ", then one acknowledgement
        // for each of the three pawns' attacks), then three blows, then the end.
        console.press_arrow(rpg::key_down);
        for (int t = 0; t < defend_turns; ++t) {
            console.press({rpg::key_enter, rpg::key_enter, rpg::key_enter, rpg::key_enter});
        }
        console.press_arrow(rpg::key_up);
        for (int k = 0; k < 3; ++k) console.press({rpg::key_enter, rpg::key_enter, rpg::key_enter});
        console.press(rpg::key_enter);
        const rpg::u16 level = b.rec.hero.level;
        try {
            rpg::draw_battle_screen(b);
            const rpg::Outcome outcome = rpg::command_loop(b);
            rpg::show_ending(b, outcome);
            if (outcome == rpg::Outcome::won && b.rec.hero.level > level && console.keys_left() == 0) ++wins;
        } catch (const rpg::InputClosed&) {
            // the script did not fit the battle: not counted as won
        }
        virtual_ms += console.now_ms();
    }
    const double wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int turns = battles * (defend_turns + 3);
    const double speedup = static_cast<double>(virtual_ms) / (wall_s * 1000);
    add(Section::headless, format("headless: whole battle (%d turns, won, level-up)", defend_turns + 3),
        format("%.2f ms per battle (%d of %d won as scripted)", wall_s * 1000 / battles, wins, battles),
        "won with a level-up", wins == battles);
    add(Section::headless, "headless: speed",
        format("%.0f turns/s; %.0fx faster than its own pauses", turns / wall_s, speedup),
        ">= 1000x faster than its pauses", speedup >= 1000);
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

}  // namespace

int main(int argc, char** argv) {
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
    const bool all_pass = std::all_of(table.begin(), table.end(), [](const Row& r) { return r.known && r.pass; });
    std::printf("\n%s\n", all_pass ? "Every target met." : "Some targets were missed or not measured.");
    return check && !all_pass ? 1 : 0;
}
