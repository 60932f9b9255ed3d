#pragma once
// What the player can ask of a replay while it runs, the same on every
// console: the keys and what they mean, the speed, and the status line under
// the game's rows. The replaying console (replay_console.h) acts on them;
// a page with buttons of its own hands them in through submit_replay_request.
//
//   Space        pause and resume
//   . or Right   step to the next recorded key and show what it did
//   , or Left    step back to the previous one
//   + and -      double and halve the speed, from 1/8 to no pauses at all
//   Home, End    go to the start, to the end
//   ] and [      go to the next and the previous turn mark

#include <cstdint>
#include <deque>
#include <string>

namespace rpg {

enum class ReplayCommand {
    none,
    pause,  // pauses, or resumes when paused
    step_forward,
    step_back,
    faster,
    slower,
    to_start,
    to_end,
    next_turn,
    previous_turn,
    to_time,  // to the recorded key nearest after a moment of the run (a seek bar)
};

struct ReplayRequest {
    ReplayCommand command = ReplayCommand::none;
    std::int64_t ms = 0;  // for to_time: the moment, in milliseconds of the recorded run
};

// Turns the key codes read during a replay into its commands; the arrows and
// Home and End come as the prefix and a second code.
class ReplayKeys {
public:
    ReplayCommand feed(int code);

private:
    bool after_prefix_ = false;
};

// How fast a replay goes: a number of times the recorded pace, in eighths
// (1/8 to 1000), or with no pauses at all.
class ReplaySpeed {
public:
    // `times`: as --speed gives it, 0 for no pauses.
    explicit ReplaySpeed(int times) : eighths_(times <= 0 ? 0 : times * 8) {}
    void faster();
    void slower();
    bool unpaced() const { return eighths_ == 0; }
    // The replay's milliseconds for so many of the recorded run.
    std::int64_t scaled(std::int64_t recorded_ms) const { return unpaced() ? 0 : recorded_ms * 8 / eighths_; }
    // "1/8x", "3x", "max".
    std::string text() const;

private:
    static constexpr int most_eighths = 1000 * 8;
    int eighths_;
};

// What the status line shows.
struct ReplayStatus {
    bool paused = false;
    std::string speed;
    std::size_t key = 0;  // keys delivered so far
    std::size_t keys = 0;
    const char* turn_word = "turn";  // "second" on the field
    int turn = 0;
    std::int64_t time_ms = 0;  // the moment of the recorded run reached
    std::int64_t whole_ms = 0;
};

// The status line, in ASCII, `columns` wide.
std::string replay_status_line(const ReplayStatus& status, int columns);

// The requests handed in from outside the keyboard (the page's buttons and
// seek bar), taken by the replay that runs, in order, at its next look.
void submit_replay_request(const ReplayRequest& request);
bool take_replay_request(ReplayRequest& request);
// What the replay that runs shows in its status line (for the page's seek bar).
const ReplayStatus& current_replay_status();
void publish_replay_status(const ReplayStatus& status);

}  // namespace rpg
