// The pseudo-terminal session itself, on small programs of the system and
// functions of the test: the screen as the emulator reads it, the
// terminal's modes and size, and job control as a shell does it. If these
// fail, the game's scenarios and the benchmark cannot be trusted.

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/data_folder.h"
#include "support/pty_session.h"
#include "support/screen_checks.h"

namespace rpg::test {
namespace {

Launch shell(const DataFolder& s, const std::string& script) {
    Launch launch;
    launch.program = "/bin/sh";
    launch.arguments = {"-c", script};
    launch.folder = s.path();
    return launch;
}

TEST(PtySession, ReadsTextWidthAndBrightnessOfCells) {
    DataFolder s;
    PtySession p(shell(s, "printf '\\033[3;5H\\033[1m兵\\033[0m ● x'; exec cat"));
    ASSERT_TRUE(p.wait_until([&] { return p.cell(9, 2).text == "x"; })) << p.dump();
    EXPECT_TRUE(shows(p, 4, 2, "兵", Look::bright));
    EXPECT_EQ(p.cell(5, 2).width, 0);
    EXPECT_TRUE(shows(p, 7, 2, "●", Look::normal));  // one column wide, then a blank
    EXPECT_FALSE(shows(p, 4, 2, "兵", Look::normal));
    EXPECT_FALSE(shows(p, 5, 2, "兵"));
}

TEST(PtySession, StartsOnACanonicalEchoingTerminalOfTheAskedSize) {
    DataFolder s;
    Launch launch = shell(s, "stty -a; stty size; echo \"$TERM $LANG $LC_ALL\"");
    launch.columns = 100;
    launch.rows = 30;
    PtySession p(launch);
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_EQ(ending->exit_code(), 0);
    const std::string screen = p.screen_text();
    EXPECT_NE(screen.find("30 100"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" icanon"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" echo "), std::string::npos) << screen;
    EXPECT_NE(screen.find("xterm-256color C.UTF-8 C.UTF-8"), std::string::npos) << screen;
}

TEST(PtySession, StopsAndContinuesLikeAJobOfAShell) {
    DataFolder s;
    PtySession p(shell(s, "kill -TSTP $$; echo back; read x"));
    ASSERT_TRUE(p.wait_stopped()) << p.dump();
    p.signal(SIGCONT);
    ASSERT_TRUE(p.wait_continued());
    ASSERT_TRUE(p.wait_until([&] { return p.text(0, 0, 4) == "back"; })) << p.dump();
    p.send("\r");
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_EQ(ending->exit_code(), 0);
}

TEST(PtySession, ReportsTheSignalThatEndedTheProgram) {
    DataFolder s;
    PtySession p(shell(s, "exec cat"));
    p.settle(100);
    p.signal(SIGQUIT);
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->killed_by(SIGQUIT)) << ending->describe();
}

TEST(PtySession, CtrlCFromTheKeyboardReachesTheForegroundProgram) {
    DataFolder s;
    PtySession p(shell(s, "exec cat"));
    p.settle(100);
    p.send("\x03");
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->killed_by(SIGINT)) << ending->describe();
}

TEST(PtySession, TellsTheProgramOfANewWindowSize) {
    DataFolder s;
    PtySession p(shell(s, "trap 'stty size' WINCH; echo ready; while :; do sleep 0.05; done"));
    ASSERT_TRUE(p.wait_until([&] { return p.text(0, 0, 5) == "ready"; })) << p.dump();
    p.resize(90, 28);
    EXPECT_TRUE(p.wait_until([&] { return p.screen_text().find("28 90") != std::string::npos; }, 10)) << p.dump();
}

TEST(PtySession, ClosingTheTerminalEndsAReader) {
    DataFolder s;
    PtySession p(shell(s, "exec cat"));
    p.settle(100);
    p.close_terminal();
    auto ending = p.wait_exit(10);
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->exited()) << ending->describe();
}

TEST(PtySession, RunsAFunctionAsTheProgramWithItsReportsAndStatus) {
    DataFolder s;
    Launch launch;
    launch.folder = s.path();
    launch.body = [](int report_fd) {
        const std::string line = std::string("in ") + (std::getenv("HOME") ? std::getenv("HOME") : "?") + "\n";
        [[maybe_unused]] ssize_t w = write(report_fd, line.data(), line.size());
        const std::string_view drawing = "\x1b[2;3Hdrawn";
        w = write(STDOUT_FILENO, drawing.data(), drawing.size());
        char key = 0;
        w = read(STDIN_FILENO, &key, 1);
        return key == 'q' ? 7 : 8;
    };
    PtySession p(launch);
    ASSERT_TRUE(p.wait_until([&] { return p.text(1, 2, 5) == "drawn"; })) << p.dump();
    p.send("q\r");
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_EQ(ending->exit_code(), 7) << ending->describe();
    EXPECT_EQ(p.reports(), "in " + s.path().string() + "\n");
    EXPECT_NE(p.output().find("\x1b[2;3Hdrawn"), std::string::npos);
}

TEST(PtySession, ScreenHeldBackTakesInOnlyWhatIsFed) {
    DataFolder s;
    Launch launch = shell(s, "printf 'ab\\033[3;1Hcd'; exec cat");
    launch.screen_follows_output = false;
    PtySession p(launch);
    ASSERT_TRUE(p.wait_until([&] { return p.output().size() >= 10; })) << p.output();
    EXPECT_EQ(p.text(0, 0, 2), "  ");
    p.screen().take_touched_rows();
    p.feed_screen(2);
    EXPECT_EQ(p.screen_fed(), 2u);
    EXPECT_EQ(p.text(0, 0, 2), "ab");
    EXPECT_EQ(p.text(2, 0, 2), "  ");
    EXPECT_EQ(p.screen().take_touched_rows(), std::vector<int>{0});
    p.feed_screen(1000);  // no more than has come
    EXPECT_EQ(p.screen_fed(), p.output().size());
    EXPECT_EQ(p.text(2, 0, 2), "cd");
    EXPECT_EQ(p.screen().take_touched_rows(), std::vector<int>{2});
}

}  // namespace
}  // namespace rpg::test
