// The terminal layer at the edges of a run: a terminal that cannot place the
// cursor is refused before anything is written, the player's setting of the
// ambiguous width is obeyed, and a crash still gives the terminal back.

#include <signal.h>
#include <sys/resource.h>

#include <memory>

#include "battle_session.h"

namespace rpg::test {
namespace {

void expect_terminal_restored(const PtySession& g) {
    EXPECT_TRUE(g.echo_and_canonical()) << "echo or canonical mode is still off";
    EXPECT_FALSE(g.alternate_screen()) << g.dump();
    EXPECT_TRUE(g.cursor_visible());
}

// The screen's text from the top to its last non-blank cell, rows joined.
std::string written_text(const PtySession& g) {
    std::string out;
    for (int row = 0; row < g.rows(); ++row) out += g.text(row);
    out.erase(out.find_last_not_of(' ') + 1);
    return out;
}

struct Setting {
    const char* name;
    bool field;
    const char* term;       // TERM
    const char* ambiguous;  // RPG_AMBIGUOUS, or null
    const char* refusal;    // the message of a refused start, or null
};

void PrintTo(const Setting& s, std::ostream* os) { *os << s.name; }

class StartSetting : public ::testing::TestWithParam<Setting> {};

TEST_P(StartSetting, IsRefusedWithOnlyItsMessageOrObeyed) {
    const Setting& c = GetParam();
    Scenario s;
    Launch launch = c.field ? s.field() : s.battle();
    launch.environment.emplace_back("TERM", c.term);
    if (c.ambiguous) launch.environment.emplace_back("RPG_AMBIGUOUS", c.ambiguous);
    PtySession g(launch);
    if (c.refusal) {
        auto ending = g.wait_exit(10);
        ASSERT_TRUE(ending) << g.dump();
        EXPECT_EQ(ending->exit_code(), 1) << ending->describe();
        g.settle(100);
        const std::string message = written_text(g);
        EXPECT_NE(message.find(c.refusal), std::string::npos) << g.dump();
        // The message and its line break, and nothing else: no escape sequence.
        EXPECT_EQ(g.output_bytes(), message.size() + 2) << g.dump();
        expect_terminal_restored(g);
        return;
    }
    // The map's top wall: with the ambiguous width set wide on a terminal
    // that draws it narrow, the blocks follow each other without the blank
    // that keeps them in their columns on such a terminal.
    const int x = std::stoi(s.text_value(hero_file, hero::map_x));
    const int y = std::stoi(s.text_value(hero_file, hero::map_y));
    ASSERT_TRUE(g.wait_until_quiet([&] { return g.text(y).find("●") != std::string::npos; }, 30)) << g.dump();
    const std::string wide_wall = "■■■■■■■■■■■■■■■■■■■■■■■■■■";
    EXPECT_EQ(g.text(0).rfind(wide_wall, 0), 0u) << g.dump();
    EXPECT_FALSE(has(g, x, y, "●")) << "the hero stands where a narrow terminal would show it";
}

INSTANTIATE_TEST_SUITE_P(
    Terminals, StartSetting,
    ::testing::Values(Setting{"BattleOnADumbTerminal", false, "dumb", nullptr, "cannot place the cursor"},
                      Setting{"FieldOnADumbTerminal", true, "dumb", nullptr, "cannot place the cursor"},
                      Setting{"AmbiguousSetToNonsense", false, "xterm-256color", "double", "RPG_AMBIGUOUS"},
                      Setting{"AmbiguousSetWideOnANarrowTerminal", true, "xterm-256color", "wide", nullptr}),
    [](const ::testing::TestParamInfo<Setting>& test) { return std::string(test.param.name); });

TEST(Measuring, KeysTypedBeforeTheTerminalAnswersAreKept) {
    // The keys reach the terminal before the program has asked where its
    // cursor is, and so come in ahead of the answer: down, down, Enter.
    Scenario s;
    s.set_number(hero_file, hero::potions, 3);
    PtySession g(s.battle());
    g.send("\x1b[B\x1b[B\r");
    EXPECT_TRUE(g.wait_until_quiet([&] { return has(g, 55, 10, "＜     × 3"); }, 30)) << g.dump();
}

TEST(Rendering, AStrayFirstByteBesideTheHeroLeavesTheHeroWhole) {
    Scenario s;
    const int x = std::stoi(s.text_value(hero_file, hero::map_x));
    const int y = std::stoi(s.text_value(hero_file, hero::map_y));
    std::string map = s.read(map_file);
    const std::size_t at = static_cast<std::size_t>(y * 54 + x);
    map.replace(at - 2, 2, " \x81");  // a first byte with nothing to pair with, left of the hero
    s.write(map_file, map);
    PtySession g(s.field());
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, x, y, "●"); }, 30)) << g.dump();
    EXPECT_TRUE(shows(g, x - 1, y, "?●")) << g.dump();
}

// --- Crashes --------------------------------------------------------------

class Crash : public ::testing::TestWithParam<int> {};

TEST_P(Crash, RestoresTheTerminalAndDiesOfTheSameSignal) {
    // No core files in the scenario's folder.
    rlimit no_core{0, 0};
    rlimit before{};
    getrlimit(RLIMIT_CORE, &before);
    no_core.rlim_max = before.rlim_max;
    setrlimit(RLIMIT_CORE, &no_core);
    Scenario s;
    PtySession g(s.battle());
    setrlimit(RLIMIT_CORE, &before);
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    ASSERT_FALSE(g.echo_and_canonical());
    g.signal(GetParam());
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << g.dump();
    EXPECT_TRUE(ending->killed_by(GetParam())) << ending->describe();
    expect_terminal_restored(g);
}

INSTANTIATE_TEST_SUITE_P(Signals, Crash, ::testing::Values(SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL),
                         [](const ::testing::TestParamInfo<int>& test) {
                             return std::string(sigabbrev_np(test.param));
                         });

}  // namespace
}  // namespace rpg::test
