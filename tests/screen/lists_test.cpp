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
        set_text(b.rec.hero.name, "アレス");
        b.rec.hero.level = 1;
        b.rec.hero.max_hp = 100;
        b.rec.hero.hp = 100;
        b.rec.hero.attack = 30;
        b.rec.hero.defense = 20;
        b.rec.hero.items[item_potion].count = 3;
        b.rec.hero.items[item_protein].count = 2;
        b.rec.hero.items[item_buckler].count = 1;
        const char* names[] = {"ソードカット", "フレイム", "大回転斬り", "ヘルフレイム", "絶対服従"};
        for (int i = 0; i < skill_count; ++i) set_text(b.rec.skills[static_cast<std::size_t>(i)].name, names[i]);
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
    b.rec.hero.items[item_buckler].count = 65535;  // printed unsigned
    draw_item_count(b, 3);
    EXPECT_TRUE(con.shows(65, 10, "65535"));
    draw_item_title(b);
    EXPECT_EQ(con.row_text(0, 54, 20), "________Item________");
    clear_list_row(b, 0);  // entry 0 is the title row
    EXPECT_TRUE(looks_blank(0, 54, 73));
    draw_ability_title(b);
    EXPECT_EQ(con.row_text(0, 54, 20), "______Ability_______");
    clear_list_title(b);
    EXPECT_TRUE(looks_blank(0, 54, 73));
    clear_list_row(b, 5);
    EXPECT_TRUE(looks_blank(10, 54, 73));
}

// ---------------------------------------------------------------- openings

