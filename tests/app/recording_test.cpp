// Recordings: what the parser refuses and where, the writer and the parser
// agreeing, the files it will and will not read or make, and a run recorded
// on the in-memory console replayed to the same screen.

#include "app/recording.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "app/recorded_console.h"
#include "platform/memory/memory_console.h"
#include "support/data_folder.h"

namespace rpg {
namespace {

const std::string header = "rpg-recording 1\nprogram battle\nseed 7\nambiguous narrow\nsize 80 24\n";

TEST(Recording, RefusalsNameTheLineAndSayWhy) {
    const struct {
        std::string text;
        std::size_t line;
        const char* message;
    } cases[] = {
        {"", 1, "empty, not a recording"},
        {"hello\n", 1, "not a recording of this game"},
        {"rpg-recording 2\nprogram battle\n", 1, "a recording of version 2, this program reads version 1"},
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
    };
    for (const auto& c : cases) {
        RecordingError error;
        EXPECT_FALSE(parse_recording(c.text, error)) << c.text.substr(0, 80);
        EXPECT_EQ(error.line, c.line) << c.text.substr(0, 80);
        EXPECT_EQ(error.message, c.message) << c.text.substr(0, 80);
    }
}

TEST(Recording, WriterAndParserAgree) {
    Recording whole;
    whole.header = {"field", 4294967295u, true, 132, 50, {{"Flame.txt", 0x0123456789abcdefu}, {"test.txt", {}}}};
    whole.clock = {{1765000000, 0}, {1765000001, 12}};
    whole.keys = {{224, {3, 100, 130}}, {77, {4, 100, 131}}, {13, {90, 5000, 5400}}};
    whole.last_mark = RunMoment{95, 5100, 6400};
    whole.ending = RecordedEnding{255, {96, 5200, 6500}};
    Recording cut = whole;
    cut.ending.reset();
    cut.header.files.clear();

    for (const Recording* r : {&whole, &cut}) {
        std::string text;
        RecordingWriter writer(&text);
        writer.write(header_lines(r->header));
        writer.write(clock_line(r->clock[0]));
        writer.write(key_line(r->keys[0]));
        writer.write(key_line(r->keys[1]));
        writer.write(clock_line(r->clock[1]));
        writer.write(key_line(r->keys[2]));
        writer.write(mark_line(*r->last_mark));
        if (r->ending) writer.write(ending_line(*r->ending));

        RecordingError error;
        const std::optional<Recording> read = parse_recording(text, error);
        ASSERT_TRUE(read) << error.line << ": " << error.message << "\n" << text;
        EXPECT_EQ(header_lines(read->header), header_lines(r->header));
        ASSERT_EQ(read->keys.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(key_line(read->keys[i]), key_line(r->keys[i]));
        ASSERT_EQ(read->clock.size(), 2u);
        EXPECT_EQ(clock_line(read->clock[1]), "clock 1765000001 12\n");
        EXPECT_EQ(mark_line(*read->last_mark), "mark 95 5100 6400\n");
        EXPECT_EQ(read->ending.has_value(), r->ending.has_value());
        if (read->ending) {
            EXPECT_EQ(ending_line(*read->ending), "end 255 96 5200 6500\n");
        }
    }
    // FNV-1a 64's published check values.
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325u);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cu);
}

TEST(Recording, OnlyRegularFilesAreReadAndAFileIsMadeNewUnlessForced) {
    test::DataFolder folder;
    const std::filesystem::path fifo = folder.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path big = folder.path() / "big";
    folder.write("big", "");
    std::filesystem::resize_file(big, recording_max_bytes + 1);
    const struct {
        std::filesystem::path file;
        const char* error;
    } refused[] = {
        {folder.path(), "a folder, not a recording"},
        {fifo, "not a regular file"},
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
    EXPECT_FALSE(again.create(fifo, true, error));
    EXPECT_EQ(error, "is not a regular file");
    {
        RecordingWriter forced;
        ASSERT_TRUE(forced.create(file, true, error)) << error;
        forced.write("new\n");
    }
    EXPECT_EQ(read_recording_file(file, error).value_or("?"), "new\n");
    RecordingWriter discarded;
    ASSERT_TRUE(discarded.create(folder.path() / "gone.txt", false, error));
    discarded.discard();
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "gone.txt"));
}

// A little game with the habits of the real ones: it types a line a byte at
// a time, skipping to the end when a key is waiting, then waits for a key,
// three times over, and shows what it read and the clock.
int little_game(Console& con) {
    const std::int64_t start = con.now_seconds();
    for (int round = 0; round < 3; ++round) {
        con.set_cursor(0, round);
        const std::string line = "round " + std::to_string(round) + " of the little game";
        bool skip = false;
        for (char c : line) {
            con.print(std::string(1, c));
            if (!skip && con.key_waiting()) skip = con.read_key() == key_enter;
            if (!skip) con.sleep_ms(50);
        }
        const int code = con.read_key();
        con.print(" read " + std::to_string(code) + " at " + std::to_string(con.now_seconds() - start));
    }
    return 3;
}

struct Played {
    std::string screen;
    std::string recording;
};

Played record_little_game() {
    MemoryConsole con(80, 5);
    con.add_key(key_enter, 120);  // during the first line
    con.add_key('a', 900);        // while waiting
    con.add_key('b', 2100);       // during the second line: not a skip key
    con.add_key(key_enter, 2150);
    con.add_key('c', 9000);
    Played played;
    RecordingWriter writer(&played.recording);
    writer.write(header_lines(RecordingHeader{"battle", 1, false, 80, 24, {}}));
    RecordingConsole recorder(con, writer);
    int status = 1;
    try {
        status = little_game(recorder);
    } catch (const InputClosed&) {}
    recorder.finish(status);
    played.screen = con.screen_text();
    return played;
}

TEST(Recording, ARunReplaysToTheSameScreenAndACutOneUpToItsCut) {
    const Played original = record_little_game();
    ASSERT_NE(original.recording.find("\nend 1 "), std::string::npos) << original.recording;
    // Cut before the third key.
    std::size_t third = 0;
    for (int key = 0; key < 3; ++key) third = original.recording.find("\nkey ", third + 1);
    const std::string cut = original.recording.substr(0, third + 1);

    const struct {
        const std::string* text;
        ReplayConsole::Outcome outcome;
        int status;
    } cases[] = {
        {&original.recording, ReplayConsole::Outcome::ending, 1},
        {&cut, ReplayConsole::Outcome::cut, 1},
    };
    for (const auto& c : cases) {
        RecordingError error;
        const std::optional<Recording> recording = parse_recording(*c.text, error);
        ASSERT_TRUE(recording) << error.line << ": " << error.message;
        MemoryConsole screen(80, 5);
        screen.add_key('z', 0);  // the keyboard plays no part
        ReplayConsole replay(screen, *recording, 0);
        int status = 1;
        try {
            status = little_game(replay);
        } catch (const ReplayStop&) {}
        EXPECT_EQ(replay.outcome(status), c.outcome) << replay.verdict(status);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(screen.now_ms(), 0) << "a replay at full speed pauses";
        if (c.text == &original.recording) {
            EXPECT_EQ(screen.screen_text(), original.screen);
        } else {
            // It stops at the first poll the recording did not reach.
            EXPECT_EQ(screen.screen_text(), "round 0 of the little game read 97 at 0\nr\n\n\n\n");
        }
    }
}

}  // namespace
}  // namespace rpg
