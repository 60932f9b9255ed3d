#include <gtest/gtest.h>

#include <vector>

#include "field/field.h"
#include "field/field_fixture.h"

namespace rpg {
namespace {

using test::OpenField;

TEST(PursuitRange, SeventeenColumnsAndEightRows) {
    struct Case {
        int enemy_x, enemy_y, hero_x, hero_y;
        bool in_range;
    };
    const std::vector<Case> cases = {
        {8, 3, 25, 3, true},    {8, 3, 26, 3, false},   {8, 3, 8, 11, true},     {8, 3, 8, 12, false},
        {8, 3, 0, 0, true},     {30, 10, 13, 10, true}, {30, 10, 12, 10, false}, {30, 10, 30, 2, true},
        {30, 10, 30, 1, false}, {30, 10, 47, 18, true}, {30, 10, 48, 18, false}, {30, 10, 13, 2, true},
        {30, 10, 30, 10, true},
    };
    for (const auto& c : cases) {
        OpenField f;
        f.place_enemy(c.enemy_x, c.enemy_y);
        f.place_hero(c.hero_x, c.hero_y);
        EXPECT_EQ(in_pursuit_range(f.field), c.in_range)
            << "enemy (" << c.enemy_x << ", " << c.enemy_y << "), hero (" << c.hero_x << ", " << c.hero_y << ")";
    }
}

struct ChaseCase {
    int hero_x, hero_y;
    int enemy_x, enemy_y;  // where the enemy stands after one chase step from (28, 10)
    int sleep_ms;
};

TEST(ChaseStep, ClosesTheColumnsFirstAndTheRowsWhileTheyAreAtLeastHalf) {
    const std::vector<ChaseCase> cases = {
        {18, 5, 26, 9, 260},    // dx 10, dy 5: left, then up
        {18, 6, 26, 10, 130},   // dx 10, dy 4: left only
        {28, 4, 28, 9, 130},    // dx 0, dy 6: one pause, up
        {38, 15, 30, 11, 260},  // dx -10, dy -5: right, then down
        {38, 14, 30, 10, 130},  // dx -10, dy -4: right only
        {28, 16, 28, 11, 130},  // dx 0, dy -6: down
        {20, 10, 26, 10, 130},  // dx 8, dy 0: left
        {24, 8, 26, 9, 260},    // dx 4, dy 2
        {22, 9, 26, 10, 130},   // dx 6, dy 1
        {26, 9, 26, 9, 260},    // dx 2, dy 1: both steps end on the hero
        {27, 4, 26, 10, 130},   // dx 1, dy 6: a hop over the hero's column, no row step
        {29, 16, 30, 10, 130},  // dx -1, dy -6
        {28, 10, 28, 10, 0},    // contact: nothing, not even a pause
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("hero (" + std::to_string(c.hero_x) + ", " + std::to_string(c.hero_y) + ")");
        OpenField f;
        f.place_enemy(28, 10);
        f.place_hero(c.hero_x, c.hero_y);
        chase_step(f.field);
        EXPECT_EQ(f.enemy_x(), c.enemy_x);
        EXPECT_EQ(f.enemy_y(), c.enemy_y);
        EXPECT_EQ(f.con.total_sleep_ms(), c.sleep_ms);
        EXPECT_EQ(f.hero_x(), c.hero_x);
        EXPECT_EQ(f.hero_y(), c.hero_y);
        if (c.sleep_ms != 0) {
            EXPECT_TRUE(f.con.shows(c.enemy_x, c.enemy_y, "兵"));
            EXPECT_EQ(f.con.row_text(10, 28, 2), "  ");
        }
    }
}

TEST(ChaseStep, AnOddColumnDistanceHopsAndNeverChangesRows) {
    OpenField f;
    f.place_enemy(8, 3);
    f.place_hero(9, 8);
    std::vector<int> columns;
    for (int i = 0; i < 6; ++i) {
        chase_step(f.field);
        columns.push_back(f.enemy_x());
        EXPECT_EQ(f.enemy_y(), 3);
    }
    EXPECT_EQ(columns, (std::vector<int>{10, 8, 10, 8, 10, 8}));
    EXPECT_EQ(f.con.total_sleep_ms(), 6 * 130);

    // Only a refused column step changes the row.
    f.put_block(10, 3);
    chase_step(f.field);
    EXPECT_EQ(f.enemy_x(), 8);
    EXPECT_EQ(f.enemy_y(), 4);
}

TEST(ChaseStep, RefusedStepsFallBackToTheOtherDirection) {
    {
        SCOPED_TRACE("column step refused: up instead, then up again");
        OpenField f;
        f.put_block(26, 10);
        f.place_enemy(28, 10);
        f.place_hero(18, 5);
        chase_step(f.field);
        EXPECT_EQ(f.enemy_x(), 28);
        EXPECT_EQ(f.enemy_y(), 8);
        EXPECT_EQ(f.con.total_sleep_ms(), 260);
    }
    {
        SCOPED_TRACE("row step refused: left instead");
        OpenField f;
        f.put_block(26, 9);
        f.place_enemy(28, 10);
        f.place_hero(20, 4);  // dx 8, dy 6
        chase_step(f.field);
        EXPECT_EQ(f.enemy_x(), 24);
        EXPECT_EQ(f.enemy_y(), 10);
    }
    {
        SCOPED_TRACE("column step refused on the hero's row: a pause and nothing else");
        OpenField f;
        f.put_block(26, 10);
        f.place_enemy(28, 10);
        f.place_hero(18, 10);
        f.con.record_events(true);
        chase_step(f.field);
        EXPECT_EQ(f.enemy_x(), 28);
        EXPECT_EQ(f.enemy_y(), 10);
        EXPECT_EQ(f.con.total_sleep_ms(), 130);
        for (const auto& event : f.con.events()) EXPECT_EQ(event.kind, MemoryConsole::Event::sleep);
    }
}

TEST(ChaseStep, KeysPressedDuringThePausesMoveTheHero) {
    OpenField f;
    f.place_enemy(28, 10);
    f.place_hero(18, 5);
    f.con.add_arrow(key_right, 0);   // read by the first pause, one code per 10 ms
    f.con.add_arrow(key_down, 135);  // arrives during the second pause
    f.con.record_events(true);
    chase_step(f.field);
    EXPECT_EQ(f.con.keys_left(), 0u);
    EXPECT_EQ(f.hero_x(), 20);
    EXPECT_EQ(f.hero_y(), 6);
    EXPECT_TRUE(f.con.shows(20, 6, "●"));
    // The distances were taken before the hero moved: left and up as before.
    EXPECT_EQ(f.enemy_x(), 26);
    EXPECT_EQ(f.enemy_y(), 9);
    EXPECT_EQ(f.con.total_sleep_ms(), 260);

    // The hero's first step came after one sleep: the prefix code took the
    // first round of the pause.
    int sleeps_before_hero = 0;
    for (const auto& event : f.con.events()) {
        if (event.kind == MemoryConsole::Event::sleep) ++sleeps_before_hero;
        if (event.kind == MemoryConsole::Event::print && event.bytes == sjis("●")) break;
    }
    EXPECT_EQ(sleeps_before_hero, 1);
}

TEST(EnemyStep, PrintsBlanksAndTheGlyphAsLinePrints) {
    OpenField f;
    f.place_enemy(28, 10);
    f.con.record_events(true);
    EXPECT_TRUE(enemy_step(f.field, key_down));
    ASSERT_EQ(f.con.events().size(), 4u);
    EXPECT_EQ(f.con.events()[0].bytes, "  ");
    EXPECT_EQ(f.con.events()[0].row, 10);
    EXPECT_EQ(f.con.events()[2].bytes, sjis("兵"));
    EXPECT_EQ(f.con.events()[2].row, 11);
    EXPECT_EQ(f.con.events()[3].bytes, "\n");
    EXPECT_EQ(f.con.grid().cursor_row(), 12);

    f.put_block(28, 12);
    f.con.clear_events();
    EXPECT_FALSE(enemy_step(f.field, key_down));
    EXPECT_TRUE(f.con.events().empty());
}

TEST(Contact, TheGlyphCoversTheHeroUntilTheHeroWalksAway) {
    OpenField f;
    f.place_enemy(28, 10);
    f.place_hero(26, 10);
    f.con.set_cursor(26, 10);
    f.con.print(sjis("●"));
    chase_step(f.field);
    EXPECT_EQ(f.enemy_x(), 26);
    EXPECT_TRUE(f.con.shows(26, 10, "兵"));

    const auto slept = f.con.total_sleep_ms();
    chase_step(f.field);  // on the hero's cell: nothing at all
    EXPECT_EQ(f.con.total_sleep_ms(), slept);

    move_hero(f.field, key_right);
    EXPECT_EQ(f.con.row_text(10, 26, 2), "  ");
    EXPECT_TRUE(f.con.shows(28, 10, "●"));
}

TEST(MainLoop, OneKeyCodePerPassAndTenMillisecondsOfSleep) {
    OpenField f;
    f.place_enemy(8, 3);
    f.place_hero(46, 16);  // out of range
    f.con.add_arrow(key_up, 0);
    run_field(f.field, 1);
    EXPECT_EQ(f.hero_y(), 16);  // the prefix code only
    EXPECT_EQ(f.con.keys_left(), 1u);
    run_field(f.field, 1);
    EXPECT_EQ(f.hero_y(), 15);
    run_field(f.field, 5);
    EXPECT_EQ(f.con.total_sleep_ms(), 70);
    EXPECT_EQ(f.enemy_x(), 8);
    EXPECT_EQ(f.enemy_y(), 3);
}

TEST(MainLoop, TheEnemyChasesWhileTheHeroIsInRange) {
    OpenField f;
    f.place_enemy(8, 3);
    f.place_hero(20, 5);  // dx -12, dy -2: column steps only
    run_field(f.field, 1);
    EXPECT_EQ(f.enemy_x(), 10);
    EXPECT_EQ(f.enemy_y(), 3);
    EXPECT_EQ(f.con.total_sleep_ms(), 140);
    run_field(f.field, 20);
    // The enemy walks up to the hero and then stands on it.
    EXPECT_EQ(f.enemy_x(), 20);
    EXPECT_EQ(f.enemy_y(), 5);
}

}  // namespace
}  // namespace rpg
