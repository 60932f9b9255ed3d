// The field program on a real terminal: the map and the two figures, the
// hero walking into a wall, the pawn giving chase, and Ctrl+C to leave.

#include <signal.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "support/pty_session.h"
#include "support/scenario.h"
#include "support/screen_checks.h"

namespace rpg::test {
namespace {

constexpr const char* block = "\x81\xA1";        // "■" in Shift-JIS
constexpr const char* hero_figure = "\x81\x9C";  // "●"

// A walled box: blocks around the edge of the 19 x 53 area (the last column
// is left blank), open ground inside, and blocks at the given (column, row)
// places, each two columns wide.
std::string boxed_map(std::initializer_list<std::pair<int, int>> walls) {
    std::string rows[19];
    for (int r = 0; r < 19; ++r) {
        std::string line;
        for (int c = 0; c < 26; ++c) line += (r == 0 || r == 18 || c == 0 || c == 25) ? block : "  ";
        line += ' ';
        rows[r] = line;
    }
    for (const auto& [column, row] : walls) rows[row].replace(static_cast<std::size_t>(column), 2, block);
    std::string map;
    for (const std::string& row : rows) map += row + "\n";
    return map;
}

class FieldProgram : public ::testing::Test {
protected:
    void start() {
        launch();
        // The wipe is over and the map drawn once the hero stands on it.
        const int x = hero_x(), y = hero_y();
        ASSERT_TRUE(game->wait_until_quiet([&] { return has(*game, x, y, "●"); }, 30)) << game->dump();
    }
    void launch() { game = std::make_unique<PtySession>(scenario.field()); }
    int hero_x() const { return std::stoi(scenario.text_value(hero_file, hero::map_x)); }
    int hero_y() const { return std::stoi(scenario.text_value(hero_file, hero::map_y)); }
    std::string pawn_glyph() const { return scenario.text_value(pawn_file, 2); }

    Scenario scenario;
    std::unique_ptr<PtySession> game;
};

TEST_F(FieldProgram, MapAndBothFiguresStandAligned) {
    start();
    const PtySession& g = *game;
    const std::string map = scenario.read(map_file);
    const std::string glyph = scenario.value_bytes(pawn_file, 2);
    ASSERT_EQ(glyph.size(), 2u) << "a two-byte glyph";
    std::size_t pos = 0;
    for (int row = 0; row < 19; ++row) {
        const std::size_t end = map.find('\n', pos);
        std::string line = map.substr(pos, end - pos);
        pos = end + 1;
        std::vector<std::pair<int, std::string>> figures;
        if (row == hero_y()) figures.emplace_back(hero_x(), hero_figure);
        if (row == 3) figures.emplace_back(8, glyph);
        std::string sjis_row = line;
        sjis_row.resize(53, ' ');
        for (const auto& [column, bytes] : figures) sjis_row.replace(static_cast<std::size_t>(column), 2, bytes);
        EXPECT_TRUE(shows(g, 0, row, utf8_from_cp932(sjis_row))) << "row " << row;
    }
    // Nothing of the wipe is left beside or below the map.
    for (int row = 0; row < 19; ++row) EXPECT_TRUE(blank(g, 54, row, 26));
    for (int row = 19; row < 24; ++row) EXPECT_TRUE(blank(g, 0, row, 80));
}

TEST_F(FieldProgram, HeroWalksAndStopsAtAWallWhileTheDistantPawnStaysPut) {
    scenario.write(map_file, boxed_map({{46, 12}, {30, 1}}));
    scenario.set_number(hero_file, hero::map_x, 40);
    scenario.set_number(hero_file, hero::map_y, 12);
    start();
    PtySession& g = *game;
    const std::string glyph = pawn_glyph();
    EXPECT_TRUE(shows(g, 8, 3, glyph));

    for (int i = 0; i < 5; ++i) g.right();  // two steps, then the block at column 46
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 44, 12, "●"); })) << g.dump();
    EXPECT_TRUE(blank(g, 40, 12, 4));
    EXPECT_TRUE(shows(g, 46, 12, "■"));

    for (int i = 0; i < 15; ++i) g.up();  // up to row 1, below the top wall
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 44, 1, "●"); })) << g.dump();
    EXPECT_TRUE(blank(g, 44, 2, 2));
    EXPECT_TRUE(shows(g, 44, 0, "■"));
    for (int i = 0; i < 10; ++i) g.left();  // along row 1 to the block at column 30
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 32, 1, "●"); })) << g.dump();
    EXPECT_TRUE(shows(g, 30, 1, "■● "));
    EXPECT_TRUE(blank(g, 34, 1, 16));

    // The pawn was never within reach (18 columns or more away) until now.
    g.settle(200);
    EXPECT_TRUE(shows(g, 8, 3, glyph)) << "the pawn moved although the hero was far";

    // Ctrl+C leaves the field and gives the terminal back.
    g.send("\x03");
    auto ending = g.wait_exit(10);
    ASSERT_TRUE(ending) << g.dump();
    EXPECT_TRUE(ending->killed_by(SIGINT)) << ending->describe();
    EXPECT_TRUE(g.echo_and_canonical());
    EXPECT_FALSE(g.alternate_screen());
    EXPECT_TRUE(g.cursor_visible());
}

TEST_F(FieldProgram, PawnGivesChaseWhenTheHeroComesNear) {
    scenario.write(map_file, boxed_map({}));
    scenario.set_number(hero_file, hero::map_x, 20);  // 12 columns right of the pawn, same row
    scenario.set_number(hero_file, hero::map_y, 3);
    launch();  // the chase begins as soon as the figures are drawn
    PtySession& g = *game;
    const std::string glyph = pawn_glyph();
    // Step by step to the right, two columns a step, until it stands on the hero.
    std::vector<int> seen;
    ASSERT_TRUE(g.wait_until(
        [&] {
            for (int x = 8; x <= 20; x += 2) {
                if (has(g, x, 3, glyph) && (seen.empty() || seen.back() != x)) seen.push_back(x);
            }
            return !seen.empty() && seen.back() == 20;
        },
        15))
        << g.dump();
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.size(), 3u) << "the pawn jumped instead of walking";
    EXPECT_TRUE(blank(g, 8, 3, 12));

    // The hero walks off downwards: the pawn follows it to its new place.
    for (int i = 0; i < 4; ++i) g.down();
    ASSERT_TRUE(g.wait_until([&] { return has(g, 20, 7, glyph); }, 15)) << g.dump();
    for (int row = 3; row < 7; ++row) EXPECT_TRUE(blank(g, 20, row, 2));
}

TEST_F(FieldProgram, MissingMapEndsAtOnceWithStatus255) {
    scenario.remove(map_file);
    PtySession g(scenario.field());
    auto ending = g.wait_exit(20);
    ASSERT_TRUE(ending) << g.dump();
    EXPECT_EQ(ending->exit_code(), 255) << ending->describe();
    EXPECT_FALSE(g.alternate_screen());
    EXPECT_TRUE(g.echo_and_canonical());
}

}  // namespace
}  // namespace rpg::test
