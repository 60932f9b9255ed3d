#include "recording/replay_controls.h"

#include "platform/console.h"

namespace rpg {
namespace {

// The requests from outside and the status shown: one replay runs at a time,
// on the program's one thread.
std::deque<ReplayRequest> requests;
ReplayStatus published;

std::string clock_text(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    const std::string s = std::to_string(seconds % 60);
    return std::to_string(seconds / 60) + ":" + (s.size() < 2 ? "0" : "") + s;
}

}  // namespace

ReplayCommand ReplayKeys::feed(int code) {
    if (after_prefix_) {
        after_prefix_ = false;
        switch (code) {
            case key_right: return ReplayCommand::step_forward;
            case key_left: return ReplayCommand::step_back;
            case key_home: return ReplayCommand::to_start;
            case key_end: return ReplayCommand::to_end;
            default: return ReplayCommand::none;
        }
    }
    switch (code) {
        case key_arrow_prefix: after_prefix_ = true; return ReplayCommand::none;
        case key_space: return ReplayCommand::pause;
        case '.': return ReplayCommand::step_forward;
        case ',': return ReplayCommand::step_back;
        case '+': return ReplayCommand::faster;
        case '-': return ReplayCommand::slower;
        case ']': return ReplayCommand::next_turn;
        case '[': return ReplayCommand::previous_turn;
        default: return ReplayCommand::none;
    }
}

void ReplaySpeed::faster() {
    if (unpaced()) return;
    eighths_ *= 2;
    if (eighths_ > most_eighths) eighths_ = 0;
}

void ReplaySpeed::slower() {
    if (unpaced()) {
        eighths_ = most_eighths;
    } else if (eighths_ >= 2) {
        eighths_ /= 2;
    }
}

std::string ReplaySpeed::text() const {
    if (unpaced()) return "max";
    if (eighths_ % 8 == 0) return std::to_string(eighths_ / 8) + "x";
    if (eighths_ < 8 && 8 % eighths_ == 0) return "1/" + std::to_string(8 / eighths_) + "x";
    return std::to_string(eighths_) + "/8x";
}

std::string replay_status_line(const ReplayStatus& status, int columns) {
    std::string line = std::string(status.paused ? "paused " : "playing") + "  " + status.speed;
    line += "  key " + std::to_string(status.key) + "/" + std::to_string(status.keys);
    line += std::string("  ") + status.turn_word + " " + std::to_string(status.turn);
    line += "  " + clock_text(status.time_ms) + "/" + clock_text(status.whole_ms);
    const std::string help = "Space . , + - [ ] Home End";
    if (line.size() + 4 + help.size() <= static_cast<std::size_t>(columns)) {
        line += std::string(static_cast<std::size_t>(columns) - line.size() - help.size(), ' ') + help;
    }
    line.resize(static_cast<std::size_t>(columns), ' ');
    return line;
}

void submit_replay_request(const ReplayRequest& request) {
    if (requests.size() < 64) requests.push_back(request);
}

bool take_replay_request(ReplayRequest& request) {
    if (requests.empty()) return false;
    request = requests.front();
    requests.pop_front();
    return true;
}

const ReplayStatus& current_replay_status() { return published; }

void publish_replay_status(const ReplayStatus& status) { published = status; }

}  // namespace rpg
