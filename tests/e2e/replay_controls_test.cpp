// A replay's keys on a real terminal, and its asciicast. A short battle is
// recorded; its replay is paused (the screen holds), stepped forward twice
// and back once (the very screen of the first step comes again, cell for
// cell, status line and all), and sent to its end, which is the recorded
// ending. The same recording written with --cast and shown by asciinema
// ends, on a terminal emulator, on the recorded run's last screen.

#include <algorithm>
#include <filesystem>

#include "battle_session.h"

namespace rpg::test {
namespace {

Launch with(Launch launch, std::vector<std::string> arguments) {
    launch.arguments = std::move(arguments);
    launch.environment.emplace_back("RPG_AMBIGUOUS", "narrow");
    return launch;
}

// The status line under the game's 19 rows.
std::string status_line(const PtySession& g) { return g.text(19); }

// Records a short battle to its closing prompt and the key that ends it;
// returns the screen at the prompt.
std::vector<Cell> record_battle(const Scenario& scenario) {
    PtySession g(with(scenario.battle(), {"--seed", "7", "--record", "rec.txt"}));
    EXPECT_TRUE(wait_for_command_menu(g)) << g.dump();
    for (int sent = 0; sent < 80 && !has(g, 27, 13, closing_prompt); ++sent) {
        g.enter();
        EXPECT_TRUE(g.wait_until_quiet([] { return true; })) << g.dump();
    }
    EXPECT_TRUE(g.wait_until_quiet([&] { return has(g, 27, 13, closing_prompt); })) << g.dump();
    std::vector<Cell> last = g.snapshot();
    g.send("x");
    EXPECT_TRUE(g.wait_exit());
    return last;
}

bool same_game_rows(const std::vector<Cell>& a, const std::vector<Cell>& b, int columns) {
    return a.size() >= static_cast<std::size_t>(19 * columns) && b.size() >= static_cast<std::size_t>(19 * columns) &&
           std::equal(a.begin(), a.begin() + 19 * columns, b.begin());
}

TEST(ReplayControls, PauseHoldsStepsGoAndComeBackExactlyAndEndReachesTheEnding) {
    Scenario scenario;
    scenario.make_hero_unbeatable();
    record_battle(scenario);

    PtySession g(with(scenario.battle(), {"--replay", "rec.txt"}));
    ASSERT_TRUE(g.wait_until([&] { return status_line(g).rfind("playing", 0) == 0; })) << g.dump();
    g.space();
    ASSERT_TRUE(g.wait_until_quiet([&] { return status_line(g).rfind("paused", 0) == 0; })) << g.dump();
    const std::vector<Cell> held = g.snapshot();
    g.settle(700);
    EXPECT_EQ(g.snapshot(), held) << "a paused replay holds its screen\n" << g.dump();

    g.send(".");
    ASSERT_TRUE(g.wait_until_quiet([&] { return g.snapshot() != held; })) << g.dump();
    const std::vector<Cell> first = g.snapshot();
    const std::string first_status = status_line(g);
    g.right();
    ASSERT_TRUE(g.wait_until_quiet([&] { return status_line(g) != first_status; })) << g.dump();
    EXPECT_NE(g.snapshot(), first);
    g.send(",");
    ASSERT_TRUE(g.wait_until_quiet([&] { return status_line(g) == first_status; })) << g.dump();
    EXPECT_EQ(g.snapshot(), first) << "a step back is the screen of the step before, cell for cell\n" << g.dump();

    g.send("\x1b[F");  // End
    const std::optional<Ending> ending = g.wait_exit(30);
    ASSERT_TRUE(ending) << g.dump();
    EXPECT_EQ(ending->exit_code(), 0);
    EXPECT_NE(g.output().find("battle: rec.txt: the replay reached the recorded ending"), std::string::npos);
}

TEST(ReplayControls, AnAsciicastShownByAsciinemaEndsOnTheRecordedScreen) {
    if (!std::filesystem::exists("/usr/bin/asciinema")) GTEST_SKIP() << "no asciinema (Debian package asciinema)";
    Scenario scenario;
    scenario.make_hero_unbeatable();
    const std::vector<Cell> last = record_battle(scenario);
    {
        PtySession g(with(scenario.battle(), {"--replay", "rec.txt", "--speed", "max", "--cast", "rec.cast"}));
        const std::optional<Ending> ending = g.wait_exit(60);
        ASSERT_TRUE(ending && ending->exit_code() == 0) << g.output();
    }
    // asciinema writes to its terminal: a pseudo-terminal whose screen libvterm keeps.
    Launch cat = scenario.battle();
    cat.program = "/usr/bin/asciinema";
    cat.arguments = {"cat", "rec.cast"};
    PtySession shown(cat);
    const std::optional<Ending> shown_ending = shown.wait_exit(30);
    ASSERT_TRUE(shown_ending && shown_ending->exit_code() == 0) << shown.output().substr(0, 2000);
    EXPECT_TRUE(same_game_rows(shown.snapshot(), last, 80)) << shown.dump();

    // An existing file is kept unless --force; a folder that is not there is said in one line.
    const struct {
        std::vector<std::string> arguments;
        const char* line;
    } refused[] = {
        {{"--replay", "rec.txt", "--cast", "rec.cast"},
         "battle: rec.cast: already exists (give --force to replace it)\r\n"},
        {{"--replay", "rec.txt", "--cast", "none/rec.cast"},
         "battle: none/rec.cast: cannot be created: No such file or directory\r\n"},
    };
    for (const auto& c : refused) {
        PtySession g(with(scenario.battle(), c.arguments));
        const std::optional<Ending> ending = g.wait_exit(10);
        ASSERT_TRUE(ending) << c.line;
        EXPECT_EQ(ending->exit_code(), 1);
        EXPECT_EQ(g.output(), c.line);
        EXPECT_TRUE(g.echo_and_canonical());
    }
}

}  // namespace
}  // namespace rpg::test
