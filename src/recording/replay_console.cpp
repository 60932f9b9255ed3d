#include "recording/replay_console.h"

#include <algorithm>

#include "recording/recorded_console.h"

namespace rpg {
namespace {

// With the controls on, waits are cut into pieces this long, between which
// the keyboard is looked at.
constexpr int slice_ms = 20;
// The replay's own row, under the game's.
constexpr int status_row = game_rows;

std::int64_t ms_between(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

}  // namespace

ReplayConsole::ReplayConsole(Console& screen, const Recording& recording, const ReplayOptions& options)
    : screen_(screen), recording_(recording), options_(options), speed_(options.speed) {
    if (recording.header.program == "field") turn_word_ = "second";
    if (recording.ending) {
        limit_ = recording.ending->at.poll;
        whole_ms_ = recording.ending->at.wall_ms;
    } else {
        if (!recording.keys.empty()) limit_ = recording.keys.back().at.poll + 1;
        if (recording.last_mark) limit_ = std::max(limit_, recording.last_mark->poll);
        if (!recording.turns.empty()) limit_ = std::max(limit_, recording.turns.back().at.poll);
        if (!recording.keys.empty()) whole_ms_ = recording.keys.back().at.wall_ms;
        if (recording.last_mark) whole_ms_ = std::max(whole_ms_, recording.last_mark->wall_ms);
    }
    if (!recording.turns.empty()) whole_ms_ = std::max(whole_ms_, recording.turns.back().at.wall_ms);
    rebase();
}

void ReplayConsole::rewind() {
    polls_ = 0;
    next_key_ = next_clock_ = next_turn_ = 0;
    clock_readings_ = clock_since_paused_ms_ = paused_ms_ = 0;
    last_turn_.reset();
    stopped_at_.reset();
    parted_at_.reset();
    off_beat_ = false;
    here_ = 0;
    at_turn_ = false;
    reached_wall_ms_ = reached_paused_ms_ = 0;
    shown_ = CellGrid(screen_columns, screen_rows);
    headless_ = seek_.kind != Seek::none;
    if (!headless_) paint_shown();
}

void ReplayConsole::seek(Seek to, bool then_pause) {
    seek_ = to;
    pause_on_arrival_ = then_pause;
    headless_ = to.kind != Seek::none;
}

void ReplayConsole::show_last_screen() {
    if (headless_) paint_shown();
    headless_ = false;
    if (options_.cast) options_.cast->frame(shown_, time_reached());
    screen_.sleep_ms(0);
}

// ---------------------------------------------------------------------------
// The game's calls.

void ReplayConsole::set_cursor(int column, int row) {
    shown_.set_cursor(column, row);
    if (!headless_) screen_.set_cursor(column, row);
}

void ReplayConsole::set_attribute(std::uint16_t attribute) {
    shown_.set_attribute(attribute);
    if (!headless_) screen_.set_attribute(attribute);
}

void ReplayConsole::print(std::string_view sjis) {
    shown_.write(sjis);
    if (!headless_) screen_.print(sjis);
}

// A screen reader is told what the replay shows, not what a seek passes by.
void ReplayConsole::announce(int column, int row, std::string_view sjis) {
    if (!headless_) screen_.announce(column, row, sjis);
}

void ReplayConsole::stop(std::int64_t poll) {
    stopped_at_ = poll;
    show_last_screen();  // what was drawn last reaches the screen
    throw ReplayStop("the recording ends here");
}

void ReplayConsole::part_at(const RecordedTurn& mark) {
    parted_at_ = mark;
    show_last_screen();
    throw ReplayStop("the replay went another way");
}

// Every poll: a mark recorded before it that the replay did not make means
// the runs parted; a seek may end here; the screen is brought up to date and
// the keyboard looked at.
void ReplayConsole::at_poll(std::int64_t poll) {
    const std::vector<RecordedTurn>& turns = recording_.turns;
    if (next_turn_ < turns.size() && turns[next_turn_].at.poll <= poll) part_at(turns[next_turn_]);
    here_ = poll;
    at_turn_ = false;
    if (headless_) {
        if (seek_.kind != Seek::poll || poll < seek_.at) return;
        arrive();
    }
    if (options_.cast) options_.cast->frame(shown_, time_reached());
    if (options_.controls) {
        attend();
    } else {
        screen_.sleep_ms(0);  // a game that polls without pausing still shows its screen
    }
}

bool ReplayConsole::key_waiting() {
    const std::int64_t poll = polls_++;
    at_poll(poll);
    if (next_key_ < recording_.keys.size()) {
        const RecordedKey& key = recording_.keys[next_key_];
        if (key.at.poll == poll) wait_for_wall(key.at.wall_ms);
        return key.at.poll <= poll;
    }
    if (poll >= limit_) stop(poll);
    return false;
}

int ReplayConsole::read_key() {
    const std::int64_t poll = polls_++;
    at_poll(poll);
    if (next_key_ >= recording_.keys.size()) stop(poll);
    const RecordedKey& key = recording_.keys[next_key_];
    // The recorded run read this key here; anything else means the runs parted.
    if (key.at.poll > poll) off_beat_ = true;
    wait_for_wall(key.at.wall_ms);
    ++next_key_;
    reached_wall_ms_ = std::max(reached_wall_ms_, key.at.wall_ms);
    reached_paused_ms_ = paused_ms_;
    return key.code;
}

void ReplayConsole::sleep_ms(int milliseconds) {
    paused_ms_ += std::max(milliseconds, 0);
    if (headless_) return;
    if (options_.cast) options_.cast->frame(shown_, time_reached());
    here_ = polls_;
    if (!options_.controls) {
        screen_.sleep_ms(static_cast<int>(speed_.scaled(milliseconds)));
        return;
    }
    attend();
    for (std::int64_t left = speed_.scaled(milliseconds); left > 0 && !headless_; left -= slice_ms) {
        screen_.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, slice_ms)));
        attend();
    }
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

