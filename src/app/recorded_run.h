#pragma once
// A run with --record or --replay: the file is dealt with before the
// terminal is touched, the game plays on a recording or replaying console
// over the terminal, and the end is noted in the file or judged against it.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/recorded_console.h"
#include "app/recording.h"
#include "platform/console_options.h"

namespace rpg {

class RecordedRun {
public:
    // Reads and checks the recording to replay, or creates the file to
    // record in. False, with one line in `message` naming the file, when the
    // file cannot be used.
    bool prepare(const ProgramInfo& info, const StartUp& start, std::string& message);
    // The console would not start: a file made for the recording is removed.
    void abandon();
    // The console is up: returns the console the game plays on, `con` itself
    // when neither recording nor replaying. The seed is settled in `start`.
    Console& begin(Console& con, const ConsoleFacts& facts, StartUp& start);
    // The run ended with `status`: a recording notes it.
    void end(int status);
    // What to say once the terminal is given back, each line without the
    // program's name, and the program's exit status.
    std::vector<std::string> closing_lines(int status) const;
    int exit_status(int status) const;

private:
    bool replaying() const { return recording_.has_value(); }

    std::string program_;
    std::filesystem::path file_;
    std::optional<Recording> recording_;  // the one replayed
    std::vector<std::string> differences_;
    int speed_ = 1;
    RecordingWriter writer_;
    std::vector<RecordedFile> files_;
    std::unique_ptr<RecordingConsole> recorder_;
    std::unique_ptr<ReplayConsole> replayer_;
};

}  // namespace rpg
