// Arbitrary recordings: the parser either refuses one with a line number
// within the file and a message, or reads one that writes back to the same
// recording. A recording of the battle or the field is then replayed at full
// speed on the in-memory console while being recorded again, and the new
// recording must replay to the very same screen and reach its ending: what
// a replay shows, a recording of it shows again.

#include <cstdint>
#include <string>
#include <string_view>

#include "battle/flow.h"
#include "field/field.h"
#include "fuzz_support.h"
#include "recording/recorded_console.h"
#include "recording/recording.h"
#include "recording/replay_console.h"

namespace {

using namespace rpg;

struct Replayed {
    std::string screen;
    std::string recorded;  // the replay recorded anew
    ReplayConsole::Outcome outcome = ReplayConsole::Outcome::parted;
};

int play(const std::string& program, Console& con, std::uint32_t seed) {
    if (program == "battle") {
        Battle b{con};
        b.rec = fuzz::bundled_records();
        return play_battle(b, seed);
    }
    Field field(con);
    field.records = fuzz::bundled_records();
    seed_random(field.random, seed);
    if (!start_field(field, fuzz::sample_folder() / "test.txt")) fuzz::fault("the sample map does not open");
    run_field(field, 3000);  // the field has no end of its own
    return 0;
}

Replayed replay(const Recording& recording) {
    const int columns = recording.header.program == "battle" ? 80 : map_columns;
    const int rows = recording.header.program == "battle" ? 19 : map_rows;
    fuzz::GuardedConsole screen(columns, rows);
    ReplayConsole replaying(screen, recording, 0);
    Replayed result;
    RecordingWriter writer(&result.recorded);
    writer.write(header_lines(recording.header));
    RecordingConsole recorder(replaying, writer);
    int status = 1;
    try {
        status = play(recording.header.program, recorder, recording.header.seed);
    } catch (const InputClosed&) {
        // The recording ran out of keys.
    }
    recorder.finish(status);
    result.outcome = replaying.outcome(status);
    result.screen = screen.area_snapshot();
    return result;
}

// The recording written out again, progress marks left out.
std::string written(const Recording& r) {
    std::string text = header_lines(r.header);
    for (const RecordedClock& clock : r.clock) text += clock_line(clock);
    for (const RecordedTurn& turn : r.turns) text += turn_line(turn);
    for (const RecordedKey& key : r.keys) text += key_line(key);
    if (r.ending) text += ending_line(*r.ending);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RecordingError error;
    const std::optional<Recording> parsed = parse_recording(text, error);
    if (!parsed) {
        std::size_t lines = 1;
        for (char c : text) lines += c == '\n';
        if (error.message.empty() || error.line > lines) fuzz::fault("a refusal without a message or a line");
        return 0;
    }
    const std::string again = written(*parsed);
    RecordingError ignored;
    const std::optional<Recording> reread = parse_recording(again, ignored);
    if (!reread || written(*reread) != again) fuzz::fault("a recording does not read back as written");

    const std::string& program = parsed->header.program;
    if (program != "battle" && program != "field") return 0;
    // Keys the game acts on, and the field's never ends: bound the work.
    if (parsed->keys.size() > 2000) return 0;
    const Replayed first = replay(*parsed);
    const std::optional<Recording> recorded = parse_recording(first.recorded, ignored);
    if (!recorded) fuzz::fault("a replay's recording does not parse: " + ignored.message);
    const Replayed second = replay(*recorded);
    if (second.screen != first.screen) fuzz::fault("the replay of a replay shows another screen");
    if (second.outcome != ReplayConsole::Outcome::ending)
        fuzz::fault("the replay of a replay did not reach its ending");
    return 0;
}
