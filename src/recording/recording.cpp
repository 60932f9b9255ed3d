#include "recording/recording.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>
#include <thread>

namespace rpg {
namespace {

// The words of a line, split at single spaces.
std::vector<std::string_view> words_of(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = line.find(' ', start);
        words.push_back(line.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    return words;
}

bool whole_number(std::string_view word, std::int64_t low, std::int64_t high, std::int64_t& value) {
    const char* end = word.data() + word.size();
    auto [stop, problem] = std::from_chars(word.data(), end, value);
    return !word.empty() && problem == std::errc() && stop == end && value >= low && value <= high;
}

// Reads the words of a line as numbers within bounds, in turn; the first
// failure is kept as the message.
class NumberReader {
public:
    explicit NumberReader(const std::vector<std::string_view>& words) : words_(words) {}
    std::int64_t next(const char* what, std::int64_t low, std::int64_t high) {
        std::int64_t value = 0;
        if (!error.empty()) return low;
        if (index_ >= words_.size()) {
            error = std::string("no ") + what;
        } else if (!whole_number(words_[index_], low, high, value)) {
            error = std::string(what) + " '" + std::string(words_[index_]) + "' is not a whole number from " +
                    std::to_string(low) + " to " + std::to_string(high);
        }
        ++index_;
        return error.empty() ? value : low;
    }
    RunMoment moment() {
        RunMoment at;
        at.poll = next("poll", 0, recording_max_count);
        at.paused_ms = next("paused time", 0, recording_max_count);
        at.wall_ms = next("wall-clock time", 0, recording_max_count);
        return at;
    }
    // After the last number: nothing more may follow.
    void done() {
        if (error.empty() && index_ < words_.size()) error = "more on the line than expected";
    }
    std::string error;

private:
    const std::vector<std::string_view>& words_;
    std::size_t index_ = 1;  // past the line's keyword
};

std::string moment_words(const RunMoment& at) {
    return std::to_string(at.poll) + " " + std::to_string(at.paused_ms) + " " + std::to_string(at.wall_ms);
}

// A later moment may not come before an earlier one.
bool in_order(const RunMoment& before, const RunMoment& after) {
    return after.poll >= before.poll && after.paused_ms >= before.paused_ms && after.wall_ms >= before.wall_ms;
}

}  // namespace

std::optional<Recording> parse_recording(std::string_view text, RecordingError& error) {
    Recording r;
    std::size_t number = 0;
    auto fail = [&](std::string message) {
        error.line = number;
        error.message = std::move(message);
        return std::nullopt;
    };
    if (text.size() > recording_max_bytes)
        return fail("larger than " + std::to_string(recording_max_bytes >> 20) + " MiB");

    enum class Stage { magic, program, seed, ambiguous, size, body, ended } stage = Stage::magic;
    std::optional<RunMoment> last;  // of the last key, mark or ending
    // Turn marks follow one another, not the keys: a key seen before a mark
    // is written once it is read, after it.
    std::optional<RunMoment> last_turn;
    std::size_t start = 0;
    while (start < text.size()) {
        ++number;
        if (number > recording_max_lines) return fail("more than " + std::to_string(recording_max_lines) + " lines");
        const std::size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        if (line.size() > recording_max_line) {
            return fail("a line longer than " + std::to_string(recording_max_line) + " bytes");
        }
        for (char c : line) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte > 0x7e) return fail("not text (a byte " + std::to_string(byte) + ")");
        }
        if (end == std::string_view::npos) return fail("cut off in the middle of the line");
        const std::vector<std::string_view> words = words_of(line);
        const std::string_view keyword = words[0];
        NumberReader numbers(words);

        if (stage == Stage::magic) {
            if (words.size() != 2 || keyword != recording_magic) return fail("not a recording of this game");
            std::int64_t version = 0;
            if (!whole_number(words[1], 0, 1'000'000, version) || version < recording_oldest_version ||
                version > recording_version) {
                return fail("a recording of version " + std::string(words[1]) + ", this program reads versions " +
                            std::to_string(recording_oldest_version) + " to " + std::to_string(recording_version));
            }
            r.version = static_cast<int>(version);
            stage = Stage::program;
            continue;
        }
        if (stage == Stage::ended) return fail("more after the ending");

