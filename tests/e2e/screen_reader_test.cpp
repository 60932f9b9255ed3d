// The screen-reader mode on a real terminal: the same battle with and
// without it shows the same cells, and only the cursor rests elsewhere.

#include <array>
#include <memory>

#include "battle_session.h"

namespace rpg::test {
namespace {

TEST(ScreenReaderMode, TheCursorRestsOnTheHighlightedCommandAndNothingElseChanges) {
    Scenario s;
    std::array<std::unique_ptr<PtySession>, 2> games;  // without the mode, with it
    for (std::size_t i = 0; i < games.size(); ++i) {
        Launch launch = s.battle();
        launch.arguments = {"--seed", "7"};
        if (i == 1) launch.arguments.emplace_back("--screen-reader");
        games[i] = std::make_unique<PtySession>(launch);
    }
    for (auto& game : games) ASSERT_TRUE(wait_for_command_menu(*game)) << game->dump();
    PtySession& plain = *games[0];
    PtySession& reader = *games[1];
    EXPECT_EQ(reader.cursor_column(), 10);  // on たたかう
    EXPECT_EQ(reader.cursor_row(), 1);

    for (auto& game : games) game->down();
    for (auto& game : games) {
        PtySession& g = *game;
        ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 7, 3, "＿＿＿＿＿＿", Look::bright); })) << g.dump();
    }
    EXPECT_TRUE(plain.snapshot() == reader.snapshot()) << plain.dump() << "\nand\n" << reader.dump();
    EXPECT_TRUE(reader.cursor_visible());
    EXPECT_EQ(reader.cursor_column(), 8);  // on ぼうぎょ
    EXPECT_EQ(reader.cursor_row(), 4);
    // Without the mode the cursor stays where the highlight's last piece
    // ended, after the lower edge of the second frame.
    EXPECT_EQ(plain.cursor_column(), 17);
    EXPECT_EQ(plain.cursor_row(), 5);
}

}  // namespace
}  // namespace rpg::test
