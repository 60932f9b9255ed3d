// Recordings: what the parser refuses and where, the writer and the parser
// agreeing, the files it will and will not read or make, and a run recorded
// on the in-memory console replayed to the same screen.

#include "recording/recording.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>
#include <string>

#include "platform/memory/memory_console.h"
#include "platform/signal_note.h"
#include "recording/recorded_console.h"
#include "recording/recorded_run.h"
#include "recording/replay_console.h"
#include "support/data_folder.h"

namespace rpg {
namespace {

const std::string header = "rpg-recording 1\nprogram battle\nseed 7\nambiguous narrow\nsize 80 24\n";
const std::string header2 = "rpg-recording 2\nprogram battle\nseed 7\nambiguous narrow\nsize 80 24\n";

TEST(Recording, RefusalsNameTheLineAndSayWhy) {
    const struct {
        std::string text;
        std::size_t line;
        const char* message;
    } cases[] = {
        {"", 1, "empty, not a recording"},
        {"hello\n", 1, "not a recording of this game"},
        {"rpg-recording 3\nprogram battle\n", 1, "a recording of version 3, this program reads versions 1 to 2"},
        {"rpg-recording 1\nprogram battle\nseed 7\n", 4, "cut off before the run began"},
        {"rpg-recording 1\nseed 7\n", 2, "the 'program' line is missing"},
        {header + "key 13 0 0 0", 6, "cut off in the middle of the line"},
        {"rpg-recording 1\nprogram battle\nseed 4294967296\n", 3,
         "seed '4294967296' is not a whole number from 0 to 4294967295"},
        {"rpg-recording 1\nprogram battle\nseed 7\nambiguous huge\n", 4, "the ambiguous width must be wide or narrow"},
        {"rpg-recording 1\nprogram battle\nseed 7\nambiguous wide\nsize 0 24\n", 5,
         "columns '0' is not a whole number from 1 to 1000"},
        {header + "key 256 0 0 0\n", 6, "key code '256' is not a whole number from 0 to 255"},
        {header + "key 13 0 0 -5\n", 6, "wall-clock time '-5' is not a whole number from 0 to 1000000000000000"},
        {header + "key 13 0 0\n", 6, "no wall-clock time"},
        {header + "key 13 0 0 0 9\n", 6, "more on the line than expected"},
        {header + "key 13 4 0 0\nkey 13 4 0 0\n", 7, "moments out of order"},
        {header + "key 13 4 10 90\nkey 13 5 10 80\n", 7, "moments out of order"},
        {header + "mark 9 10 90\nkey 13 5 10 90\n", 7, "moments out of order"},
        {header + "clock 5 3\nclock 6 3\n", 7, "clock readings out of order"},
        {header + "end 0 1 1 1\nkey 13 5 10 90\n", 7, "more after the ending"},
        {header + "end 256 1 1 1\n", 6, "status '256' is not a whole number from 0 to 255"},
        {header + "jump 3\n", 6, "an unknown line 'jump'"},
        {header + "key 13 0 0 0\ndata Flame.txt missing\n", 7, "a data line after the run began"},
        {header + "data Flame.txt 12ab\n", 6, "a digest must be 16 hex digits or 'missing'"},
        {header + std::string(1 << 20, 'k') + "\n", 6, "a line longer than 200 bytes"},
        {"rpg-recording 1\nprogram b\x01\xff\n", 2, "not text (a byte 1)"},
        {"rpg-recording 1\r\n", 1, "not text (a byte 13)"},
        // Turn marks: only from version 2 on, in order, each with the screen's digest.
        {header + "turn 0 0 0 0 0123456789abcdef\n", 6, "an unknown line 'turn'"},
        {header2 + "turn 1 5 0 0 0123456789abcdef\nturn 0 6 0 0 0123456789abcdef\n", 7, "marks out of order"},
        {header2 + "turn 1 5 0 0 0123456789abcdef\nturn 1 4 0 0 0123456789abcdef\n", 7, "marks out of order"},
        {header2 + "turn 1 5 0 0 0123456789ABCDEF\n", 6, "a screen digest must be 16 hex digits"},
        {header2 + "turn 1 5 0 0\n", 6, "no screen digest"},
        {header2 + "turn 1 5 0 0 0123456789abcdef 1\n", 6, "more on the line than expected"},
        {header2 + "turn 1 5 0 0 0123456789abcdef\nend 0 4 0 0\n", 7, "moments out of order"},
        {header2 + "turn 1 5 0 0 01234", 6, "cut off in the middle of the line"},
    };
    for (const auto& c : cases) {
        RecordingError error;
        EXPECT_FALSE(parse_recording(c.text, error)) << c.text.substr(0, 80);
        EXPECT_EQ(error.line, c.line) << c.text.substr(0, 80);
        EXPECT_EQ(error.message, c.message) << c.text.substr(0, 80);
    }
}

TEST(Recording, WriterAndParserAgree) {
    const std::string whole =
        "rpg-recording 2\nprogram field\nseed 4294967295\nambiguous wide\nsize 132 50\n"
        "data Flame.txt 0123456789abcdef\ndata test.txt missing\nclock 1765000000 0\nclock 1765000001 12\n"
        "turn 0 2 100 120 00000000000000ff\nturn 1 3 1000 1200 fedcba9876543210\n"
        "key 224 3 100 130\nkey 77 4 100 131\nkey 13 90 5000 5400\nmark 95 5100 6400\nend 255 96 5200 6500\n";
    for (const std::string& text : {whole, whole.substr(0, whole.find("end "))}) {
        RecordingError error;
        const std::optional<Recording> r = parse_recording(text, error);
        ASSERT_TRUE(r) << error.line << ": " << error.message;
        std::string written = header_lines(r->header);
        for (const RecordedClock& clock : r->clock) written += clock_line(clock);
        for (const RecordedTurn& turn : r->turns) written += turn_line(turn);
        for (const RecordedKey& key : r->keys) written += key_line(key);
        written += mark_line(*r->last_mark);
        if (r->ending) written += ending_line(*r->ending);
        EXPECT_EQ(written, text);
    }
    // FNV-1a 64's published check values.
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325u);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cu);
}

