#pragma once
// How the benchmark measures: pause sequences timed against their nominal
// pauses, CPU use over a stretch, key latencies, and the output of each
// screen update against what the change needs. Each helper adds its rows to
// the table (report.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "watch/watched_program.h"

namespace bench {

// Keys as the terminal sends them.
inline constexpr const char* key_down = "\x1b[B";
inline constexpr const char* key_up = "\x1b[A";
inline constexpr const char* key_enter = "\r";
inline constexpr const char* key_space = " ";

// How long the waits are watched, and in how many rounds key latencies are taken.
inline constexpr int idle_ms = 4000;
inline constexpr int latency_rounds = 3;

inline double ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }
std::vector<double> repeated(int count, double ms_each);

// The time from the write that opens a sequence (index `first`) to the one
// that closes it (`last`), against the nominal `pauses` between them, one
// between each two writes. `before` and `after` are samples of the program
// around the sequence. When a pause of `lead_pause` ms comes before the
// first write, a late first write (which makes the sequence look short) shows.
// Sequences of one name are timed in several runs; sequence_rows() reports them.
void time_sequence(const std::string& name, const WatchedProgram& game, std::size_t first, std::size_t last,
                   const std::vector<double>& pauses, const Sample& before, const Sample& after, double lead_pause = 0);
// Write calls against screen updates: every pause, and every wait for a key
// that follows a change, is one update.
void count_writes(const std::string& name, std::int64_t writes, int updates);
// The pacing and writes-per-pause rows of every sequence.
void sequence_rows();

// Bytes the programs sent other than with write(), which the write log
// cannot place: none are expected.
extern std::size_t unlogged_bytes;
// Ends a run's program, counting its unlogged bytes.
void end_run(WatchedProgram& program);

// Nearest-rank percentile of a sorted list.
double percentile(const std::vector<double>& sorted, double p);
int random_ms(int low, int high);

// Output per screen update against what the change needs.
void bytes_row(const std::string& figure, const std::vector<Update>& updates, const WatchedProgram* program = nullptr);
// CPU time over wall time between two samples.
void cpu_row(const std::string& figure, const Sample& before, const Sample& after, double target_percent);
// Key latencies in the order the keys were sent, taken in `rounds` runs.
void latency_row(const std::string& figure, const std::vector<double>& values, int wanted, int rounds,
                 double target_p99_ms, const std::string& target, const std::string& note = {});
// The writes at the given indexes.
std::vector<Update> updates_at(const WatchedProgram& program, const std::vector<std::size_t>& indexes);
// Sends keys one at a time and returns the times from each key to the
// program's first write in answer (see measure.cpp).
std::vector<double> key_latencies(WatchedProgram& program, const std::vector<std::string>& keys, int settle_ms,
                                  int jitter_high_ms, std::vector<std::size_t>& answers,
                                  const std::function<void()>& between = {}, std::vector<double>* own = nullptr);

// The battle's start-up, timed from its first frame to its last effect
// marker; the last marker's pause is not seen, as nothing follows it until a
// key. The writes before the first frame set the terminal up (alternate
// screen, clearing) and are counted apart. False when the menu did not appear.
struct StartUp {
    std::size_t first_frame = 0;  // index of the write that shows it
    std::size_t last_frame = 0;
};
bool watch_battle_start(WatchedProgram& game, StartUp& start);

}  // namespace bench
