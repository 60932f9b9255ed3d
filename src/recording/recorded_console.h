#pragma once
// The console that records a run as it goes (the one that plays a recording
// back is in replay_console.h): it wraps the console the game is shown on and
// counts the program's own time, its key polls and its pauses, and keeps a
// copy of the game's screen for the turn marks' digests.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/cell_grid.h"
#include "platform/console.h"
#include "platform/console_options.h"
#include "recording/recording.h"

namespace rpg {

// The rows of the screen the game draws on, which a turn mark's digest covers.
inline constexpr int game_rows = 19;

// The digest of what the game's rows of `grid` hold: each cell's byte and look.
std::uint64_t screen_digest(const CellGrid& grid);

class RecordingConsole : public Console {
public:
    // Writes key, clock and mark lines to `out` (whose header is written).
    // While it lives, a signal that ends the program (Ctrl+C, say) still
    // writes the ending, with the status a shell gives it: 128 + the signal.
    RecordingConsole(Console& inner, RecordingWriter& out);
    ~RecordingConsole() override;
    RecordingConsole(const RecordingConsole&) = delete;
    RecordingConsole& operator=(const RecordingConsole&) = delete;

    // The last line: the exit status, at the moment the run ended.
    void finish(int status);

    void set_cursor(int column, int row) override {
        shown_.set_cursor(column, row);
        inner_.set_cursor(column, row);
    }
    void set_attribute(std::uint16_t attribute) override {
        shown_.set_attribute(attribute);
        inner_.set_attribute(attribute);
    }
    void print(std::string_view sjis) override {
        shown_.write(sjis);
        inner_.print(sjis);
    }
    void announce(int column, int row, std::string_view sjis) override { inner_.announce(column, row, sjis); }
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;
    void turn_mark(int turn) override;

private:
    RunMoment now() const;
    void maybe_mark();
    static void note_signal(int signal_number);

    Console& inner_;
    RecordingWriter& out_;
    CellGrid shown_{screen_columns, screen_rows};
    std::optional<RecordedTurn> last_turn_;
    std::chrono::steady_clock::time_point started_;
    std::int64_t polls_ = 0;
    std::int64_t paused_ms_ = 0;
    std::int64_t clock_readings_ = 0;
    std::optional<std::int64_t> last_clock_;
    std::optional<std::int64_t> key_seen_at_;  // the poll that first saw the key not yet read
    std::int64_t last_mark_wall_ms_ = 0;
    // What the signal note reads: the polls answered and the pauses so far.
    std::atomic<std::int64_t> noted_polls_{0};
    std::atomic<std::int64_t> noted_paused_ms_{0};
};

}  // namespace rpg
