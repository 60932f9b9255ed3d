#pragma once
// Recordings of a run: the text format, its writer and its parser.
//
// A recording is a short text file, one item per line:
//
//   rpg-recording 2                  the format and its version
//   program battle                   which program made it
//   seed 7                           the random generator's seed
//   ambiguous narrow                 the width of ambiguous characters in force
//   size 80 24                       the terminal's columns and rows at the start
//   data Hero_Status_Info.txt 9a3c…  FNV-1a 64 of each data file's bytes (16 hex
//                                    digits), or "missing"
//   clock 1765000000 0               the clock read SECONDS from its Nth reading on
//   key 13 41 2500 3120              a key code, the poll it was seen at, the
//                                    milliseconds paused before it, and the
//                                    wall-clock milliseconds since the start
//   mark 900 12000 15000             the run got this far (poll, paused, wall):
//                                    before each wait for a key, and at most
//                                    once a second
//   turn 3 412 5230 8120 9a3c…       a turn mark: the turn (the battle's turns
//                                    counted, the field's seconds), the
//                                    moment, and the digest of the game's
//                                    screen then (FNV-1a 64 of its 19 rows'
//                                    bytes and looks, 16 hex digits)
//   end 0 950 12500 16000            the exit status, then poll, paused, wall
//
// Version 1 had no turn marks; it is still read and replayed.
//
// A poll is one key_waiting or read_key call, counted from 0: a key delivered
// at the same poll gives the same run on any machine at any speed. The
// ending's poll is the number of polls answered: a run that ended because the
// terminal went away failed at that poll. A run ended by a signal (Ctrl+C, a
// crash) ends with the status 128 + the signal, at the polls it had answered;
// one cut off otherwise (SIGKILL, the power) has no "end" line.

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace rpg {

inline constexpr const char* recording_magic = "rpg-recording";
inline constexpr int recording_version = 2;
inline constexpr int recording_oldest_version = 1;
// Bounds on what is read: a recording is small text.
inline constexpr std::size_t recording_max_line = 200;
inline constexpr std::size_t recording_max_bytes = 64u << 20;
inline constexpr std::size_t recording_max_lines = 4'000'000;
inline constexpr std::int64_t recording_max_count = 1'000'000'000'000'000;  // polls and milliseconds
inline constexpr int recording_max_size = 1000;                             // terminal columns and rows

// The moment of something in a run.
struct RunMoment {
    std::int64_t poll = 0;       // key polls before it
    std::int64_t paused_ms = 0;  // the program's pauses before it, in total
    std::int64_t wall_ms = 0;    // wall-clock time since the start
};

struct RecordedKey {
    int code = 0;
    RunMoment at;
};

// A turn mark: where the game was, and what its screen showed then.
struct RecordedTurn {
    int turn = 0;
    RunMoment at;
    std::uint64_t screen = 0;
};

struct RecordedClock {
    std::int64_t seconds = 0;
    std::int64_t from_reading = 0;  // the index of the clock reading that first gave it
};

struct RecordedFile {
    std::string name;
    std::optional<std::uint64_t> digest;  // none: the file was missing
};

struct RecordedEnding {
    int status = 0;
    RunMoment at;
};

struct RecordingHeader {
    std::string program;
    std::uint32_t seed = 0;
    bool ambiguous_wide = false;
    int columns = 80;
    int rows = 24;
    std::vector<RecordedFile> files;
};

struct Recording {
    int version = recording_version;
    RecordingHeader header;
    std::vector<RecordedKey> keys;
    std::vector<RecordedTurn> turns;
    std::vector<RecordedClock> clock;
    std::optional<RunMoment> last_mark;
    std::optional<RecordedEnding> ending;  // none: the recording was cut short
};

struct RecordingError {
    std::size_t line = 0;  // 1-based; 0 when the file as a whole is at fault
    std::string message;
};

// Parses a whole recording; on failure `error` says where and why.
std::optional<Recording> parse_recording(std::string_view text, RecordingError& error);

// Reads a recording file within the bounds above: only a regular file, never
// waiting on a FIFO. Empty on failure, with `error` set.
std::optional<std::string> read_recording_file(const std::filesystem::path& file, std::string& error);

// A data file's digest, as a recording notes it, is file_digest's (platform/files.h).

// The lines of a recording, each one line of text ending in '\n'.
std::string header_lines(const RecordingHeader& header);
std::string key_line(const RecordedKey& key);
std::string clock_line(const RecordedClock& clock);
std::string mark_line(const RunMoment& at);
std::string turn_line(const RecordedTurn& turn);
std::string ending_line(const RecordedEnding& ending);

// Writes a recording as the run goes, each line out of the program as soon as
// it is written.
class RecordingWriter {
public:
    RecordingWriter() = default;
    // Writes into a string instead of a file (for tests).
    explicit RecordingWriter(std::string* into) : into_(into) {}
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates the file, new unless `replace`; false with `error` set when it
    // exists or cannot be made.
    bool create(const std::filesystem::path& file, bool replace, std::string& error);
    // Closes and removes the file made by create (nothing was recorded).
    void discard();
    void write(const std::string& line);
    bool is_open() const { return out_.is_open() || into_ != nullptr; }
    // For a signal handler: the file's descriptor (-1 when none). Sealing
    // makes every later write do nothing, and says whether the file is whole
    // (no line being written) for the handler's own last line. A handler on
    // the interrupted thread cannot wait for a line it cut short; one on a
    // thread of its own waits for the line to be finished.
    int descriptor() const { return out_.descriptor(); }
    bool seal(bool wait_for_line);

private:
    std::atomic<int> writing_{0};
    std::atomic<int> sealed_{0};
    std::string* into_ = nullptr;
    WrittenFile out_;
    std::filesystem::path file_;
};

}  // namespace rpg
