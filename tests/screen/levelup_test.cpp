#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "screen/levelup.h"
#include "screen_test_support.h"

namespace rpg {
namespace {

using testing::set_text;

class LevelUp : public testing::ScreenTest {
protected:
    LevelUp() {
        HeroStatus& was = before;
        set_text(was.name, "アレス");
        was.level = 4;
        was.max_hp = 120;
        was.attack = 30;
        was.defense = 20;
        was.magic_attack = 10;
        was.magic_defense = 12;
        was.speed = 15;
        was.exp = 2;
        rec.hero = was;
        HeroStatus& now = rec.hero;
        now.level = 5;
        now.max_hp = 123;
        now.attack = 32;
        now.exp = 7;
    }
    HeroStatus before;
    u16 gained = 3;  // the experience the battle gave
    LevelUpTable table() const { return {before, rec.hero, gained}; }
    int total_sleep() const {
        std::vector<int> s = sleeps();
        return std::accumulate(s.begin(), s.end(), 0);
    }
};

// ---------------------------------------------------------------- box

TEST_F(LevelUp, BoxWithTitleAndSides) {
    draw_level_up_box(v, text_of(rec.hero.name));
    std::string border;
    for (int i = 0; i < 26; ++i) border += "＿";
    EXPECT_TRUE(con.shows(26, 10, border));
    EXPECT_TRUE(con.shows(31, 0, "アレス - LEVEL UP + STATUS UP -"));
    // The title cuts border characters in two; their halves left over are blank.
    EXPECT_EQ(con.row_text(0, 26, 52), "＿＿ アレス - LEVEL UP + STATUS UP -＿＿＿＿＿＿＿＿");
    set_text(rec.hero.name, "Ares!");
    draw_level_up_box(v, text_of(rec.hero.name));
    EXPECT_EQ(con.row_text(0, 26, 52), "＿＿ Ares! - LEVEL UP + STATUS UP - ＿＿＿＿＿＿＿＿");
    for (int row = 1; row <= 10; ++row) {
        EXPECT_TRUE(con.shows(25, row, "|")) << row;
        EXPECT_TRUE(con.shows(78, row, "|")) << row;
    }
    EXPECT_TRUE(sleeps().empty());
}

// ---------------------------------------------------------------- gains

TEST_F(LevelUp, LabelsAreTwentySevenBytesAndComeAtFiftyMs) {
    draw_level_up_gains(v, table());
    const char* labels[] = {"レベル", "体力", "攻撃力", "防御力", "魔法攻撃力", "魔法防御力", "素早さ", "経験値"};
    for (int i = 0; i < 8; ++i) {
        const int row = 2 + i;
        const std::string& bytes = sjis(labels[i]);
        std::string label = bytes + std::string(15 - bytes.size(), ' ') + "<==" + std::string(9, ' ');
        ASSERT_EQ(label.size(), 27u);
        EXPECT_EQ(con.grid().row_bytes(row, 27, 27).substr(0, 26), label.substr(0, 26)) << row;
    }
    std::vector<int> s = sleeps();
    ASSERT_GE(s.size(), 8u);
    EXPECT_EQ(std::vector<int>(s.begin(), s.begin() + 8), std::vector<int>(8, 50));
}

TEST_F(LevelUp, GainOfOneSlidesZeroThenOneIntoPlace) {
    draw_level_up_gains(v, table());
    EXPECT_TRUE(con.shows(54, 2, "+1"));
    EXPECT_EQ(con.row_text(2, 54, 10), "+1        ");
    // Numbers 0 and 1, each from column 75 to 55.
    std::vector<std::pair<std::string, int>> steps;
    for (const auto& e : prints_on_row(2))
        if (e.bytes != "  " && e.column >= 55) steps.push_back({e.bytes, e.column});
    ASSERT_EQ(steps.size(), 42u);
    EXPECT_EQ(steps.front(), (std::pair<std::string, int>{"0", 75}));
    EXPECT_EQ(steps[20], (std::pair<std::string, int>{"0", 55}));
    EXPECT_EQ(steps[21], (std::pair<std::string, int>{"1", 75}));
    EXPECT_EQ(steps.back(), (std::pair<std::string, int>{"1", 55}));
}

TEST_F(LevelUp, EveryRowShowsItsGain) {
    draw_level_up_gains(v, table());
    const char* gains[] = {"+1", "+3", "+2", "+0", "+0", "+0", "+0", "+3"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(con.row_text(2 + i, 54, 8), gains[i] + std::string(8 - std::string(gains[i]).size(), ' ')) << i;
    // Labels 8 x 50; slides of (gain + 1) x 21 frames; exp count 0..3.
    EXPECT_EQ(total_sleep(), 8 * 50 + (2 + 4 + 3 + 1 + 1 + 1 + 1) * 21 + 4);
}

TEST_F(LevelUp, WideGainLeavesNoDigitsBehind) {
    rec.hero.max_hp = 220;  // a gain of 100
    draw_level_up_gains(v, table());
    EXPECT_EQ(con.row_text(3, 54, 25), "+100" + std::string(21, ' '));
}

TEST_F(LevelUp, KeyDuringTheCountShowsTheFullNumber) {
    gained = 5000;
    // Labels and slides end at 400 + 13 * 21 = 673 ms; the key comes 20 ms into the count.
    con.add_key('x', 693);
    draw_level_up_gains(v, table());
    EXPECT_EQ(con.keys_left(), 0u);
    EXPECT_EQ(con.row_text(9, 54, 6), "+5000 ");
    std::vector<std::string> figures;
    for (const auto& e : prints_on_row(9))
        if (e.column == 55) figures.push_back(e.bytes);
    ASSERT_EQ(figures.size(), 21u);  // 0 to 19, then the full number
    EXPECT_EQ(figures[19], "19");
    EXPECT_EQ(figures.back(), "5000");
}

TEST_F(LevelUp, KeyBeforeTheCountShowsZeroThenTheFullNumber) {
    gained = 5000;
    con.add_key(key_space, 0);
    draw_level_up_gains(v, table());
    std::vector<std::string> figures;
    for (const auto& e : prints_on_row(9))
        if (e.column == 55) figures.push_back(e.bytes);
    EXPECT_EQ(figures, (std::vector<std::string>{"0", "5000"}));
}

// ---------------------------------------------------------------- new values

TEST_F(LevelUp, ValuesRiseFromRowNineIntoTheirRows) {
    draw_level_up_values(v, table());
    const char* values[] = {"5", "123", "32", "20", "10", "12", "15", "7"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(con.row_text(2 + i, 63, 10),
                  ":     " + std::string(values[i]) + std::string(4 - std::string(values[i]).size(), ' '))
            << i;
    EXPECT_EQ(sleeps(), std::vector<int>(8 + 7 + 6 + 5 + 4 + 3 + 2 + 1, 5));
    // The level passes rows 9 to 2, each frame but the last erased with 9 blanks.
    std::vector<int> rows;
    for (const auto& e : prints())
        if (e.bytes == ":     5") rows.push_back(e.row);
    EXPECT_EQ(rows, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2}));
    auto p = prints();
    EXPECT_EQ(p[1].bytes, std::string(9, ' '));
    EXPECT_EQ(p[1].row, 9);
}

TEST_F(LevelUp, ValuesAreSigned16BitAndWideOnesLeaveNothingBehind) {
    rec.hero.max_hp = 40000;  // shown as -25536
    rec.hero.exp = 70000;     // low 16 bits: 4464
    draw_level_up_values(v, table());
    EXPECT_EQ(con.row_text(3, 63, 14), ":     -25536  ");
    EXPECT_EQ(con.row_text(9, 63, 12), ":     4464  ");
    for (int row = 4; row <= 8; ++row) EXPECT_EQ(con.row_text(row, 69, 8).find('6'), std::string::npos) << row;
}

}  // namespace
}  // namespace rpg
