#include "measure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <signal.h>

#include "report.h"

namespace bench {
namespace {

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

// The pauses of the battle's start-up: the command window's 100 frames of
// 1 ms, 4 labels of 100 ms, 18 HP-bar cells of 30 ms, 3 effect markers of 10 ms.
constexpr int startup_pauses = 100 + 4 + 18 + 3;

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

}  // namespace

// The time from the write that opens a sequence (index `first`) to the one
// that closes it (`last`), against the nominal `pauses` between them, one
// between each two writes. `before` and `after` are samples of the program
// around the sequence. When a pause of `lead_pause` ms comes before the
// first write, a late first write (which makes the sequence look short) shows.
void time_sequence(const std::string& name, const WatchedProgram& game, std::size_t first, std::size_t last,
                   const std::vector<double>& pauses, const Sample& before, const Sample& after, double lead_pause) {
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

// Bytes the programs sent other than with write(), which the write log
// cannot place: none are expected.
std::size_t unlogged_bytes = 0;

void end_run(WatchedProgram& program) {
    unlogged_bytes += program.unlogged_bytes();
    program.finish(SIGTERM);
}

// Nearest-rank percentile of a sorted list.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

int random_ms(int low, int high) {
    static std::mt19937 jitter(20240611);
    return std::uniform_int_distribution<int>(low, high)(jitter);
}

// Output per screen update against what the change needs: its new cells and
// one cursor move and change of look per stretch of changed cells.
void bytes_row(const std::string& figure, const std::vector<Update>& updates, const WatchedProgram* program) {
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
                 double target_p99_ms, const std::string& target, const std::string& note) {
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
std::vector<Update> updates_at(const WatchedProgram& program, const std::vector<std::size_t>& indexes) {
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
std::vector<double> key_latencies(WatchedProgram& program, const std::vector<std::string>& keys, int settle_ms,
                                  int jitter_high_ms, std::vector<std::size_t>& answers,
                                  const std::function<void()>& between, std::vector<double>* own) {
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

bool watch_battle_start(WatchedProgram& game, StartUp& start) {
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

}  // namespace bench
