#include <gtest/gtest.h>

#include <string>

#include "screen/draw.h"
#include "screen/lists.h"
#include "screen/status.h"
#include "screen_test_support.h"

namespace rpg {
namespace {

using testing::later;
using testing::set_text;
using testing::u8;

class Lists : public testing::ScreenTest {
protected:
    Lists() {
        set_text(rec.hero.name, "アレス");
        rec.hero.level = 1;
        rec.hero.max_hp = 100;
        rec.hero.hp = 100;
        rec.hero.attack = 30;
        rec.hero.defense = 20;
        rec.hero.items[item_potion].count = 3;
        rec.hero.items[item_protein].count = 2;
        rec.hero.items[item_buckler].count = 1;
        const char* names[] = {"ソードカット", "フレイム", "大回転斬り", "ヘルフレイム", "絶対服従"};
        for (int i = 0; i < skill_count; ++i) set_text(rec.skills[static_cast<std::size_t>(i)].name, names[i]);
    }
    // The window's rows 1 to 10 other than those given hold nothing.
    void expect_other_rows_blank(std::initializer_list<int> used) {
        for (int row = 1; row <= 10; ++row) {
            if (std::find(used.begin(), used.end(), row) != used.end()) continue;
            EXPECT_TRUE(looks_blank(row, 54, 73)) << row;
        }
    }
};

TEST(LastSkillIndex, ByLevel) {
    const std::pair<u16, int> cases[] = {{0, 1},  {1, 1},  {11, 1}, {12, 2}, {17, 2},
                                         {18, 3}, {24, 3}, {25, 4}, {99, 4}, {65535, 4}};
    for (auto [level, last] : cases) EXPECT_EQ(last_skill_index(level), last) << level;
}

// ---------------------------------------------------------------- pieces

TEST_F(Lists, CountLineAndClearing) {
    // The count field is written whole, so a shorter stock leaves no digit of
    // the one before; stocks are printed unsigned.
    const std::pair<u16, const char*> counts[] = {
        {10, "10   "}, {2, "2    "}, {65535, "65535"}, {7, "7    "}, {0, "0    "}};
    for (auto [count, shown] : counts) {
        draw_item_count(v, count);
        EXPECT_EQ(con.row_text(10, 65, 5), shown) << count;
    }
    draw_item_title(v);
    EXPECT_EQ(con.row_text(0, 54, 20), "________Item________");
    clear_list_row(v, 0);  // entry 0 is the title row
    EXPECT_TRUE(looks_blank(0, 54, 73));
    draw_ability_title(v);
    EXPECT_EQ(con.row_text(0, 54, 20), "______Ability_______");
    clear_list_title(v);
    EXPECT_TRUE(looks_blank(0, 54, 73));
    clear_list_row(v, 5);
    EXPECT_TRUE(looks_blank(10, 54, 73));
}

// ---------------------------------------------------------------- openings

TEST_F(Lists, ItemListSlidesDownIntoPlace) {
    set_highlight(v);
    open_item_list(v);
    EXPECT_EQ(sleeps(), std::vector<int>(15, 1));
    EXPECT_EQ(v.text_attribute, attr_normal);
    EXPECT_EQ(con.row_text(0, 54, 20), "________Item________");
    EXPECT_EQ(con.row_text(2, 54, 20), " ＜  ポーション  ＞ ");
    EXPECT_EQ(con.row_text(4, 54, 20), " ＜  プロテイン  ＞ ");
    EXPECT_EQ(con.row_text(6, 54, 20), " ＜  バックラー  ＞ ");
    expect_other_rows_blank({2, 4, 6});
    // Entry 1's arrows are bright; the rest of the window is normal.
    EXPECT_EQ(columns_with_attribute(2, 15), (std::vector<int>{55, 56, 71, 72}));
    EXPECT_TRUE(columns_with_attribute(4, 15).empty());
    EXPECT_TRUE(columns_with_attribute(6, 15).empty());
}

TEST_F(Lists, EachEntryTravelsFromRowZeroToItsRow) {
    open_item_list(v);
    // The Buckler passes rows 0 to 6, then the Protein rows 0 to 4, then the Potion rows 0 to 2.
    std::vector<int> rows;
    for (const auto& e : prints())
        if (e.column == 59) rows.push_back(e.row);
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 0, 1, 2, 3, 4, 0, 1, 2}));
}

TEST_F(Lists, AbilityListShowsTheSkillsOpenAtTheLevel) {
    struct Case {
        u16 level;
        int entries;
        int frames;
    };
    const Case cases[] = {{11, 2, 8}, {12, 3, 15}, {18, 4, 24}, {25, 5, 35}};
    const int columns[] = {62, 60, 59, 62, 60};
    const char* names[] = {"ソードカット", "フレイム", "大回転斬り", "ヘルフレイム", "絶対服従"};
    for (const auto& c : cases) {
        MemoryConsole fresh;
        fresh.record_events(true);
        View battle(fresh);
        open_ability_list(battle, rec.skills, c.level);
        int frames = 0;
        for (const auto& e : fresh.events())
            if (e.kind == MemoryConsole::Event::sleep) ++frames;
        EXPECT_EQ(frames, c.frames) << c.level;
        EXPECT_EQ(fresh.row_text(0, 54, 20), "______Ability_______");
        for (int k = 1; k <= 5; ++k) {
            if (k <= c.entries) {
                EXPECT_TRUE(fresh.shows(columns[k - 1], 2 * k, names[k - 1])) << c.level << " " << k;
                EXPECT_TRUE(fresh.shows(55, 2 * k, "＜")) << c.level << " " << k;
                EXPECT_EQ(fresh.attribute_at(55, 2 * k), k == 1 ? 15 : 7);
            } else {
                EXPECT_EQ(fresh.row_text(2 * k, 54, 20), std::string(20, ' ')) << c.level << " " << k;
            }
        }
        for (int row = 1; row <= 9; row += 2) EXPECT_EQ(fresh.row_text(row, 54, 20), std::string(20, ' '));
    }
}

}  // namespace
}  // namespace rpg
