#include <gtest/gtest.h>

#include <string>

#include "screen/draw.h"
#include "screen/status.h"
#include "screen_test_support.h"

namespace rpg {
namespace {

using testing::column_range;

class StatusPanel : public testing::ScreenTest {
protected:
    StatusPanel() {
        rec.hero.level = 5;
        rec.hero.max_hp = 120;
        rec.hero.hp = 120;
    }
    // The "-" cells of a bar row from column 5 to 22.
    int bar_length(int row) const {
        int n = 0;
        for (int x = 5; x <= 22; ++x)
            if (con.cell(x, row).byte == '-') ++n;
        return n;
    }
    bool bar_is_solid(int row) const {
        int n = bar_length(row);
        return con.row_text(row, 5, 18) ==
               std::string(static_cast<std::size_t>(n), '-') + std::string(18 - static_cast<std::size_t>(n), ' ');
    }
};

// ---------------------------------------------------------------- scales

TEST(HpBarCells, ScalesToEighteenCells) {
    struct Case {
        i16 hp;
        u16 max_hp;
        int cells;
    };
    const Case cases[] = {
        {120, 120, 18},   {60, 120, 9},     {119, 120, 17}, {6, 120, 0},    {7, 120, 1}, {0, 120, 0},
        {1, 1, 18},       {100, 100, 18},   {520, 520, 18}, {519, 519, 17},  // the quotient first: just below 18
        {1038, 1038, 17}, {1065, 1065, 17}, {5, 0, 0},                       // no maximum, no bar
        {-4, 100, 0},                                                        // odd values stay inside the bar
        {200, 100, 18},
    };
    for (const auto& c : cases) EXPECT_EQ(hp_bar_cells(c.hp, c.max_hp), c.cells) << c.hp << "/" << c.max_hp;
}

TEST(HpBarCells, SmallestMaximaWithAShortFullBar) {
    std::vector<int> short_full;
    for (int max = 1; max <= 1065 && short_full.size() < 4; ++max)
        if (hp_bar_cells(to_i16(max), to_u16(max)) != 18) short_full.push_back(max);
    EXPECT_EQ(short_full, (std::vector<int>{519, 1038, 1065}));
}

// ---------------------------------------------------------------- panel

TEST_F(StatusPanel, FullPanelAsAtBattleStart) {
    draw_hp_panel(v, rec.hero);
    draw_level(v, rec.hero.level);
    draw_effect_markers(v);
    EXPECT_EQ(con.row_text(12, 0, 14), "    |  Lv : 5 ");
    EXPECT_EQ(con.row_text(13, 0, 24), " ---+------------------ ");
    EXPECT_EQ(con.row_text(14, 0, 22), "    |  HP : 120 / 120 ");
    for (int row = 16; row <= 18; ++row) EXPECT_EQ(con.row_text(row, 0, 6), "    + ") << row;
    // The figure alone is bright.
    EXPECT_EQ(columns_with_attribute(14, 15), column_range(12, 14));
    EXPECT_EQ(v.text_attribute, attr_normal);
    // 18 cells at 30 ms, then three markers at 10 ms.
    std::vector<int> expected(18, 30);
    expected.insert(expected.end(), {10, 10, 10});
    EXPECT_EQ(sleeps(), expected);
}

// ---------------------------------------------------------------- count-down

TEST_F(StatusPanel, CountdownToZeroEndsWithoutALastPause) {
    rec.hero.hp = 12;
    draw_hp_panel(v, rec.hero);
    con.clear_events();
    hp_countdown(v, 12, 0, rec.hero.max_hp);
    std::vector<std::string> figures;
    for (const auto& e : prints())
        if (e.row == 14) {
            EXPECT_EQ(e.column, 12);
            EXPECT_EQ(e.attribute, 15);
            figures.push_back(e.bytes);
        }
    EXPECT_EQ(figures,
              (std::vector<std::string>{"11 ", "10 ", "9 ", "8 ", "7 ", "6 ", "5 ", "4 ", "3 ", "2 ", "1 ", "0 "}));
    EXPECT_EQ(sleeps(), std::vector<int>(11, 20));
    EXPECT_EQ(con.events().back().kind, MemoryConsole::Event::print);
    EXPECT_EQ(bar_length(13), 0);
    EXPECT_EQ(v.text_attribute, attr_normal);
}

TEST_F(StatusPanel, CountdownBarFollowsEveryStep) {
    draw_hp_panel(v, rec.hero);
    hp_countdown(v, 120, 100, rec.hero.max_hp);
    EXPECT_EQ(bar_length(13), 15);
    EXPECT_TRUE(bar_is_solid(13));
    // The bar is drawn in the normal look.
    EXPECT_TRUE(columns_with_attribute(13, 15).empty());
}

TEST_F(StatusPanel, CountdownWithoutALossDrawsNothing) {
    hp_countdown(v, 50, 50, 120);
    EXPECT_TRUE(con.events().empty());
    EXPECT_EQ(v.cursor_position.column, 12);
    EXPECT_EQ(v.cursor_position.row, 14);
    EXPECT_EQ(v.text_attribute, attr_normal);
}

TEST_F(StatusPanel, LosingADigitLeavesTwoBlanksBeforeTheSlash) {
    rec.hero.max_hp = 100;
    rec.hero.hp = 100;
    draw_hp_panel(v, rec.hero);
    EXPECT_EQ(con.row_text(14, 7, 14), "HP : 100 / 100");
    hp_countdown(v, 100, 99, 100);
    EXPECT_EQ(con.row_text(14, 7, 14), "HP : 99  / 100");
}

// ---------------------------------------------------------------- effect bars

TEST_F(StatusPanel, EffectBarForEveryCounter) {
    const int expected[] = {0, 1, 3, 5, 7, 9, 10, 12, 14, 16, 18, 18};
    for (int counter = 11; counter >= 0; --counter) {
        con.clear_events();
        draw_effect_bar(v, to_i16(counter), 1);
        EXPECT_EQ(bar_length(17), expected[counter]) << counter;
        EXPECT_TRUE(bar_is_solid(17)) << counter;
        EXPECT_EQ(sleeps(), counter == 11 ? std::vector<int>(18, 5) : std::vector<int>{}) << counter;
    }
    EXPECT_EQ(bar_length(16), 0);
    EXPECT_EQ(bar_length(18), 0);
}

}  // namespace
}  // namespace rpg
