// The programs' command line as a player meets it: help and errors without a
// terminal, the data read from a folder named on the command line, and a
// battle replayed exactly from its seed.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle_session.h"

namespace e2e {
namespace {

struct NoTerminalCase {
    const char* name;
    bool field;
    std::vector<std::string> arguments;
    int status;
    const char* output;  // a part of standard output, or nullptr for none
    const char* error;   // the one line on standard error, or nullptr for none
};

const NoTerminalCase no_terminal_cases[] = {
    {"battle_help", false, {"--help"}, 0, "Usage: battle [OPTION]...", nullptr},
    {"field_help", true, {"-h"}, 0, "Usage: field [OPTION]...", nullptr},
    {"battle_version", false, {"--version"}, 0, "battle (Pawn Battle) ", nullptr},
    {"field_version", true, {"--version"}, 0, "field (Pawn Battle) ", nullptr},
    {"unknown_option", false, {"--colour"}, 2, nullptr, "battle: unknown option --colour (try 'battle --help')\n"},
    {"stray_argument", true, {"map.txt"}, 2, nullptr, "field: unexpected argument 'map.txt' (try 'field --help')\n"},
    {"no_terminal", false, {}, 1, nullptr, "battle: standard input and output must be a terminal\n"},
    {"no_terminal_field", true, {"--seed", "3"}, 1, nullptr, "field: standard input and output must be a terminal\n"},
};

class WithoutTerminal : public ::testing::TestWithParam<NoTerminalCase> {};

TEST_P(WithoutTerminal, AnswersAndLeavesTheTerminalAlone) {
    const NoTerminalCase& c = GetParam();
    Scenario s;
    Launch launch = c.field ? s.field() : s.battle();
    launch.arguments = c.arguments;
    launch.input = Stream::null;
    launch.output = Stream::file;
    launch.error_output = Stream::file;
    GameProcess g(launch);
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << g.dump();
    EXPECT_EQ(ending->exit_code(), c.status) << ending->describe();
    if (c.output) {
        EXPECT_NE(g.captured_output().find(c.output), std::string::npos) << g.captured_output();
    } else {
        EXPECT_EQ(g.captured_output(), "");
    }
    EXPECT_EQ(g.captured_error(), c.error ? c.error : "");
    EXPECT_EQ(g.output_bytes(), 0u) << "nothing reaches the terminal";
}

INSTANTIATE_TEST_SUITE_P(, WithoutTerminal, ::testing::ValuesIn(no_terminal_cases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(DataFolderOption, BattleReadsItsDataFromTheFolderNamed) {
    Scenario data;
    Scenario elsewhere;  // the current folder holds data too, with another hero
    elsewhere.set_number(hero_file, hero::max_hp, 77);
    data.set_number(hero_file, hero::max_hp, 42);
    Launch launch = elsewhere.battle();
    launch.arguments = {"--data", data.folder().string()};
    GameProcess g(launch);
    ASSERT_TRUE(wait_for_command_menu(g)) << g.dump();
    EXPECT_TRUE(shows(g, 4, 14, "|  HP : 42 / 42")) << g.dump();
}

// Three battles at once, two with the same seed: the same keys give the same
// screens after every key, and another seed gives another battle.
TEST(SeedOption, ReplaysABattleExactly) {
    Scenario s;
    const char* seeds[] = {"7", "7", "8"};
    std::array<std::unique_ptr<GameProcess>, 3> games;
    for (std::size_t i = 0; i < games.size(); ++i) {
        Launch launch = s.battle();
        launch.arguments = {"--seed", seeds[i]};
        games[i] = std::make_unique<GameProcess>(launch);
    }
    for (auto& game : games) ASSERT_TRUE(wait_for_command_menu(*game)) << game->dump();
    // Fight the first pawn with the first skill, then acknowledge what follows;
    // every key brings something new to the screen.
    std::array<std::vector<std::string>, 3> screens;
    for (int key = 0; key < 7; ++key) {
        std::array<std::uint64_t, 3> before{};
        for (std::size_t i = 0; i < games.size(); ++i) {
            before[i] = games[i]->output_bytes();
            games[i]->enter();
        }
        for (std::size_t i = 0; i < games.size(); ++i) {
            GameProcess& g = *games[i];
            ASSERT_TRUE(g.wait_until_quiet([&] { return g.output_bytes() > before[i]; }, 20, 400)) << g.dump();
            screens[i].push_back(g.screen_text());
        }
    }
    for (std::size_t step = 0; step < screens[0].size(); ++step) {
        EXPECT_TRUE(screens[0][step] == screens[1][step]) << "after key " << step + 1 << ":\n"
                                                          << screens[0][step] << "\nand\n"
                                                          << screens[1][step];
    }
    EXPECT_NE(screens[0], screens[2]) << "the seed makes no difference";
}

}  // namespace
}  // namespace e2e
