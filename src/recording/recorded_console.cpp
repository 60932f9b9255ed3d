#include "recording/recorded_console.h"

#include <algorithm>
#include <charconv>

#include "platform/signal_note.h"

namespace rpg {
namespace {

std::int64_t ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

namespace {

// The one recording a signal can end, while its console lives.
std::atomic<RecordingConsole*> signalled_recording{nullptr};

}  // namespace

RecordingConsole::RecordingConsole(Console& inner, RecordingWriter& out)
    : inner_(inner), out_(out), started_(std::chrono::steady_clock::now()) {
    if (out_.descriptor() < 0) return;
    signalled_recording.store(this);
    set_signal_note(&RecordingConsole::note_signal);
}

RecordingConsole::~RecordingConsole() {
    RecordingConsole* self = this;
    if (signalled_recording.compare_exchange_strong(self, nullptr)) set_signal_note(nullptr);
}

// In the signal handler: the ending line made by hand, with only what a
// handler may use. Nothing is added to a line being written just then: the
// recording then stops at the line before, as a run cut short.
void RecordingConsole::note_signal(int signal_number) {
    const RecordingConsole* self = signalled_recording.exchange(nullptr);
    if (!self || self->out_.writing()) return;
    const auto wall = std::chrono::steady_clock::now() - self->started_;
    const std::int64_t numbers[] = {128 + signal_number, self->noted_polls_.load(), self->noted_paused_ms_.load(),
                                    std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()};
    char line[96] = "end";
    std::size_t length = 3;
    for (const std::int64_t number : numbers) {
        line[length++] = ' ';
        length = static_cast<std::size_t>(std::to_chars(line + length, line + sizeof line - 1, number).ptr - line);
    }
    line[length++] = '\n';
    WrittenFile::write_from_handler(self->out_.descriptor(), line, length);
}

RunMoment RecordingConsole::now() const { return RunMoment{polls_, paused_ms_, ms_since(started_)}; }

// A line now and then tells how far the run got, so that a run cut short
// replays nearly to its end; never while a key is seen but not yet read,
// whose moment comes before.
void RecordingConsole::maybe_mark() {
    if (key_seen_at_) return;
    const RunMoment at = now();
    if (at.wall_ms - last_mark_wall_ms_ < 1000) return;
    last_mark_wall_ms_ = at.wall_ms;
    out_.write(mark_line(at));
}

void RecordingConsole::finish(int status) {
    RecordingConsole* self = this;
    if (signalled_recording.compare_exchange_strong(self, nullptr)) set_signal_note(nullptr);
    out_.write(ending_line(RecordedEnding{std::clamp(status, 0, 255), now()}));
}

// A poll that fails (the terminal went away) is not counted: the ending
// counts the polls that were answered.
bool RecordingConsole::key_waiting() {
    const std::int64_t poll = polls_++;
    bool waiting = false;
    try {
        waiting = inner_.key_waiting();
    } catch (...) {
        --polls_;
        throw;
    }
    noted_polls_.store(polls_);
    if (waiting && !key_seen_at_) key_seen_at_ = poll;
    maybe_mark();
    return waiting;
}

int RecordingConsole::read_key() {
    // About to wait for the player, unless a key is there already: a run cut
    // short while waiting replays up to the screen it waited on.
    if (!key_seen_at_) {
        const RunMoment at = now();
        last_mark_wall_ms_ = at.wall_ms;
        out_.write(mark_line(at));
    }
    const std::int64_t poll = polls_++;
    int code = 0;
    try {
        code = inner_.read_key();
    } catch (...) {
        --polls_;
        throw;
    }
    noted_polls_.store(polls_);
    RecordedKey key{code, now()};
    key.at.poll = key_seen_at_.value_or(poll);
    key_seen_at_.reset();
    out_.write(key_line(key));
    return code;
}

void RecordingConsole::sleep_ms(int milliseconds) {
    paused_ms_ += std::max(milliseconds, 0);
    noted_paused_ms_.store(paused_ms_);
    inner_.sleep_ms(milliseconds);
    maybe_mark();
}

std::int64_t RecordingConsole::now_seconds() {
    const std::int64_t reading = clock_readings_++;
    const std::int64_t seconds = inner_.now_seconds();
    if (!last_clock_ || *last_clock_ != seconds) out_.write(clock_line(RecordedClock{seconds, reading}));
    last_clock_ = seconds;
    return seconds;
}

// ---------------------------------------------------------------------------

ReplayConsole::ReplayConsole(Console& screen, const Recording& recording, int speed)
    : screen_(screen), recording_(recording), speed_(speed), started_(std::chrono::steady_clock::now()) {
    if (recording.ending) {
        limit_ = recording.ending->at.poll;
    } else {
        if (!recording.keys.empty()) limit_ = recording.keys.back().at.poll + 1;
        if (recording.last_mark) limit_ = std::max(limit_, recording.last_mark->poll);
    }
}

void ReplayConsole::stop() {
    stopped_at_ = polls_ - 1;
    screen_.sleep_ms(0);  // what was drawn last reaches the screen
    throw ReplayStop("the recording ends here");
}

void ReplayConsole::wait_for_wall(std::int64_t wall_ms) {
    if (speed_ <= 0) return;
    const std::int64_t left = wall_ms / speed_ - ms_since(started_);
    if (left > 0) screen_.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, 60'000)));
}

bool ReplayConsole::key_waiting() {
    const std::int64_t poll = polls_++;
    screen_.sleep_ms(0);  // a game that polls without pausing still shows its screen
    if (next_key_ < recording_.keys.size()) {
        const RecordedKey& key = recording_.keys[next_key_];
        if (key.at.poll == poll) wait_for_wall(key.at.wall_ms);
        return key.at.poll <= poll;
    }
    if (poll >= limit_) stop();
    return false;
}

int ReplayConsole::read_key() {
    const std::int64_t poll = polls_++;
    screen_.sleep_ms(0);  // the screen the recorded run waited on reaches the terminal
    if (next_key_ >= recording_.keys.size()) stop();
    const RecordedKey& key = recording_.keys[next_key_++];
    // The recorded run read this key here; anything else means the runs parted.
    if (key.at.poll > poll) off_beat_ = true;
    wait_for_wall(key.at.wall_ms);
    return key.code;
}

void ReplayConsole::sleep_ms(int milliseconds) {
    paused_ms_ += std::max(milliseconds, 0);
    screen_.sleep_ms(speed_ <= 0 ? 0 : milliseconds / speed_);
}

// Each reading gives what the recorded run read then. Past the last change
// recorded the clock runs on the program's own pauses: less than a second of
// them for every reading the recorded run made (a whole second would have
// changed the clock), so those read the same, and a wait for the clock in a
// run that went another way still ends.
std::int64_t ReplayConsole::now_seconds() {
    const std::int64_t reading = clock_readings_++;
    const std::vector<RecordedClock>& clock = recording_.clock;
    if (reading == 0) clock_since_paused_ms_ = paused_ms_;
    while (next_clock_ + 1 < clock.size() && clock[next_clock_ + 1].from_reading <= reading) {
        ++next_clock_;
        clock_since_paused_ms_ = paused_ms_;
    }
    const std::int64_t base = clock.empty() ? 0 : clock[next_clock_].seconds;
    return base + (paused_ms_ - clock_since_paused_ms_) / 1000;
}

ReplayConsole::Outcome ReplayConsole::outcome(int status) const {
    const std::optional<RecordedEnding>& ending = recording_.ending;
    if (off_beat_ || next_key_ != recording_.keys.size()) return Outcome::parted;
    if (ending) {
        // The recorded run made as many polls, or failed at the one where the replay stopped.
        const bool same_end = stopped_at_ ? *stopped_at_ == ending->at.poll : polls_ == ending->at.poll;
        // A signal ended the recorded run at that poll: the replay stops there.
        const bool same_status = ending->status == status || (ending->status > 128 && stopped_at_);
        return same_status && same_end ? Outcome::ending : Outcome::parted;
    }
    return polls_ > limit_ ? Outcome::cut : Outcome::parted;
}

std::string ReplayConsole::verdict(int status) const {
    const std::string keys =
        std::to_string(next_key_) + " of " + std::to_string(recording_.keys.size()) + " keys replayed";
    switch (outcome(status)) {
        case Outcome::ending:
            return "the replay reached the recorded ending (" + keys + ", status " +
                   std::to_string(recording_.ending->status) + ")";
        case Outcome::cut: return "the replay reached the end of the recording, which was cut short (" + keys + ")";
        case Outcome::parted: break;
    }
    std::string ended = "ended with status " + std::to_string(status);
    if (recording_.ending) ended += ", the recording with status " + std::to_string(recording_.ending->status);
    return "the replay went another way than the recording: " + keys + ", " + ended;
}

}  // namespace rpg
