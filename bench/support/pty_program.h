#pragma once
// One of the game's programs on a pseudo-terminal, watched the way a
// benchmark needs. The program runs with the write log (write_log.h), so the
// benchmark knows every write it sends to the terminal: when it began and
// how many bytes it carried. The output read from the terminal is cut at
// those writes and fed to a terminal emulator one write at a time, so that
// for every write the screen before and after it are known: which write
// first showed a text, and what each write changed.

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

struct WriteLog;

// Monotonic time in nanoseconds.
std::int64_t now_ns();

// What /proc tells about the program at one moment.
struct Sample {
    std::int64_t at_ns = 0;
    std::int64_t cpu_ns = 0;        // time on a CPU, user and system
    std::int64_t wait_ns = 0;       // time ready to run but waiting for a CPU
    std::int64_t major_faults = 0;  // page faults that had to read from disk
};

// One write to the terminal, as the screen took it.
struct Update {
    std::int64_t at_ns = 0;  // when the program began the write
    std::size_t offset = 0;  // where its bytes start in output()
    std::size_t bytes = 0;
    int changed_cells = 0;  // screen cells whose text or look changed
    int runs = 0;           // unbroken stretches of changed cells on a row
    // What a terminal needs at most to show the change: the new cells'
    // bytes, a cursor move and a change of look per stretch, a last cursor move.
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
    // Starts `program` (with `arguments`) in `folder` on an 80 x 24 terminal
    // (TERM=xterm-256color, LC_ALL=C.UTF-8), with `write_log_library` preloaded.
    PtyProgram(const std::filesystem::path& program, const std::filesystem::path& folder,
               const std::filesystem::path& write_log_library, int columns = 80, int rows = 24,
               const std::vector<std::string>& arguments = {});
    ~PtyProgram();
    PtyProgram(const PtyProgram&) = delete;
    PtyProgram& operator=(const PtyProgram&) = delete;

    // Reads and takes in writes until `done` holds after one (true, and
    // `at_update` is its index), or until no output came for `quiet_ms` (-1:
    // no such limit) or `timeout_ms` passed (false).
    bool wait_for(const std::function<bool()>& done, int quiet_ms, int timeout_ms, std::size_t* at_update = nullptr);
    // Reads until nothing came for `quiet_ms`; false when that did not happen
    // within `timeout_ms`.
    bool wait_quiet(int quiet_ms, int timeout_ms);
    // Keeps reading for a while.
    void idle(int milliseconds);
    // Writes key bytes into the terminal; returns the time just before.
    std::int64_t send(std::string_view bytes);

    Sample sample() const;
    // Ends the program with the signal unless it has ended, and reaps it.
    Ending finish(int signo);
    // Waits for the program to end by itself, reading its output meanwhile.
    bool wait_exit(int timeout_ms, Ending& ending);

    // The writes taken in so far, in order.
    const std::vector<Update>& updates() const { return updates_; }
    // Everything read from the terminal.
    const std::string& output() const { return output_; }
    // Bytes that came without a write record (not sent with write()); they
    // are taken in as updates of their own, timed when read.
    std::size_t unlogged_bytes() const { return unlogged_bytes_; }

    // The screen as the emulator shows it after the writes taken in: a row as
    // UTF-8 (a wide character once), and whether a cell is bright.
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
    void read_row(int r, Cell* out) const;
    bool read_chunk(int timeout_ms);
    bool take_write();
    void take(std::size_t length, std::int64_t at_ns);
    void reap(int options);

    pid_t pid_ = -1;
    int master_ = -1;
    int columns_;
    int rows_;
    bool ended_ = false;
    bool master_closed_ = false;
    Ending ending_{};
    std::filesystem::path log_file_;
    WriteLog* log_ = nullptr;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    std::string output_;
    std::int64_t last_read_ns_ = 0;
    std::size_t taken_bytes_ = 0;
    std::size_t unlogged_bytes_ = 0;
    std::size_t unlogged_updates_ = 0;
    std::vector<Update> updates_;
    std::vector<Cell> screen_before_;
    std::vector<bool> dirty_rows_;  // rows the emulator changed since the last update
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
