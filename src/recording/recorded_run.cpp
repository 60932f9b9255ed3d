#include "recording/recorded_run.h"

#include "data/random.h"

namespace rpg {
namespace {

// The digests of the files the program reads, as found in the data folder now.
std::vector<RecordedFile> data_digests(const std::vector<std::string>& names, const std::filesystem::path& folder) {
    std::vector<RecordedFile> files;
    files.reserve(names.size());
    for (const std::string& name : names) files.push_back(RecordedFile{name, file_digest(folder / name)});
    return files;
}

// The files whose bytes are not those recorded, by name.
std::string other_files(const std::vector<RecordedFile>& recorded, const std::vector<RecordedFile>& now) {
    std::string names;
    for (const RecordedFile& file : now) {
        bool same = false;
        for (const RecordedFile& then : recorded) same = same || (then.name == file.name && then.digest == file.digest);
        if (!same) names += (names.empty() ? "" : ", ") + file.name;
    }
    return names;
}

const char* width_name(bool wide) { return wide ? "wide" : "narrow"; }

}  // namespace

bool RecordedRun::prepare(const RecordingRequest& request, const std::string& program,
                          const std::vector<std::string>& data_files, const std::filesystem::path& data_folder,
                          std::string& message) {
    program_ = program;
    if (!request.record && !request.replay) return true;
    files_ = data_digests(data_files, data_folder);
    if (request.record) {
        file_ = *request.record;
        if (!writer_.create(file_, request.force, message)) {
            message = path_text(file_) + ": " + message;
            return false;
        }
        return true;
    }
    file_ = *request.replay;
    speed_ = request.speed.value_or(1);
    std::optional<std::string> text = read_recording_file(file_, message);
    if (!text) {
        message = path_text(file_) + ": " + message;
        return false;
    }
    RecordingError bad;
    recording_ = parse_recording(*text, bad);
    if (!recording_) {
        message = path_text(file_) + ":" + (bad.line > 0 ? std::to_string(bad.line) + ":" : "") + " " + bad.message;
        return false;
    }
    if (recording_->header.program != program) {
        message = path_text(file_) + ":2: a recording of " + recording_->header.program + ", not of " + program;
        recording_.reset();
        return false;
    }
    check_ = request.check;
    if (check_) speed_ = 0;
    if (request.cast && !cast_file_.create(*request.cast, request.force, message)) {
        message = path_text(*request.cast) + ": " + message;
        recording_.reset();
        return false;
    }
    const std::string others = other_files(recording_->header.files, files_);
    if (!others.empty()) differences_.push_back("recorded with other data files: " + others);
    return true;
}

void RecordedRun::abandon() {
    writer_.discard();
    cast_file_.discard();
}

ConsoleFacts RecordedRun::recorded_facts() const {
    if (!recording_) return ConsoleFacts{};
    const RecordingHeader& header = recording_->header;
    return ConsoleFacts{header.ambiguous_wide ? AmbiguousWidth::wide : AmbiguousWidth::narrow, header.columns,
                        header.rows};
}

int RecordedRun::play(Console& con, const std::function<int(Console&)>& game) {
    for (;;) {
        try {
            const int status = game(con);
            if (replayer_) replayer_->show_last_screen();
            return status;
        } catch (const ReplayRestart&) {
            replayer_->rewind();
        }
    }
}

Console& RecordedRun::begin(Console& con, const ConsoleFacts& facts, std::optional<std::uint32_t>& seed) {
    const bool wide = facts.ambiguous == AmbiguousWidth::wide;
    if (writer_.is_open()) {
        // The seed is read from the clock here, outside the recorded run, and
        // written down, so that a replay needs no clock for it.
        seed = seed.value_or(seed_from_time(con.now_seconds()));
        writer_.write(header_lines(RecordingHeader{program_, *seed, wide, facts.columns, facts.rows, files_}));
        recorder_ = std::make_unique<RecordingConsole>(con, writer_);
        return *recorder_;
    }
    if (!recording_) return con;
    const RecordingHeader& header = recording_->header;
    seed = header.seed;
    if (header.ambiguous_wide != wide) {
        differences_.push_back(std::string("recorded where ambiguous characters are ") +
                               width_name(header.ambiguous_wide) + ", this terminal draws them " + width_name(wide));
    }
    if (facts.columns < header.columns || facts.rows < header.rows) {
        differences_.push_back("recorded at " + std::to_string(header.columns) + "x" + std::to_string(header.rows) +
                               ", this terminal is " + std::to_string(facts.columns) + "x" +
                               std::to_string(facts.rows));
    }
    if (!differences_.empty()) {
        // Said before the replay starts, for a few seconds of the replay's pace.
        con.set_attribute(attr_normal);
        int row = 0;
        for (const std::string& line : differences_) {
            con.set_cursor(0, row++);
            con.print(line.substr(0, 79));
        }
        con.set_cursor(0, ++row);
        con.print("The replay may differ from the recording.");
        con.sleep_ms(speed_ > 0 ? 3000 / speed_ : 0);
        for (int blank = 0; blank <= row; ++blank) {
            con.set_cursor(0, blank);
            con.print(std::string(79, ' '));
        }
        con.set_cursor(0, 0);
    }
    ReplayOptions options{speed_};
    if (cast_file_.is_open()) {
        const std::int64_t started = recording_->clock.empty() ? 0 : recording_->clock.front().seconds;
        cast_ = std::make_unique<CastWriter>(cast_file_, header.columns, header.rows, header.ambiguous_wide, started);
        options.cast = cast_.get();
    }
    // The replay's keys, unless it is written out or checked: then it plays through.
    options.controls = !options.cast && !check_;
    options.status_line = options.controls && facts.rows > game_rows;
    replayer_ = std::make_unique<ReplayConsole>(con, *recording_, options);
    if (check_ && !options.cast) replayer_->seek(ReplayConsole::Seek{ReplayConsole::Seek::end, 0});
    return *replayer_;
}

void RecordedRun::end(int status) {
    if (recorder_) recorder_->finish(status);
}

std::vector<std::string> RecordedRun::closing_lines(int status) const {
    std::vector<std::string> lines;
    if (!replayer_) return lines;
    for (const std::string& line : differences_) lines.push_back(path_text(file_) + ": " + line);
    lines.push_back(path_text(file_) + ": " + replayer_->verdict(status));
    return lines;
}

std::optional<ReplayConsole::Outcome> RecordedRun::replay_outcome(int status) const {
    if (!replayer_) return std::nullopt;
    return replayer_->outcome(status);
}

int RecordedRun::recorded_status() const { return recording_ && recording_->ending ? recording_->ending->status : 0; }

}  // namespace rpg
