// The benchmark's own tool: the watcher that cuts a program's output at its
// writes.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <string>

#include "support/data_folder.h"
#include "watch/watched_program.h"

namespace bench {
namespace {

using rpg::test::DataFolder;

// A program that writes the given shell commands' output, then waits.
Launch shell(const std::string& commands, const std::filesystem::path& folder) {
    Launch launch;
    launch.program = "/bin/sh";
    launch.arguments = {"-c", commands + "; exec sleep 10"};
    launch.folder = folder;
    return launch;
}

TEST(WatchedProgram, CutsTheOutputAtEachWriteAndTellsWhatItChanged) {
    DataFolder folder;
    WatchedProgram program(shell("printf ab; sleep 0.05; printf '\\033[1mc\\033[m'", folder.path()));
    ASSERT_TRUE(program.wait_for([&] { return program.updates().size() >= 2; }, -1, 5000));

    const Update& plain = program.updates()[0];
    EXPECT_EQ(plain.bytes, 2u);
    EXPECT_EQ(plain.changed_cells, 2);
    EXPECT_EQ(plain.runs, 1);
    EXPECT_EQ(plain.budget, 2u + 8 + 8);  // the two cells, one cursor move, the last cursor move

    const Update& bright = program.updates()[1];
    EXPECT_EQ(bright.offset, 2u);
    EXPECT_EQ(bright.bytes, 8u);
    EXPECT_EQ(bright.changed_cells, 1);
    EXPECT_EQ(bright.budget, 8u + 6 + 1 + 6 + 8);  // move, bright on, the cell, bright off, last move
    EXPECT_LT(plain.at_ns, bright.at_ns);

    EXPECT_EQ(program.row(0).substr(0, 4), "abc ");
    EXPECT_FALSE(program.bright_at(1, 0));
    EXPECT_TRUE(program.bright_at(2, 0));
    EXPECT_EQ(program.output(), "ab\x1b[1mc\x1b[m");
}

TEST(WatchedProgram, WideCharactersAreOneChangeOfTheirUtf8Bytes) {
    DataFolder folder;
    WatchedProgram program(shell("printf '\\357\\274\\277x'", folder.path()));  // "＿x"
    ASSERT_TRUE(program.wait_for([&] { return program.shows_anywhere("＿x"); }, -1, 5000));
    ASSERT_EQ(program.updates().size(), 1u);
    const Update& u = program.updates()[0];
    EXPECT_EQ(u.changed_cells, 3);        // both halves of the wide character, and x
    EXPECT_EQ(u.budget, 3u + 1 + 8 + 8);  // its three bytes once, x, a move, the last move
}

TEST(WatchedProgram, BytesWithoutAWriteRecordAreTakenInAloneAndCounted) {
    DataFolder folder;
    // The shell's own printf calls write(); a program's buffered C output
    // does not, and a subshell's output to a pipe is no terminal write.
    WatchedProgram program(
        shell("printf a; sleep 0.05; /usr/bin/printf 'xyz'; sleep 0.05; printf \"$(printf q)b\"", folder.path()));
    ASSERT_TRUE(program.wait_for([&] { return program.row_has(0, "axyzqb"); }, -1, 5000)) << program.row(0);
    ASSERT_EQ(program.updates().size(), 3u);
    EXPECT_EQ(program.updates()[0].bytes, 1u);
    EXPECT_EQ(program.updates()[1].bytes, 3u);
    EXPECT_EQ(program.updates()[2].bytes, 2u);
    EXPECT_EQ(program.unlogged_bytes(), 3u);
}

TEST(WatchedProgram, WaitsEndOnQuietOrTimeoutAndTheEndIsReaped) {
    DataFolder folder;
    WatchedProgram program(shell("printf ready", folder.path()));
    ASSERT_TRUE(program.wait_for([&] { return program.row_has(0, "ready"); }, -1, 5000));
    EXPECT_FALSE(program.wait_for([] { return false; }, 50, 5000)) << "nothing more comes: quiet";
    EXPECT_TRUE(program.wait_quiet(50, 5000));
    EXPECT_FALSE(program.wait_for([] { return false; }, -1, 20)) << "no quiet limit: the timeout ends it";

    const Sample a = program.sample();
    EXPECT_GT(a.cpu_ns, 0) << "the program has run";

    Ending ending = program.finish(SIGTERM);
    EXPECT_TRUE(ending.killed_by(SIGTERM)) << ending.describe();
}

TEST(WatchedProgram, ProgramSeesATerminalOfTheGivenSizeAndSettings) {
    DataFolder folder;
    WatchedProgram program(shell("printf \"$TERM $LC_ALL $(stty size) $(pwd)\"", folder.path()));
    const std::string expected = "xterm-256color C.UTF-8 24 80 " + folder.path().string();
    EXPECT_TRUE(program.wait_for([&] { return program.row_has(0, expected); }, -1, 5000)) << program.row(0);
}

}  // namespace
}  // namespace bench