TEST(Recording, OnlyRegularFilesAreReadAndAFileIsMadeNewUnlessForced) {
    test::DataFolder folder;
    const std::filesystem::path big = folder.path() / "big";
    folder.write("big", "");
    std::filesystem::resize_file(big, recording_max_bytes + 1);
    const struct {
        std::filesystem::path file;
        const char* error;
    } refused[] = {
        {folder.path(), "a folder, not a recording"},
        {folder.path() / "none", "no such file"},
        {big, "larger than 64 MiB, not a recording"},
    };
    for (const auto& c : refused) {
        std::string error;
        EXPECT_FALSE(read_recording_file(c.file, error)) << c.file;
        EXPECT_EQ(error, c.error) << c.file;
    }

    const std::filesystem::path file = folder.path() / "r.txt";
    std::string error;
    {
        RecordingWriter writer;
        ASSERT_TRUE(writer.create(file, false, error)) << error;
        writer.write("first\n");
    }
    RecordingWriter again;
    EXPECT_FALSE(again.create(file, false, error));
    EXPECT_EQ(error, "already exists (give --force to replace it)");
    EXPECT_FALSE(again.create(folder.path(), true, error));
    EXPECT_EQ(error, "is a folder");
    {
        RecordingWriter forced;
        ASSERT_TRUE(forced.create(file, true, error)) << error;
        forced.write("new\n");
    }
    EXPECT_EQ(read_recording_file(file, error).value_or("?"), "new\n");
}