        const char* expected = stage == Stage::program     ? "program"
                               : stage == Stage::seed      ? "seed"
                               : stage == Stage::ambiguous ? "ambiguous"
                               : stage == Stage::size      ? "size"
                                                           : nullptr;
        if (expected != nullptr && keyword != expected)
            return fail(std::string("the '") + expected + "' line is missing");

        if (keyword == "program") {
            if (words.size() != 2 || words[1].empty()) return fail("a program line needs one name");
            r.header.program = words[1];
            stage = Stage::seed;
        } else if (keyword == "seed") {
            r.header.seed = static_cast<std::uint32_t>(numbers.next("seed", 0, 4294967295));
            stage = Stage::ambiguous;
        } else if (keyword == "ambiguous") {
            if (words.size() != 2 || (words[1] != "wide" && words[1] != "narrow")) {
                return fail("the ambiguous width must be wide or narrow");
            }
            r.header.ambiguous_wide = words[1] == "wide";
            stage = Stage::size;
        } else if (keyword == "size") {
            r.header.columns = static_cast<int>(numbers.next("columns", 1, recording_max_size));
            r.header.rows = static_cast<int>(numbers.next("rows", 1, recording_max_size));
            stage = Stage::body;
        } else if (keyword == "data") {
            if (!r.keys.empty() || !r.clock.empty() || last) return fail("a data line after the run began");
            if (words.size() != 3 || words[1].empty()) return fail("a data line needs a file name and a digest");
            RecordedFile file{std::string(words[1]), parse_hex64(words[2])};
            if (!file.digest && words[2] != "missing") return fail("a digest must be 16 hex digits or 'missing'");
            if (r.header.files.size() >= 64) return fail("too many data files");
            r.header.files.push_back(std::move(file));
        } else if (keyword == "clock") {
            RecordedClock clock;
            clock.seconds = numbers.next("clock", -recording_max_count, recording_max_count);
            clock.from_reading = numbers.next("clock reading", 0, recording_max_count);
            numbers.done();
            if (!numbers.error.empty()) return fail(numbers.error);
            if (!r.clock.empty() && clock.from_reading <= r.clock.back().from_reading) {
                return fail("clock readings out of order");
            }
            r.clock.push_back(clock);
        } else if (keyword == "key") {
            RecordedKey key;
            key.code = static_cast<int>(numbers.next("key code", 0, 255));
            key.at = numbers.moment();
            numbers.done();
            if (!numbers.error.empty()) return fail(numbers.error);
            const bool after_key = !r.keys.empty() && key.at.poll <= r.keys.back().at.poll;
            if (after_key || (last && !in_order(*last, key.at))) return fail("moments out of order");
            r.keys.push_back(key);
            last = key.at;
        } else if (keyword == "turn" && r.version >= 2) {
            RecordedTurn turn;
            turn.turn = static_cast<int>(numbers.next("turn", 0, 1'000'000'000));
            turn.at = numbers.moment();
            if (numbers.error.empty() && words.size() != 6) {
                numbers.error = words.size() < 6 ? "no screen digest" : "more on the line than expected";
            }
            if (!numbers.error.empty()) return fail(numbers.error);
            const std::optional<std::uint64_t> screen = parse_hex64(words[5]);
            if (!screen) return fail("a screen digest must be 16 hex digits");
            turn.screen = *screen;
            const bool back = !r.turns.empty() && turn.turn < r.turns.back().turn;
            if (back || (last_turn && !in_order(*last_turn, turn.at))) return fail("marks out of order");
            if (r.turns.size() >= recording_max_lines / 4) return fail("too many turn marks");
            r.turns.push_back(turn);
            last_turn = turn.at;
        } else if (keyword == "mark" || keyword == "end") {
            RecordedEnding ending;
            if (keyword == "end") ending.status = static_cast<int>(numbers.next("status", 0, 255));
            ending.at = numbers.moment();
            numbers.done();
            if (!numbers.error.empty()) return fail(numbers.error);
            if (last && !in_order(*last, ending.at)) return fail("moments out of order");
            if (keyword == "end" && last_turn && !in_order(*last_turn, ending.at)) return fail("moments out of order");
            last = ending.at;
            if (keyword == "mark") {
                r.last_mark = ending.at;
            } else {
                r.ending = ending;
                stage = Stage::ended;
            }
        } else {
            return fail("an unknown line '" + std::string(keyword.substr(0, 20)) + "'");
        }
        if (keyword == "seed" || keyword == "size") numbers.done();
        if (!numbers.error.empty()) return fail(numbers.error);
    }
    if (stage < Stage::body) {
        ++number;
        return fail(number == 1 ? "empty, not a recording" : "cut off before the run began");
    }
    return r;
}

std::optional<std::string> read_recording_file(const std::filesystem::path& name, std::string& error) {
    ReadableFile file(name);
    switch (file.state()) {
        case ReadableFile::State::open: break;
        case ReadableFile::State::missing:
            error = file.open_error() == ENOENT ? "no such file" : "cannot be opened";
            return std::nullopt;
        case ReadableFile::State::not_regular:
            error = std::string_view(file.kind()) == "a folder" ? "a folder, not a recording" : "not a regular file";
            return std::nullopt;
    }
    std::string text;
    switch (read_whole(file, recording_max_bytes, text)) {
        case WholeRead::ok: return text;
        case WholeRead::too_large:
            error = "larger than " + std::to_string(recording_max_bytes >> 20) + " MiB, not a recording";
            break;
        case WholeRead::failed: error = "cannot be read"; break;
    }
    return std::nullopt;
}

std::string header_lines(const RecordingHeader& h) {
    std::string text = std::string(recording_magic) + " " + std::to_string(recording_version) + "\n";
    text += "program " + h.program + "\n";
    text += "seed " + std::to_string(h.seed) + "\n";
    text += std::string("ambiguous ") + (h.ambiguous_wide ? "wide" : "narrow") + "\n";
    text += "size " + std::to_string(h.columns) + " " + std::to_string(h.rows) + "\n";
    for (const RecordedFile& file : h.files) {
        text += "data " + file.name + " " + (file.digest ? hex64(*file.digest) : "missing") + "\n";
    }
    return text;
}

std::string key_line(const RecordedKey& key) {
    return "key " + std::to_string(key.code) + " " + moment_words(key.at) + "\n";
}

std::string clock_line(const RecordedClock& clock) {
    return "clock " + std::to_string(clock.seconds) + " " + std::to_string(clock.from_reading) + "\n";
}

std::string mark_line(const RunMoment& at) { return "mark " + moment_words(at) + "\n"; }

std::string turn_line(const RecordedTurn& turn) {
    return "turn " + std::to_string(turn.turn) + " " + moment_words(turn.at) + " " + hex64(turn.screen) + "\n";
}

std::string ending_line(const RecordedEnding& ending) {
    return "end " + std::to_string(ending.status) + " " + moment_words(ending.at) + "\n";
}

bool RecordingWriter::create(const std::filesystem::path& file, bool replace, std::string& error) {
    switch (out_.create(file, replace)) {
        case WrittenFile::Created::ok: file_ = file; return true;
        case WrittenFile::Created::exists: error = "already exists (give --force to replace it)"; break;
        case WrittenFile::Created::folder: error = "is a folder"; break;
        case WrittenFile::Created::not_regular: error = "is not a regular file"; break;
        case WrittenFile::Created::not_emptied: error = "cannot be replaced"; break;
        case WrittenFile::Created::failed:
            error = std::string("cannot be created: ") + std::strerror(out_.error());
            break;
    }
    return false;
}

void RecordingWriter::discard() {
    if (!out_.is_open()) return;
    out_.close();
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
}

void RecordingWriter::write(const std::string& line) {
    if (into_) into_->append(line);
    if (!out_.is_open()) return;
    writing_.store(1);
    if (sealed_.load() == 0) out_.write(line);
    writing_.store(0);
}

bool RecordingWriter::seal(bool wait_for_line) {
    sealed_.store(1);
    // A line is a single short write: it is over in far less than this.
    for (int looks = 0; wait_for_line && writing_.load() != 0 && looks < 1'000'000; ++looks) {
        std::this_thread::yield();
    }
    return writing_.load() == 0;
}

}  // namespace rpg
