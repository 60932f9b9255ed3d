#pragma once
// Consoles that record a run as it goes, or play a recording back: each wraps
// the console the game is shown on and counts the program's own time, its
// key polls and its pauses.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/console.h"
#include "recording/recording.h"

namespace rpg {

// Thrown at the poll where a replay cannot go on: the recording has no key
// for it. Like a terminal gone away, it ends the game.
struct ReplayStop : InputClosed {
    using InputClosed::InputClosed;
};

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

    void set_cursor(int column, int row) override { inner_.set_cursor(column, row); }
    void set_attribute(std::uint16_t attribute) override { inner_.set_attribute(attribute); }
    void print(std::string_view sjis) override { inner_.print(sjis); }
    void announce(int column, int row, std::string_view sjis) override { inner_.announce(column, row, sjis); }
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;

private:
    RunMoment now() const;
    void maybe_mark();
    static void note_signal(int signal_number);

    Console& inner_;
    RecordingWriter& out_;
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

class ReplayConsole : public Console {
public:
    // `speed`: how many times faster than recorded; 0 for no pauses at all.
    ReplayConsole(Console& screen, const Recording& recording, int speed);

    enum class Outcome {
        ending,  // every key delivered at its poll, the same status after as many polls
        cut,     // every key delivered at its poll, up to where a recording cut short stops
        parted,  // the run went another way
    };
    Outcome outcome(int status) const;
    // The verdict in one line, for after the terminal is given back.
    std::string verdict(int status) const;

    void set_cursor(int column, int row) override { screen_.set_cursor(column, row); }
    void set_attribute(std::uint16_t attribute) override { screen_.set_attribute(attribute); }
    void print(std::string_view sjis) override { screen_.print(sjis); }
    void announce(int column, int row, std::string_view sjis) override { screen_.announce(column, row, sjis); }
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;

private:
    [[noreturn]] void stop();
    void wait_for_wall(std::int64_t wall_ms);

    Console& screen_;
    const Recording& recording_;
    int speed_;
    std::chrono::steady_clock::time_point started_;
    std::int64_t polls_ = 0;
    std::int64_t limit_ = 0;  // with the keys used up, the polls the run went on for
    std::size_t next_key_ = 0;
    std::size_t next_clock_ = 0;
    std::int64_t clock_readings_ = 0;
    std::int64_t clock_since_paused_ms_ = 0;  // the pauses when the clock last changed
    std::int64_t paused_ms_ = 0;
    std::optional<std::int64_t> stopped_at_;  // the poll the recording had no answer for
    bool off_beat_ = false;                   // a key was wanted at another poll than recorded
};

}  // namespace rpg
