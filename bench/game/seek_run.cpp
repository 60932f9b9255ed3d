// Seeks in a replay, as the replay's keys make them: the data files read
// again and the run played from its start without drawing up to the poll
// asked for, then that screen shown. A battle's recording (the longest golden
// one) is sought at eleven points from its start to its end; a field's
// recording of ten minutes and one of a minute are sought at the same second,
// which must cost the same: a seek plays the run up to it, not the file.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "battle/flow.h"
#include "data/loaders.h"
#include "field/field.h"
#include "measure.h"
#include "platform/memory/memory_console.h"
#include "recording/recorded_console.h"
#include "recording/replay_console.h"
#include "report.h"
#include "runs.h"
#include "support/data_folder.h"

#ifndef RPG_RECORDINGS_DIR
#define RPG_RECORDINGS_DIR "tests/recordings"
#endif

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// Plays `game` on a replay that seeks to `poll` and pauses there; the screen's
// keyboard has no key, so the pause ends the run. Returns the milliseconds.
template <typename Game>
double seek_ms(const rpg::Recording& recording, std::int64_t poll, Game game) {
    rpg::MemoryConsole screen;
    const auto start = Clock::now();
    rpg::ReplayConsole replay(screen, recording, rpg::ReplayOptions{0, true, true, nullptr});
    replay.seek(rpg::ReplayConsole::Seek{rpg::ReplayConsole::Seek::poll, poll}, true);
    try {
        game(replay);
    } catch (const rpg::InputClosed&) {
        // paused at the poll asked for: the run ends here
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // A replay that stopped short of the poll (it went another way) sought nothing.
    return replay.polls() > poll ? ms : 1e9;
}

int play_battle_again(rpg::Console& con, std::uint32_t seed) {
    rpg::GameRecords records;
    std::string error;
    if (rpg::load_game_data(records, rpg::test::assets_folder(), error) != rpg::LoadResult::ok) return 1;
    rpg::Battle b(con);
    b.rec = records;
    return rpg::play_battle(b, seed);
}

// A field run of `seconds` seconds of its time, recorded on the memory console.
std::string field_recording(long seconds) {
    std::string text;
    rpg::RecordingWriter writer(&text);
    writer.write(rpg::header_lines(rpg::RecordingHeader{"field", 1, false, 80, 24, {}}));
    rpg::MemoryConsole con;
    for (long s = 0; s < seconds; s += 2) con.add_arrow(s % 4 == 0 ? rpg::key_left : rpg::key_right, s * 1000 + 900);
    rpg::RecordingConsole recorder(con, writer);
    rpg::Field field(recorder);
    std::string error;
    rpg::load_game_data(field.records, rpg::test::assets_folder(), error, rpg::DataUser::field);
    rpg::start_field(field, std::filesystem::path(rpg::test::assets_folder()) / rpg::map_file_name);
    rpg::run_field(field, seconds * 100);
    recorder.finish(0);
    return text;
}

double field_seek_ms(const rpg::Recording& recording, std::int64_t poll) {
    return seek_ms(recording, poll, [](rpg::Console& con) {
        rpg::Field field(con);
        std::string error;
        rpg::load_game_data(field.records, rpg::test::assets_folder(), error, rpg::DataUser::field);
        rpg::start_field(field, std::filesystem::path(rpg::test::assets_folder()) / rpg::map_file_name);
        rpg::run_field(field, -1);
    });
}

}  // namespace

void seek_run() {
    std::string problem;
    const std::optional<std::string> text =
        rpg::read_recording_file(std::string(RPG_RECORDINGS_DIR) + "/battle_lost.txt", problem);
    rpg::RecordingError error;
    const std::optional<rpg::Recording> battle = text ? rpg::parse_recording(*text, error) : std::nullopt;
    if (!battle || !battle->ending) {
        missing(Section::headless, "seek in a battle's replay", "no recording: " + problem + error.message, "");
        return;
    }
    double worst = 0;
    const std::int64_t polls = battle->ending->at.poll;
    for (int tenth = 0; tenth <= 10; ++tenth) {
        for (int again = 0; again < 5; ++again) {
            worst = std::max(worst, seek_ms(*battle, std::min(polls * tenth / 10, polls - 1),
                                            [&](rpg::Console& con) { play_battle_again(con, battle->header.seed); }));
        }
    }
    add(Section::headless,
        format("seek in a battle's replay (%zu keys, %lld polls)", battle->keys.size(), static_cast<long long>(polls)),
        format("worst of 55: %.2f ms", worst), "<= 100 ms", worst <= 100);

    const std::string short_text = field_recording(60);
    const std::string long_text = field_recording(600);
    const std::optional<rpg::Recording> minute = rpg::parse_recording(short_text, error);
    const std::optional<rpg::Recording> ten = rpg::parse_recording(long_text, error);
    if (!minute || !ten || minute->turns.size() < 30) {
        missing(Section::headless, "seek in a field's replay", "the field was not recorded", "");
        return;
    }
    const std::int64_t at = minute->turns[29].at.poll;  // 30 seconds in
    double in_minute = 1e9;
    double in_ten = 1e9;
    for (int again = 0; again < 5; ++again) {
        in_minute = std::min(in_minute, field_seek_ms(*minute, at));
        in_ten = std::min(in_ten, field_seek_ms(*ten, at));
    }
    add(Section::headless, "seek to 30 s in a field's replay of 10 min / of 1 min",
        format("%.2f ms / %.2f ms", in_ten, in_minute), "<= 1.5x (by the length played)", in_ten <= in_minute * 1.5);
}

}  // namespace bench
