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

std::uint64_t screen_digest(const CellGrid& grid) {
    std::string cells;
    cells.reserve(static_cast<std::size_t>(grid.width()) * game_rows * 2);
    for (int row = 0; row < game_rows && row < grid.height(); ++row) {
        for (int column = 0; column < grid.width(); ++column) {
            const Cell& cell = grid.at(column, row);
            cells.push_back(static_cast<char>(cell.byte));
            cells.push_back(static_cast<char>(cell.attribute));
        }
    }
    return fnv1a64(cells);
}

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
    RecordingConsole* self = signalled_recording.exchange(nullptr);
    if (!self || !self->out_.seal(signal_note_on_own_thread)) return;
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

// One line for each mark; the game may mark the same moment twice (a turn
// that comes back to the command menu at once), which is written once.
void RecordingConsole::turn_mark(int turn) {
    // The console under it first: a replay that stops at this mark (it went
    // another way there) leaves a recording that stops before it too.
    inner_.turn_mark(turn);
    const RecordedTurn mark{turn, RunMoment{polls_, paused_ms_, ms_since(started_)}, screen_digest(shown_)};
    const bool again = last_turn_ && last_turn_->turn == turn && last_turn_->at.poll == mark.at.poll &&
                       last_turn_->screen == mark.screen;
    if (!again) out_.write(turn_line(mark));
    last_turn_ = mark;
}

std::int64_t RecordingConsole::now_seconds() {
    const std::int64_t reading = clock_readings_++;
    const std::int64_t seconds = inner_.now_seconds();
    if (!last_clock_ || *last_clock_ != seconds) out_.write(clock_line(RecordedClock{seconds, reading}));
    last_clock_ = seconds;
    return seconds;
}

}  // namespace rpg
