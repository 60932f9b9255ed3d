#pragma once
// The console that plays a recording back. It wraps the console the replay
// is shown on, hands the game each recorded key at the poll it was read at,
// answers the clock as recorded, and paces the run as recorded (or faster).
// It keeps its own copy of the game's screen: at each turn mark the copy's
// digest must be the one recorded, or the replay stops there, having gone
// another way.
//
// With the controls on it reads the replay's keys (replay_controls.h) from
// the screen's keyboard, so the same keys work on every console. Going
// forward, it plays on without drawing up to where it was asked to go, then
// shows the screen there. Going back, it throws ReplayRestart out of the
// game: the run's loop (RecordedRun::play) calls rewind() and plays the game
// again from its start, without drawing, up to the moment asked for. Nothing
// of the game is kept between: the same keys at the same polls give the same
// run, so the screen reached is exact.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/cell_grid.h"
#include "platform/console.h"
#include "platform/console_options.h"
#include "recording/cast.h"
#include "recording/recording.h"
#include "recording/replay_controls.h"

namespace rpg {

// Thrown at the poll where a replay cannot go on: the recording has no key
// for it, or the run went another way at a turn mark. Like a terminal gone
// away, it ends the game.
struct ReplayStop : InputClosed {
    using InputClosed::InputClosed;
};

// Thrown out of the game to play the run again from its start. No game code
// catches it (it is no std::exception): only the run's loop does.
struct ReplayRestart {};

struct ReplayOptions {
    int speed = 1;               // times faster than recorded; 0 for no pauses at all
    bool controls = false;       // the replay's keys are read from the screen's keyboard
    bool status_line = false;    // the status line is shown under the game's rows
    CastWriter* cast = nullptr;  // the screens are also written here, at the recorded pace
};

class ReplayConsole : public Console {
public:
    ReplayConsole(Console& screen, const Recording& recording, int speed)
        : ReplayConsole(screen, recording, ReplayOptions{speed}) {}
    ReplayConsole(Console& screen, const Recording& recording, const ReplayOptions& options);

    enum class Outcome {
        ending,  // every key delivered at its poll, the same status after as many polls
        cut,     // every key delivered at its poll, up to where a recording cut short stops
        parted,  // the run went another way
    };
    Outcome outcome(int status) const;
    // The verdict in one line, for after the terminal is given back.
    std::string verdict(int status) const;

    // Where a seek goes: to the poll of that index, to the mark of that index
    // (counted from 0), or to the end of the run.
    struct Seek {
        enum Kind { none, poll, turn, end } kind = none;
        std::int64_t at = 0;
    };
    // From here on, plays without drawing up to `to`, then shows the screen
    // there (and pauses, with `then_pause`).
    void seek(Seek to, bool then_pause = false);
    // After a ReplayRestart: back to the recording's start, to go on without
    // drawing to where the seek that threw it asked.
    void rewind();
    // The game has ended: what it drew last is shown, also after a seek to the end.
    void show_last_screen();

    // The game's screen as the replay has it, and how far it got.
    const CellGrid& shown() const { return shown_; }
    std::int64_t polls() const { return polls_; }

    void set_cursor(int column, int row) override;
    void set_attribute(std::uint16_t attribute) override;
    void print(std::string_view sjis) override;
    void announce(int column, int row, std::string_view sjis) override;
    bool key_waiting() override;
    int read_key() override;
    void sleep_ms(int milliseconds) override;
    std::int64_t now_seconds() override;
    void turn_mark(int turn) override;

private:
    [[noreturn]] void stop(std::int64_t poll);  // the poll the recording has no answer for
    [[noreturn]] void part_at(const RecordedTurn& mark);
    void at_poll(std::int64_t poll);
    void wait_for_wall(std::int64_t wall_ms);
    void attend();
    void apply(const ReplayRequest& request);
    void go_forward(Seek to, bool then_pause);
    [[noreturn]] void go_back(Seek to, bool then_pause);
    void arrive();
    void paint_shown();
    void put_cursor_back();
    void show_status();
    void rebase();
    std::int64_t time_reached() const;
    Seek key_position_after(std::int64_t poll, bool at_or_after) const;

    Console& screen_;
    const Recording& recording_;
    ReplayOptions options_;
    ReplaySpeed speed_;
    ReplayKeys keys_;
    CellGrid shown_{screen_columns, screen_rows};
    const char* turn_word_ = "turn";
    std::int64_t whole_ms_ = 0;  // the recorded run's length
    std::int64_t limit_ = 0;     // with the keys used up, the polls the run went on for

    // The run as replayed so far.
    std::int64_t polls_ = 0;
    std::size_t next_key_ = 0;
    std::size_t next_clock_ = 0;
    std::int64_t clock_readings_ = 0;
    std::int64_t clock_since_paused_ms_ = 0;  // the pauses when the clock last changed
    std::int64_t paused_ms_ = 0;
    std::size_t next_turn_ = 0;  // the recorded marks the replay has made
    std::optional<RecordedTurn> last_turn_;
    std::optional<std::int64_t> stopped_at_;  // the poll the recording had no answer for
    std::optional<RecordedTurn> parted_at_;   // the first mark that came out otherwise
    bool off_beat_ = false;                   // a key was wanted at another poll than recorded

    // Where the replay stands and how it goes on.
    std::int64_t here_ = 0;  // the poll being made, or the next one during a pause
    bool at_turn_ = false;   // just at a mark, no poll made since
    bool paused_ = false;
    bool headless_ = false;  // going to seek_ without drawing
    Seek seek_;
    bool pause_on_arrival_ = false;
    std::int64_t reached_wall_ms_ = 0;  // the recorded moment of the last key or mark passed
    std::int64_t reached_paused_ms_ = 0;
    std::chrono::steady_clock::time_point base_time_;  // pacing: this moment of the replay
    std::int64_t base_wall_ms_ = 0;                    // stands for this moment of the recording
    std::string status_shown_;
};

}  // namespace rpg