// The mark must be the next one recorded, at the same poll, over the same
// screen. A mark made twice at one moment is one, as when recording.
void ReplayConsole::turn_mark(int turn) {
    const RecordedTurn mark{turn, RunMoment{polls_, paused_ms_, 0}, screen_digest(shown_)};
    if (last_turn_ && last_turn_->turn == turn && last_turn_->at.poll == mark.at.poll &&
        last_turn_->screen == mark.screen) {
        return;
    }
    last_turn_ = mark;
    if (recording_.version < 2) return;  // no marks recorded
    const std::vector<RecordedTurn>& turns = recording_.turns;
    if (next_turn_ >= turns.size()) {
        // A mark the recorded run did not make before its last poll: the
        // runs parted. At its last poll or after, the recorded run had been
        // ended by a signal just before the mark, or was cut short.
        if (recording_.ending && polls_ < limit_) part_at(mark);
        stop(polls_);
    }
    const RecordedTurn& recorded = turns[next_turn_];
    if (recorded.turn != turn || recorded.at.poll != mark.at.poll || recorded.screen != mark.screen) part_at(recorded);
    ++next_turn_;
    reached_wall_ms_ = std::max(reached_wall_ms_, recorded.at.wall_ms);
    reached_paused_ms_ = paused_ms_;
    here_ = polls_;
    at_turn_ = true;
    if (headless_ && seek_.kind == Seek::turn && static_cast<std::int64_t>(next_turn_) > seek_.at) {
        arrive();
        at_turn_ = true;
        if (options_.controls) attend();
    }
}

// ---------------------------------------------------------------------------
// Pacing.