TEST_F(Lists, ItemListSlidesDownIntoPlace) {
    set_highlight(b);
    open_item_list(b);
    EXPECT_EQ(sleeps(), std::vector<int>(15, 1));
    EXPECT_EQ(b.screen.list_top, 0);
    EXPECT_EQ(b.screen.text_attribute, attr_normal);
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
    open_item_list(b);
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
        Battle battle(fresh);
        battle.rec = b.rec;
        battle.rec.hero.level = c.level;
        open_ability_list(battle);
        int frames = 0;
        for (const auto& e : fresh.events())
            if (e.kind == MemoryConsole::Event::sleep) ++frames;
        EXPECT_EQ(frames, c.frames) << c.level;
        EXPECT_EQ(battle.screen.list_top, 0);
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

// ---------------------------------------------------------------- use_item

TEST_F(Lists, PotionAt95Of100HealsFive) {
    b.rec.hero.hp = 95;
    con.add_key(key_enter, later);
    use_item(b, 1);
    EXPECT_EQ(b.rec.hero.hp, 100);
    EXPECT_EQ(b.rec.hero.items[item_potion].count, 2);
    EXPECT_EQ(b.state.items_used, 1);
    std::vector<std::string> figures;
    for (const auto& e : prints_on_row(14)) {
        if (e.column >= 25) continue;  // the message window
        EXPECT_EQ(e.column, 12);
        EXPECT_EQ(e.attribute, 7);  // the figure loses its brightness
        figures.push_back(e.bytes);
    }
    EXPECT_EQ(figures, (std::vector<std::string>{"96", "97", "98", "99", "100"}));
    EXPECT_EQ(u8(b.screen.message_lines[0]), "アレスの体力が5回復しました。");
    EXPECT_TRUE(con.shows(27, 13, "アレスの体力が5回復しました。"));
    EXPECT_EQ(con.keys_left(), 0u);  // waited for acknowledgement
    // Five 20 ms steps come before the message is typed.
    std::vector<int> s = sleeps();
    ASSERT_GE(s.size(), 5u);
    EXPECT_EQ(std::vector<int>(s.begin(), s.begin() + 5), std::vector<int>(5, 20));
}

TEST_F(Lists, PotionHealsAtMostTwenty) {
    b.rec.hero.hp = 10;
    con.add_key(key_enter, later);
    use_item(b, 1);
    EXPECT_EQ(b.rec.hero.hp, 30);
    EXPECT_EQ(u8(b.screen.message_lines[0]), "アレスの体力が20回復しました。");
    EXPECT_EQ(con.row_text(14, 12, 2), "30");
}

TEST_F(Lists, PotionAtFullHpIsSpentAndHealsZero) {
    con.add_key(key_enter, later);
    use_item(b, 1);
    EXPECT_EQ(b.rec.hero.hp, 100);
    EXPECT_EQ(b.rec.hero.items[item_potion].count, 2);
    for (const auto& e : prints_on_row(14)) EXPECT_GE(e.column, 25);  // no figure drawn
    EXPECT_EQ(u8(b.screen.message_lines[0]), "アレスの体力が0回復しました。");
}

TEST_F(Lists, ProteinAndBucklerStartTheirEffects) {
    struct Case {
        i16 kind;
        const char* marker;
        const char* message;
    };
    const Case cases[] = {{2, "SA", "アレスの攻撃力がアップした。"}, {3, "SD", "アレスの防御力がアップした。"}};
    for (const auto& c : cases) {
        MemoryConsole fresh;
        fresh.record_events(true);
        Battle battle(fresh);
        battle.rec = b.rec;
        fresh.add_key(key_enter, later);
        use_item(battle, c.kind);
        const bool protein = c.kind == 2;
        EXPECT_EQ(battle.rec.hero.attack, protein ? 35 : 30);
        EXPECT_EQ(battle.rec.hero.defense, protein ? 20 : 25);
        EXPECT_EQ(battle.rec.hero.items[item_protein].count, protein ? 1 : 2);
        EXPECT_EQ(battle.rec.hero.items[item_buckler].count, protein ? 1 : 0);
        EXPECT_EQ(battle.state.active_effects, 1);
        EXPECT_EQ(battle.state.items_used, 1);
        const EffectSlot& slot = protein ? battle.state.protein[0] : battle.state.buckler[0];
        EXPECT_EQ(slot.counter, 11);
        EXPECT_TRUE(fresh.shows(1, 16, c.marker));
        EXPECT_EQ(fresh.attribute_at(1, 16), 15);
        EXPECT_EQ(fresh.row_text(16, 5, 18), std::string(18, '-'));
        EXPECT_EQ(u8(battle.screen.message_lines[0]), c.message);
        EXPECT_EQ(fresh.keys_left(), 0u);
        // The bar fills at 5 ms a cell before the message is typed.
        std::vector<int> s;
        for (const auto& e : fresh.events())
            if (e.kind == MemoryConsole::Event::sleep) s.push_back(e.milliseconds);
        ASSERT_GE(s.size(), 18u);
        EXPECT_EQ(std::vector<int>(s.begin(), s.begin() + 18), std::vector<int>(18, 5));
    }
}

TEST_F(Lists, ProteinBesideABucklerTakesRowOne) {
    con.add_keys({key_enter}, later);
    con.add_keys({key_enter}, 2 * later);
    use_item(b, 3);
    use_item(b, 2);
    EXPECT_EQ(b.state.protein[0].counter, 11);
    EXPECT_EQ(b.state.protein[0].row, 1);
    EXPECT_TRUE(con.shows(1, 17, "SA"));
    EXPECT_TRUE(con.shows(1, 16, "SD"));
    EXPECT_EQ(con.row_text(17, 5, 18), std::string(18, '-'));
    EXPECT_EQ(b.state.active_effects, 2);
}

TEST_F(Lists, OtherKindsOnlyClearTheWindowAndCountTheUse) {
    for (i16 kind : {i16{0}, i16{4}}) {
        con.clear_events();
        use_item(b, kind);  // no key is scripted: nothing may wait for one
        EXPECT_EQ(b.rec.hero.items[item_potion].count, 3);
        for (const auto& e : prints()) EXPECT_EQ(e.bytes, std::string(51, ' '));
    }
    EXPECT_EQ(b.state.items_used, 2);
}

}  // namespace
}  // namespace rpg
