#pragma once
// One of the game's programs on a pseudo-terminal, watched the way a
// benchmark needs: every read of the terminal's output is kept with the time
// it arrived, the screen is followed through a terminal emulator, and the
// program's CPU time and write calls can be sampled at any moment.
//
// Output is grouped into bursts: reads that follow one another within a
// fraction of a millisecond come from one screen update. For every burst the
// screen before and after it are compared, which gives the cells the update
// changed and a byte budget for sending them.

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct VTerm;
struct VTermScreen;

namespace bench {

// Monotonic time in nanoseconds.
std::int64_t now_ns();

// What /proc tells about the program at one moment.
struct Sample {
    std::int64_t at_ns = 0;
    std::int64_t cpu_ns = 0;      // time on a CPU, user and system
    std::int64_t write_calls = 0;  // write system calls so far
    std::int64_t bytes_written = 0;
};

// One read of the terminal's output.
struct Chunk {
    std::int64_t at_ns = 0;
    std::size_t bytes = 0;
    std::size_t burst = 0;  // the burst it belongs to
};

// One screen update as it reached the terminal.
struct Burst {
    std::int64_t first_ns = 0;
    std::int64_t last_ns = 0;
    std::size_t first_chunk = 0;
    std::size_t bytes = 0;
    int changed_cells = 0;  // screen cells whose text or look changed
    int runs = 0;           // unbroken stretches of changed cells on a row
    // What a terminal needs at most to show the change: the new cells' bytes,
    // a cursor move and a change of look per stretch, a last cursor move.
    std::size_t budget = 0;
};

// How the program ended.
struct Ending {
    int status = 0;  // as waitpid gives it
    rusage usage{};
    std::string describe() const;
};

class PtyProgram {
public:
    PtyProgram(const std::filesystem::path& program, const std::filesystem::path& folder, int columns = 80,
               int rows = 24);
    ~PtyProgram();
    PtyProgram(const PtyProgram&) = delete;
    PtyProgram& operator=(const PtyProgram&) = delete;

    pid_t pid() const { return pid_; }
    bool running() const { return !ended_; }

    // Reads what has arrived, waiting at most `timeout_ms` (0: do not wait)
    // for the first bytes. Returns the number of chunks read.
    std::size_t pump(int timeout_ms);
    // Reads until `done` holds after a chunk (true), or until no output came
    // for `quiet_ms` (-1: no such limit) or `timeout_ms` passed (false).
    // `at_chunk` receives the index of the chunk after which `done` held.
    bool wait_for(const std::function<bool()>& done, int quiet_ms, int timeout_ms, std::size_t* at_chunk = nullptr);
    // Reads until nothing came for `quiet_ms`; false when that did not happen
    // within `timeout_ms`.
    bool wait_quiet(int quiet_ms, int timeout_ms);
    // Writes key bytes into the terminal; returns the time just before.
    std::int64_t send(std::string_view bytes);

    Sample sample() const;
    // Ends the program with the signal unless it has ended, and reaps it.
    Ending finish(int signo);
    // Waits for the program to end by itself (reading its output meanwhile).
    bool wait_exit(int timeout_ms, Ending& ending);

    // Output so far.
    const std::vector<Chunk>& chunks() const { return chunks_; }
    // Bursts so far; the last one is closed when the output has paused.
    const std::vector<Burst>& bursts();
    std::size_t total_bytes() const { return total_bytes_; }

    // The screen as the terminal emulator shows it: a row as UTF-8, wide
    // characters once, every other cell as it is.
    std::string row(int r) const;
    bool row_has(int r, std::string_view utf8) const { return row(r).find(utf8) != std::string::npos; }
    bool shows_anywhere(std::string_view utf8) const;
    bool bright_at(int column, int r) const;

private:
    struct Cell {
        std::uint32_t ch = ' ';
        int width = 1;
        bool bright = false;
        bool operator==(const Cell&) const = default;
    };
    std::vector<Cell> snapshot() const;
    void close_burst();
    void take(const char* data, std::size_t length, std::int64_t at);
    void reap(int options, Ending* ending);

    pid_t pid_ = -1;
    int master_ = -1;
    int columns_;
    int rows_;
    bool ended_ = false;
    bool master_closed_ = false;
    Ending ending_{};
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    std::vector<Chunk> chunks_;
    std::vector<Burst> bursts_;
    std::vector<Cell> burst_start_;
    bool burst_open_ = false;
    std::size_t total_bytes_ = 0;
};

// A scratch folder holding a copy of the bundled data files, removed at the end.
class DataFolder {
public:
    // A copy of every file of `assets`; an empty folder when `assets` is empty.
    explicit DataFolder(const std::filesystem::path& assets);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Replaces the whitespace-separated value at position `index` (from 0) of
    // a data file. Only ASCII numbers are replaced, so the Shift-JIS names
    // around them stay byte for byte as they were.
    void set_number(const std::string& file, int index, long long value);

private:
    std::filesystem::path path_;
};

}  // namespace bench
