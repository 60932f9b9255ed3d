// The harness itself, on small programs of the system: the screen as the
// emulator reads it, the terminal's modes and size, and job control as a
// shell does it. If these fail, the game's scenarios cannot be trusted.

#include <signal.h>

#include "harness/game_process.h"
#include "harness/scenario.h"
#include "harness/screen_checks.h"

namespace e2e {
namespace {

Launch shell(const Scenario& s, const std::string& script) {
    Launch launch;
    launch.program = "/bin/sh";
    launch.arguments = {"-c", script};
    launch.folder = s.folder();
    return launch;
}

TEST(Harness, ReadsTextWidthAndBrightnessOfCells) {
    Scenario s;
    GameProcess p(shell(s, "printf '\\033[3;5H\\033[1m兵\\033[0m ● x'; exec cat"));
    ASSERT_TRUE(p.wait_until([&] { return p.cell(9, 2).text == "x"; })) << p.dump();
    EXPECT_TRUE(shows(p, 4, 2, "兵", Look::bright));
    EXPECT_EQ(p.cell(5, 2).width, 0);
    EXPECT_TRUE(shows(p, 7, 2, "●", Look::normal));  // one column wide, then a blank
    EXPECT_FALSE(shows(p, 4, 2, "兵", Look::normal));
    EXPECT_FALSE(shows(p, 5, 2, "兵"));
}

TEST(Harness, StartsOnACanonicalEchoingTerminalOfTheAskedSize) {
    Scenario s;
    Launch launch = shell(s, "stty -a; stty size; echo \"$TERM $LANG $LC_ALL\"");
    launch.columns = 100;
    launch.rows = 30;
    GameProcess p(launch);
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_EQ(ending->exit_code(), 0);
    const std::string screen = p.screen_text();
    EXPECT_NE(screen.find("30 100"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" icanon"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" echo "), std::string::npos) << screen;
    EXPECT_NE(screen.find("xterm-256color C.UTF-8 C.UTF-8"), std::string::npos) << screen;
}

TEST(Harness, StopsAndContinuesLikeAJobOfAShell) {
    Scenario s;
    GameProcess p(shell(s, "kill -TSTP $$; echo back; read x"));
    ASSERT_TRUE(p.wait_stopped()) << p.dump();
    p.signal(SIGCONT);
    ASSERT_TRUE(p.wait_continued());
    ASSERT_TRUE(p.wait_until([&] { return p.text(0, 0, 4) == "back"; })) << p.dump();
    p.send("\r");
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_EQ(ending->exit_code(), 0);
}

TEST(Harness, ReportsTheSignalThatEndedTheProgram) {
    Scenario s;
    GameProcess p(shell(s, "exec cat"));
    p.settle(100);
    p.signal(SIGQUIT);
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->killed_by(SIGQUIT)) << ending->describe();
}

TEST(Harness, CtrlCFromTheKeyboardReachesTheForegroundProgram) {
    Scenario s;
    GameProcess p(shell(s, "exec cat"));
    p.settle(100);
    p.send("\x03");
    auto ending = p.wait_exit();
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->killed_by(SIGINT)) << ending->describe();
}

TEST(Harness, TellsTheProgramOfANewWindowSize) {
    Scenario s;
    GameProcess p(shell(s, "trap 'stty size' WINCH; echo ready; while :; do sleep 0.05; done"));
    ASSERT_TRUE(p.wait_until([&] { return p.text(0, 0, 5) == "ready"; })) << p.dump();
    p.resize(90, 28);
    EXPECT_TRUE(p.wait_until([&] { return p.screen_text().find("28 90") != std::string::npos; }, 10)) << p.dump();
}

TEST(Harness, ClosingTheTerminalEndsAReader) {
    Scenario s;
    GameProcess p(shell(s, "exec cat"));
    p.settle(100);
    p.close_terminal();
    auto ending = p.wait_exit(10);
    ASSERT_TRUE(ending);
    EXPECT_TRUE(ending->exited()) << ending->describe();
}

}  // namespace
}  // namespace e2e
