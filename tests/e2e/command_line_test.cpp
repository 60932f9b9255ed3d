// The programs' command line as a player meets it: help and errors without a
// terminal, and a battle replayed exactly from its seed.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle_session.h"

namespace rpg::test {
namespace {

// Help, version and usage errors need no terminal and leave it alone; the
// program's name stands once in front of a message.
TEST(WithoutTerminal, AnswersAndLeavesTheTerminalAlone) {
    const struct {
        bool field;
        std::vector<std::string> arguments;
        int status;
        const char* output;  // the start of standard output
        const char* error;   // all of standard error
    } cases[] = {
        {false, {"--help"}, 0, "Usage: battle [OPTION]...\n", ""},
        {true, {"--version"}, 0, "field (Pawn Battle) ", ""},
        {true, {"map.txt"}, 2, "", "field: unexpected argument 'map.txt' (try 'field --help')\n"},
        {false,
         {"--screen-reader", "--screen-reader"},
         2,
         "",
         "battle: option --screen-reader given twice (try 'battle --help')\n"},
        {true, {"--screen-reader=1"}, 2, "", "field: option --screen-reader takes no value (try 'field --help')\n"},
        {false, {}, 1, "", "battle: standard input and output must be a terminal\n"},
    };
    for (const auto& c : cases) {
        Scenario s;
        Launch launch = c.field ? s.field() : s.battle();
        launch.arguments = c.arguments;
        launch.input = Stream::null;
        launch.output = launch.error_output = Stream::file;
        PtySession g(launch);
        auto ending = g.wait_exit(10);
        ASSERT_TRUE(ending) << g.dump();
        EXPECT_EQ(ending->exit_code(), c.status) << ending->describe();
        EXPECT_EQ(g.captured_output().rfind(c.output, 0), 0u) << g.captured_output();
        if (!*c.output) {
            EXPECT_EQ(g.captured_output(), "");
        }
        EXPECT_EQ(g.captured_error(), c.error);
        EXPECT_EQ(g.output_bytes(), 0u) << "nothing reaches the terminal";
    }
}

// Three battles at once, two with the same seed: the same keys give the same
// screens after every key, and another seed gives another battle. They start
// in a folder without data and are told where it is.
TEST(SeedOption, ReplaysABattleExactly) {
    Scenario s;
    const std::filesystem::path elsewhere = s.path() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    const char* seeds[] = {"7", "7", "8"};
    std::array<std::unique_ptr<PtySession>, 3> games;
    for (std::size_t i = 0; i < games.size(); ++i) {
        Launch launch = s.battle();
        launch.folder = elsewhere;
        launch.arguments = {"--seed", seeds[i], "--data", s.path().string()};
        games[i] = std::make_unique<PtySession>(launch);
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
            PtySession& g = *games[i];
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
}  // namespace rpg::test
