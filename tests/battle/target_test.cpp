// Target selection over formations of one to seven enemies, some fallen.

#include "battle_fixture.h"
#include "screen/layout.h"

namespace rpg::testing {
namespace {

struct Move {
    const char* name;
    int total;
    std::vector<int> fallen;
    int start;
    int key;
    int expected;
};

class TargetMoves : public ::testing::TestWithParam<Move> {};

TEST_P(TargetMoves, SelectionLandsOnlyOnStandingEnemies) {
    const Move& m = GetParam();
    MemoryConsole con;
    Battle b{con};
    make_records(b.rec);
    set_up_encounter(b, 7);
    b.state.enemies_defeated = static_cast<i16>(m.fallen.size());
    b.state.enemies_left = static_cast<i16>(m.total - static_cast<int>(m.fallen.size()));
    for (int p : m.fallen) b.state.defeated[static_cast<std::size_t>(p - 1)] = 1;
    b.pawn().target = static_cast<u16>(m.start);
    con.press_arrow(m.key);
    EXPECT_THROW(target_selection(b), InputClosed);
    EXPECT_EQ(b.pawn().target, m.expected);
    // The selected glyph, and only it, is bright.
    ScreenPosition at = formation_position(m.total, m.expected);
    EXPECT_EQ(con.attribute_at(at.column, at.row), 15);
    for (int t = 1; t <= m.total; ++t) {
        if (t == m.expected) continue;
        ScreenPosition other = formation_position(m.total, t);
        EXPECT_NE(con.attribute_at(other.column, other.row), 15) << "position " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formations, TargetMoves,
    ::testing::Values(
        Move{"three_down_onto_fallen_3", 3, {3}, 1, key_down, 1}, Move{"three_right_from_1", 3, {3}, 1, key_right, 2},
        Move{"three_right_from_2_nothing_standing", 3, {3}, 2, key_right, 2},
        Move{"three_right_skips_fallen_2", 3, {2}, 1, key_right, 3},
        Move{"three_left_skips_fallen_2", 3, {2}, 3, key_left, 1}, Move{"three_up_from_3", 3, {}, 3, key_up, 1},
        Move{"three_left_at_1", 3, {}, 1, key_left, 1}, Move{"three_right_at_3", 3, {}, 3, key_right, 3},
        Move{"five_up_from_middle", 5, {}, 3, key_up, 1}, Move{"five_down_from_middle", 5, {}, 3, key_down, 5},
        Move{"five_up_from_4", 5, {}, 4, key_up, 3}, Move{"five_down_from_2", 5, {}, 2, key_down, 3},
        Move{"five_up_refuses_fallen_middle", 5, {3}, 5, key_up, 5},
        Move{"five_right_skips_two", 5, {2, 3}, 1, key_right, 4}, Move{"seven_down_from_4", 7, {}, 4, key_down, 4},
        Move{"seven_down_from_3", 7, {}, 3, key_down, 7}, Move{"seven_up_from_5", 7, {}, 5, key_up, 1},
        Move{"seven_left_skips_to_1", 7, {2, 3, 4, 5, 6}, 7, key_left, 1}, Move{"two_up_never", 2, {}, 2, key_up, 2},
        Move{"one_down_never", 1, {}, 1, key_down, 1}),
    [](const ::testing::TestParamInfo<Move>& test) { return std::string(test.param.name); });

using Targets = BattleTest;

TEST_F(Targets, SpaceResetsTheSelectionAndTheNextEntryMovesToAStandingEnemy) {
    b.state.defeated[0] = 1;
    b.state.enemies_left = 2;
    b.state.enemies_defeated = 1;
    b.pawn().target = 2;
    con.press(key_space);
    EXPECT_EQ(target_selection(b), Outcome::goes_on);
    EXPECT_EQ(b.pawn().target, 1);
    // The heading and the banner are gone, from column 24 on.
    EXPECT_EQ(con.row_text(7, 24, 27), std::string(27, ' '));
    EXPECT_THROW(target_selection(b), InputClosed);
    EXPECT_EQ(b.pawn().target, 2);
    EXPECT_EQ(con.attribute_at(38, 2), 15);
}

TEST_F(Targets, EntryShowsHeadingBannerAndHighlight) {
    EXPECT_THROW(target_selection(b), InputClosed);
    EXPECT_TRUE(con.shows(24, 7, "＜　対　象　の　選　択　＞"));
    EXPECT_TRUE(con.shows(34, 9, "ポーン"));  // kind 1: the name from column O + 9
    EXPECT_EQ(con.attribute_at(34, 2), 15);
    EXPECT_TRUE(con.shows(34, 2, "兵"));
}

TEST_F(Targets, LeftFromTheAbilityListKeepsTheSelection) {
    b.pawn().target = 2;
    con.press(key_enter);       // open the ability list
    con.press_arrow(key_left);  // back to target selection
    con.press_arrow(key_right);
    EXPECT_THROW(target_selection(b), InputClosed);
    EXPECT_EQ(b.pawn().target, 3);
    EXPECT_EQ(con.row_text(0, 54, 20), std::string(20, ' '));  // the list is closed
}

TEST_F(Targets, SpaceInTheAbilityListGoesBackToTheCommandMenu) {
    b.pawn().target = 3;
    con.press({key_enter, key_space});
    EXPECT_EQ(target_selection(b), Outcome::goes_on);
    EXPECT_EQ(b.pawn().target, 1);
    EXPECT_EQ(con.attribute_at(36, 4), 7);  // the glyph at position 3 is back in the normal look
}

}  // namespace
}  // namespace rpg::testing