#ifndef _WIN32  // a FIFO, on the file systems that have them
TEST(Recording, AFifoIsNeitherReadNorReplaced) {
    test::DataFolder folder;
    const std::filesystem::path fifo = folder.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(read_recording_file(fifo, error));
    EXPECT_EQ(error, "not a regular file");
    RecordingWriter writer;
    EXPECT_FALSE(writer.create(fifo, true, error));
    EXPECT_EQ(error, "is not a regular file");
}
#endif

// A refusal names the recording as the player typed it, in UTF-8, also when
// the name lies outside Windows' ANSI code page.
TEST(RecordedRun, ARefusalNamesTheRecordingInUtf8) {
    test::DataFolder folder;
    const std::filesystem::path taken = folder.path() / std::filesystem::path(u8"запись.txt");
    const std::filesystem::path none = folder.path() / std::filesystem::path(u8"記録.txt");
    std::ofstream(taken) << "junk\n";
    const struct {
        RecordingRequest request;
        const char8_t* shown;
    } cases[] = {
        {{taken, false, std::nullopt, std::nullopt, std::nullopt, false}, u8"запись.txt: already exists"},
        {{std::nullopt, false, taken, std::nullopt, std::nullopt, false}, u8"запись.txt:1:"},
        {{std::nullopt, false, none, std::nullopt, std::nullopt, false}, u8"記録.txt: no such file"},
    };
    for (const auto& c : cases) {
        RecordedRun run;
        std::string message;
        EXPECT_FALSE(run.prepare(c.request, "battle", {}, folder.path(), message));
        const std::u8string shown(c.shown);
        EXPECT_NE(message.find(std::string(shown.begin(), shown.end())), std::string::npos) << message;
    }
}

// A little game with the habits of the real ones: it types a line a byte at
// a time, skipping to the end when Enter is waiting, then waits for a key,
// three times over, and shows what it read and when by the clock.
int little_game(Console& con) {
    const std::int64_t start = con.now_seconds();
    for (int round = 0; round < 3; ++round) {
        con.set_cursor(0, round);
        bool skip = false;
        for (char c : "round " + std::to_string(round)) {
            con.print(std::string(1, c));
            if (!skip && con.key_waiting()) skip = con.read_key() == key_enter;
            if (!skip) con.sleep_ms(50);
        }
        const int code = con.read_key();
        con.print(" read " + std::to_string(code) + " at " + std::to_string(con.now_seconds() - start));
    }
    return 3;
}

// Plays the little game to its end (3), or to the end of its keys (1).
int play_little_game(Console& con) {
    try {
        return little_game(con);
    } catch (const InputClosed&) {
        return 1;
    }
}

TEST(Recording, ARunReplaysToTheSameScreenAndACutOneUpToItsCut) {
    MemoryConsole con(80, 3);
    // Enter while the first line is typed, 'b' and Enter while the second is.
    for (auto [code, at] : {std::pair{key_enter, 60}, {'a', 900}, {'b', 950}, {key_enter, 1000}, {'c', 9000}}) {
        con.add_key(code, at);
    }
    std::string recorded;
    RecordingWriter writer(&recorded);
    writer.write(header_lines(RecordingHeader{"battle", 1, false, 80, 24, {}}));
    RecordingConsole recorder(con, writer);
    recorder.finish(play_little_game(recorder));
    ASSERT_EQ(con.screen_text(), "round 0 read 97 at 0\nround 1 read 99 at 9\nround 2\n");
    std::size_t third = 0;  // cut before the third key
    for (int key = 0; key < 3; ++key) third = recorded.find("\nkey ", third + 1);

    const struct {
        std::string text;
        ReplayConsole::Outcome outcome;
        const char* screen;
    } cases[] = {
        {recorded, ReplayConsole::Outcome::ending, "round 0 read 97 at 0\nround 1 read 99 at 9\nround 2\n"},
        // It stops at the first poll the recording did not reach.
        {recorded.substr(0, third + 1), ReplayConsole::Outcome::cut, "round 0 read 97 at 0\nr\n\n"},
    };
    for (const auto& c : cases) {
        RecordingError error;
        const std::optional<Recording> recording = parse_recording(c.text, error);
        ASSERT_TRUE(recording) << error.line << ": " << error.message;
        MemoryConsole screen(80, 3);
        screen.add_key('z', 0);  // the keyboard plays no part
        ReplayConsole replay(screen, *recording, 0);
        const int status = play_little_game(replay);
        EXPECT_EQ(replay.outcome(status), c.outcome) << replay.verdict(status);
        EXPECT_EQ(screen.screen_text(), c.screen);
        EXPECT_EQ(screen.now_ms(), 0) << "a replay at full speed pauses";
    }
}