// The moment of the recorded run the replay stands at: the last key or mark
// passed and the program's pauses since, never past the next key.
std::int64_t ReplayConsole::time_reached() const {
    std::int64_t ms = reached_wall_ms_ + (paused_ms_ - reached_paused_ms_);
    if (next_key_ < recording_.keys.size()) ms = std::min(ms, recording_.keys[next_key_].at.wall_ms);
    return std::clamp<std::int64_t>(ms, 0, whole_ms_);
}

void ReplayConsole::rebase() {
    base_time_ = std::chrono::steady_clock::now();
    base_wall_ms_ = time_reached();
}

void ReplayConsole::wait_for_wall(std::int64_t wall_ms) {
    while (!headless_ && !speed_.unpaced()) {
        const std::int64_t due = speed_.scaled(wall_ms - base_wall_ms_);
        const std::int64_t left = due - ms_between(base_time_, std::chrono::steady_clock::now());
        if (left <= 0) return;
        if (!options_.controls) {
            screen_.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, 60'000)));
            return;
        }
        screen_.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, slice_ms)));
        attend();
    }
}

// ---------------------------------------------------------------------------
// The controls.

// Takes the keys typed and the requests handed in, and shows the status
// line; while paused, waits here for the next key.
void ReplayConsole::attend() {
    for (;;) {
        ReplayRequest request;
        while (!headless_ && take_replay_request(request)) apply(request);
        while (!headless_ && screen_.key_waiting()) apply(ReplayRequest{keys_.feed(screen_.read_key())});
        if (headless_) return;
        show_status();
        if (!paused_) return;
        apply(ReplayRequest{keys_.feed(screen_.read_key())});
    }
}

ReplayConsole::Seek ReplayConsole::key_position_after(std::int64_t poll, bool at_or_after) const {
    for (const RecordedKey& key : recording_.keys) {
        if (key.at.poll > poll || (at_or_after && key.at.poll == poll)) return Seek{Seek::poll, key.at.poll};
    }
    return Seek{Seek::end, 0};
}

void ReplayConsole::apply(const ReplayRequest& request) {
    const std::vector<RecordedKey>& keys = recording_.keys;
    const auto marks_passed = static_cast<std::int64_t>(next_turn_);
    // During a pause the game is at no poll: the next one is still to come.
    const bool at_a_poll = here_ < polls_;
    switch (request.command) {
        case ReplayCommand::none: return;
        case ReplayCommand::pause:
            paused_ = !paused_;
            rebase();
            return;
        case ReplayCommand::faster:
            speed_.faster();
            rebase();
            return;
        case ReplayCommand::slower:
            speed_.slower();
            rebase();
            return;
        case ReplayCommand::step_forward: go_forward(key_position_after(here_, !at_a_poll), true); return;
        case ReplayCommand::step_back: {
            Seek to{Seek::poll, 0};
            for (const RecordedKey& key : keys) {
                if (key.at.poll < here_) to.at = key.at.poll;
            }
            go_back(to, true);
        }
        case ReplayCommand::to_start: go_back(Seek{Seek::poll, 0}, paused_);
        case ReplayCommand::to_end: go_forward(Seek{Seek::end, 0}, paused_); return;
        case ReplayCommand::next_turn:
            if (marks_passed < static_cast<std::int64_t>(recording_.turns.size())) {
                go_forward(Seek{Seek::turn, marks_passed}, paused_);
            }
            return;
        case ReplayCommand::previous_turn: {
            const std::int64_t mark = marks_passed - (at_turn_ ? 2 : 1);
            go_back(mark >= 0 ? Seek{Seek::turn, mark} : Seek{Seek::poll, 0}, paused_);
        }
        case ReplayCommand::to_time: {
            Seek to{Seek::end, 0};
            for (const RecordedKey& key : keys) {
                if (key.at.wall_ms >= request.ms) {
                    to = Seek{Seek::poll, key.at.poll};
                    break;
                }
            }
            if (to.kind == Seek::poll && to.at <= here_) go_back(to, paused_);
            go_forward(to, paused_);
            return;
        }
    }
}

