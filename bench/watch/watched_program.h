#pragma once
// One of the game's programs on a pseudo-terminal, watched the way a
// benchmark needs. The program runs with the write log (write_log.h), so the
// benchmark knows every write it sends to the terminal: when it began and
// how many bytes it carried. The output read from the terminal is cut at
// those writes and fed to the terminal emulator one write at a time, so that
// for every write the screen before and after it are known: which write
// first showed a text, and what each write changed.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/pty_session.h"

namespace bench {

using rpg::test::Ending;
using rpg::test::Launch;
using rpg::test::Sample;

struct WriteLog;

// Monotonic time in nanoseconds.
inline std::int64_t now_ns() { return rpg::test::monotonic_ns(); }

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

// The write log library loaded into the programs under measurement.
std::filesystem::path write_log_library();

class WatchedProgram {
public:
    // Starts the launch's program with the write log, at the ordinary
    // priority where the system allows it.
    explicit WatchedProgram(Launch launch);
    ~WatchedProgram();
    WatchedProgram(const WatchedProgram&) = delete;
    WatchedProgram& operator=(const WatchedProgram&) = delete;

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

    Sample sample() const { return session_.sample(); }
    // Ends the program with the signal unless it has ended.
    Ending finish(int signo) { return session_.finish(signo); }
    // Waits for the program to end by itself, reading its output meanwhile.
    bool wait_exit(int timeout_ms, Ending& ending);

    // The writes taken in so far, in order.
    const std::vector<Update>& updates() const { return updates_; }
    // Everything read from the terminal.
    const std::string& output() const { return session_.output(); }
    // Bytes that came without a write record (not sent with write()); they
    // are taken in as updates of their own, timed when read.
    std::size_t unlogged_bytes() const { return unlogged_bytes_; }

    // The screen as the emulator shows it after the writes taken in: a row as
    // UTF-8 (a wide character once), and whether a cell is bright.
    std::string row(int r) const { return session_.text(r); }
    bool row_has(int r, std::string_view utf8) const { return row(r).find(utf8) != std::string::npos; }
    bool shows_anywhere(std::string_view utf8) const;
    bool bright_at(int column, int r) const { return session_.cell(column, r).bright; }

private:
    bool read_chunk(int timeout_ms);
    bool take_write();
    void take(std::size_t length, std::int64_t at_ns);

    std::filesystem::path log_file_;
    WriteLog* log_ = nullptr;
    rpg::test::PtySession session_;
    std::int64_t last_read_ns_ = 0;
    std::size_t unlogged_bytes_ = 0;
    std::size_t unlogged_updates_ = 0;
    std::vector<Update> updates_;
    std::vector<rpg::test::Cell> screen_before_;
};

}  // namespace bench