// Ctrl+C is the field's only way out: the signal handler's note still writes
// the ending, and the replay stops at the same poll with the same status.
TEST(Recording, ASignalStillWritesItsEndingAndTheReplayEndsThere) {
    test::DataFolder folder;
    const std::filesystem::path file = folder.path() / "r.txt";
    MemoryConsole con(80, 3);
    con.add_key(key_enter, 60);
    con.add_key('a', 900);
    std::string error;
    {
        RecordingWriter writer;
        ASSERT_TRUE(writer.create(file, false, error)) << error;
        writer.write(header_lines(RecordingHeader{"field", 1, false, 80, 24, {}}));
        RecordingConsole recorder(con, writer);
        play_little_game(recorder);  // waits for a third key that never comes
        leave_signal_note(SIGINT);   // what the terminal's handler does then
    }
    RecordingError problem;
    const std::optional<Recording> recording = parse_recording(read_recording_file(file, error).value_or(""), problem);
    ASSERT_TRUE(recording && recording->ending) << error << problem.line << ": " << problem.message;
    EXPECT_EQ(recording->ending->status, 128 + SIGINT);

    MemoryConsole screen(80, 3);
    ReplayConsole replay(screen, *recording, 0);
    const int status = play_little_game(replay);
    EXPECT_EQ(replay.outcome(status), ReplayConsole::Outcome::ending) << replay.verdict(status);
    EXPECT_EQ(screen.screen_text(), con.screen_text());
}

// A field-like loop: a mark every third pass, a poll and a pause each pass;
// recording, the signal comes in the pause after pass `signalled`.
void marking_loop(Console& con, int signalled) {
    for (int pass = 1;; ++pass) {
        if (pass % 3 == 0) con.turn_mark(pass / 3);
        con.key_waiting();
        con.sleep_ms(10);
        if (pass == signalled) return leave_signal_note(SIGINT);
    }
}

// The ending's poll may come just before a mark the recorded run never made:
// the replay ends there as recorded, whichever pause the signal fell in.
TEST(Recording, ASignalJustBeforeAMarkEndsTheReplayThereToo) {
    for (const int signalled : {4, 5, 6}) {
        test::DataFolder folder;
        const std::filesystem::path file = folder.path() / "r.txt";
        std::string error;
        {
            MemoryConsole con(80, 3);
            RecordingWriter writer;
            ASSERT_TRUE(writer.create(file, false, error)) << error;
            writer.write(header_lines(RecordingHeader{"field", 1, false, 80, 24, {}}));
            RecordingConsole recorder(con, writer);
            marking_loop(recorder, signalled);
        }
        RecordingError problem;
        const std::optional<Recording> recording =
            parse_recording(read_recording_file(file, error).value_or(""), problem);
        ASSERT_TRUE(recording) << error << problem.line << ": " << problem.message;
        MemoryConsole screen(80, 3);
        ReplayConsole replay(screen, *recording, 0);
        int status = 0;
        try {
            marking_loop(replay, -1);
        } catch (const InputClosed&) {
            status = 1;
        }
        EXPECT_EQ(replay.outcome(status), ReplayConsole::Outcome::ending)
            << signalled << ": " << replay.verdict(status);
    }
}

}  // namespace
}  // namespace rpg