void ReplayConsole::go_forward(Seek to, bool then_pause) {
    seek(to, then_pause);
    paused_ = false;
}

void ReplayConsole::go_back(Seek to, bool then_pause) {
    seek_ = to;
    pause_on_arrival_ = then_pause;
    paused_ = false;
    throw ReplayRestart{};
}

void ReplayConsole::arrive() {
    seek_ = Seek{};
    headless_ = false;
    paused_ = pause_on_arrival_;
    paint_shown();
    status_shown_.clear();
    rebase();
}

// Shows the screen the replay reached on the console, row by row, in runs
// of one look. A first byte still waiting for its second is written last,
// so that the game's next byte completes it there.
void ReplayConsole::paint_shown() {
    const int pending_column = shown_.pending_lead_column();
    const int pending_row = shown_.pending_lead_row();
    for (int row = 0; row < game_rows; ++row) {
        int column = 0;
        while (column < shown_.width()) {
            const int start = column;
            const std::uint8_t look = shown_.at(column, row).attribute;
            while (column < shown_.width() && shown_.at(column, row).attribute == look &&
                   !(row == pending_row && column == pending_column)) {
                ++column;
            }
            if (column > start) {
                screen_.set_cursor(start, row);
                screen_.set_attribute(look);
                screen_.print(shown_.row_bytes(row, start, column - start));
            }
            if (row == pending_row && column == pending_column) ++column;
        }
    }
    put_cursor_back();
}

// After the replay's own drawing: the console's cursor, look and waiting
// first byte are the game's again.
void ReplayConsole::put_cursor_back() {
    const int pending_column = shown_.pending_lead_column();
    const int pending_row = shown_.pending_lead_row();
    if (pending_column >= 0 && pending_row >= 0) {
        const Cell& lead = shown_.at(pending_column, pending_row);
        screen_.set_cursor(pending_column, pending_row);
        screen_.set_attribute(lead.attribute);
        screen_.print(std::string(1, static_cast<char>(lead.byte)));
    }
    screen_.set_attribute(shown_.attribute());
    screen_.set_cursor(shown_.cursor_column(), shown_.cursor_row());
}

void ReplayConsole::show_status() {
    ReplayStatus status;
    status.paused = paused_;
    status.speed = speed_.text();
    status.key = next_key_;
    status.keys = recording_.keys.size();
    status.turn_word = turn_word_;
    status.turn = last_turn_ ? last_turn_->turn : 0;
    status.time_ms = time_reached();
    status.whole_ms = whole_ms_;
    publish_replay_status(status);
    if (!options_.status_line) return;
    const std::string line = replay_status_line(status, screen_columns);
    if (line == status_shown_) return;
    status_shown_ = line;
    screen_.set_cursor(0, status_row);
    screen_.set_attribute(attr_normal);
    screen_.print(line);
    put_cursor_back();
    screen_.sleep_ms(0);
}

// ---------------------------------------------------------------------------
// The verdict.

ReplayConsole::Outcome ReplayConsole::outcome(int status) const {
    const std::optional<RecordedEnding>& ending = recording_.ending;
    if (parted_at_ || off_beat_ || next_key_ != recording_.keys.size()) return Outcome::parted;
    if (ending) {
        if (next_turn_ != recording_.turns.size()) return Outcome::parted;
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
    std::optional<RecordedTurn> mark = parted_at_;
    if (!mark && next_turn_ < recording_.turns.size() && (recording_.ending || off_beat_)) {
        mark = recording_.turns[next_turn_];
    }
    if (mark) {
        return "the replay went another way at " + std::string(turn_word_) + " " + std::to_string(mark->turn) +
               " (poll " + std::to_string(mark->at.poll) + ")";
    }
    std::string ended = "ended with status " + std::to_string(status);
    if (recording_.ending) ended += ", the recording with status " + std::to_string(recording_.ending->status);
    return "the replay went another way than the recording: " + keys + ", " + ended;
}

}  // namespace rpg
