#pragma once
// A run with --record or --replay: the file is dealt with before the
// terminal is touched, the game plays on a recording or replaying console
// over the terminal, and the end is noted in the file or judged against it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/console_options.h"
#include "recording/cast.h"
#include "recording/recorded_console.h"
#include "recording/recording.h"
#include "recording/replay_console.h"

namespace rpg {

// What the command line asks of a run's recordings.
struct RecordingRequest {
    std::optional<std::filesystem::path> record;  // --record FILE
    bool force = false;                           // --force: --record may replace FILE
    std::optional<std::filesystem::path> replay;  // --replay FILE
    std::optional<int> speed;                     // --speed N, 0 for "max"
    std::optional<std::filesystem::path> cast;    // --cast OUT: the replay as an asciicast too
    bool check = false;                           // --check: the replay without a terminal
};

class RecordedRun {
public:
    // Reads and checks the recording to replay, or creates the file to
    // record in, for `program` reading `data_files` from `data_folder`.
    // False, with one line in `message` naming the file, when the file cannot
    // be used.
    bool prepare(const RecordingRequest& request, const std::string& program,
                 const std::vector<std::string>& data_files, const std::filesystem::path& data_folder,
                 std::string& message);
    // The console would not start: a file made for the recording is removed.
    void abandon();
    // The console is up: returns the console the game plays on, `con` itself
    // when neither recording nor replaying. The seed is settled in `seed`:
    // a recording notes the one given or reads the clock for it, a replay
    // takes the recorded one.
    Console& begin(Console& con, const ConsoleFacts& facts, std::optional<std::uint32_t>& seed);
    // Plays `game` on the console begin() returned; a replay whose seek goes
    // back plays it again from its start, as often as asked.
    int play(Console& con, const std::function<int(Console&)>& game);
    // For a replay without a terminal: the terminal the run was recorded on.
    ConsoleFacts recorded_facts() const;
    // The run ended with `status`: a recording notes it.
    void end(int status);
    // What to say once the terminal is given back, each line without the
    // program's name.
    std::vector<std::string> closing_lines(int status) const;
    // How a replay that ended with `status` came out; none when not replaying.
    std::optional<ReplayConsole::Outcome> replay_outcome(int status) const;
    // The exit status of the recorded run (for a replay that reached its ending).
    int recorded_status() const;

private:
    bool replaying() const { return recording_.has_value(); }

    std::string program_;
    std::filesystem::path file_;
    std::optional<Recording> recording_;  // the one replayed
    std::vector<std::string> differences_;
    int speed_ = 1;
    bool check_ = false;
    RecordingWriter writer_;
    RecordingWriter cast_file_;
    std::unique_ptr<CastWriter> cast_;
    std::vector<RecordedFile> files_;
    std::unique_ptr<RecordingConsole> recorder_;
    std::unique_ptr<ReplayConsole> replayer_;
};

}  // namespace rpg
