#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "screen/draw.h"
#include "screen/layout.h"
#include "screen_test_support.h"

namespace rpg {
namespace {

using testing::column_range;
using testing::set_text;
using testing::u8;

class Layout : public testing::ScreenTest {
protected:
    Layout() {
        set_text(pawn().name, "ポーン");
        set_text(pawn().glyph, "兵");
        pawn().kind = 1;
        pawn().target = 1;
    }
    EnemyStatus& pawn() { return rec.enemies[kind_pawn]; }
    void set_total(int total) { total_ = total; }
    int total_ = 3;
    // The columns of a row that show something in the highlight.
    std::vector<int> bright_marks(int row) const {
        std::vector<int> out;
        for (int x : columns_with_attribute(row, 15))
            if (con.cell(x, row).byte != ' ') out.push_back(x);
        return out;
    }
};

// ---------------------------------------------------------------- command window

TEST_F(Layout, CommandFramesAtRest) {
    struct Case {
        int entry, top_column, top_row, left_slash, right_slash;
    };
    const Case cases[] = {{1, 9, 0, 7, 19}, {2, 7, 3, 5, 17}, {3, 5, 6, 3, 15}, {4, 3, 9, 1, 13}};
    for (const auto& c : cases) {
        draw_command_frame(v, c.entry);
        EXPECT_TRUE(con.shows(c.top_column, c.top_row, "＿＿＿＿＿＿")) << c.entry;
        EXPECT_TRUE(con.shows(c.left_slash, c.top_row + 1, "／")) << c.entry;
        EXPECT_TRUE(con.shows(c.right_slash, c.top_row + 1, "／")) << c.entry;
        EXPECT_TRUE(con.shows(c.left_slash, c.top_row + 2, "￣￣￣￣￣￣")) << c.entry;
        erase_command_frame(v, c.entry);
        for (int row = c.top_row; row <= c.top_row + 2; ++row) EXPECT_TRUE(looks_blank(row, 0, 79)) << c.entry;
    }
}

TEST_F(Layout, OpeningAnimationEndsAtRestWithEntryOneHighlighted) {
    set_text_attribute(v, attr_normal);
    open_command_window(v);
    EXPECT_EQ(sleeps(), std::vector<int>(100, 1));
    EXPECT_EQ(v.left_origin, 1);
    EXPECT_EQ(v.text_attribute, attr_normal);
    // Frame 1 stands in the highlight, frames 2 to 4 in the normal look.
    EXPECT_EQ(bright_marks(0), column_range(9, 20));
    EXPECT_EQ(bright_marks(1), (std::vector<int>{7, 8, 19, 20}));
    EXPECT_EQ(bright_marks(2), column_range(7, 18));
    for (int row = 3; row <= 11; ++row) EXPECT_TRUE(bright_marks(row).empty()) << row;
    EXPECT_TRUE(con.shows(7, 3, "＿＿＿＿＿＿"));
    EXPECT_TRUE(con.shows(1, 10, "／"));
    // Nothing of the moving frames is left on their way in.
    for (int row = 0; row <= 11; ++row) EXPECT_TRUE(looks_blank(row, 21, 79)) << row;
}

// ---------------------------------------------------------------- enemy view

TEST_F(Layout, FormationGlyphsStandOnTheirPositions) {
    for (int total = 1; total <= 7; ++total) {
        MemoryConsole fresh;
        View battle(fresh);
        draw_formation(battle, pawn(), total);
        std::set<std::pair<int, int>> expected;
        for (int t = 1; t <= total; ++t) {
            ScreenPosition p = formation_position(total, t);
            EXPECT_TRUE(fresh.shows(p.column, p.row, "兵")) << total << "/" << t;
            expected.insert({p.column, p.row});
            expected.insert({p.column + 1, p.row});
        }
        std::set<std::pair<int, int>> drawn;
        for (int row = 0; row <= 6; ++row)
            for (int x = 0; x < 80; ++x)
                if (fresh.cell(x, row).byte != ' ') drawn.insert({x, row});
        EXPECT_EQ(drawn, expected) << total;
    }
}

TEST_F(Layout, NoFormationOutsideOneToSeven) {
    for (int total : {0, 8}) {
        set_total(total);
        draw_formation(v, pawn(), total_);
        pawn().target = 1;
        highlight_enemy_glyph(v, pawn(), total);
        erase_enemy_glyph(v, pawn(), total);
        restore_enemy_glyph(v, pawn(), total);
        EXPECT_TRUE(prints().empty()) << total;
    }
}

TEST_F(Layout, ThreeEnemyGlyphsHighlightAndFall) {
    set_total(3);
    draw_formation(v, pawn(), total_);
    const std::pair<int, int> places[] = {{34, 2}, {38, 2}, {36, 4}};
    for (int t = 1; t <= 3; ++t) {
        auto [x, row] = places[t - 1];
        pawn().target = to_u16(t);
        highlight_enemy_glyph(v, pawn(), 3);
        EXPECT_TRUE(con.shows(x, row, "兵"));
        EXPECT_EQ(con.attribute_at(x, row), 15);
        EXPECT_EQ(con.attribute_at(x + 1, row), 15);
        EXPECT_EQ(v.text_attribute, attr_normal);
        restore_enemy_glyph(v, pawn(), 3);
        EXPECT_EQ(con.attribute_at(x, row), 7);
    }
    pawn().target = 2;
    erase_enemy_glyph(v, pawn(), 3);
    EXPECT_EQ(con.row_text(2, 34, 6), "兵    ");
    EXPECT_TRUE(con.shows(36, 4, "兵"));
}

TEST_F(Layout, ClearUpperAreaWipesRowsZeroToTen) {
    for (int row = 0; row <= 11; ++row) put_at(v, 0, row, std::string(80, '#'));
    clear_upper_area(v);
    for (int row = 0; row <= 10; ++row) {
        EXPECT_TRUE(looks_blank(row, 25, 77)) << row;
        EXPECT_EQ(con.cell(24, row).byte, '#');
        EXPECT_EQ(con.cell(78, row).byte, '#');
    }
    EXPECT_EQ(con.row_text(11), std::string(80, '#'));
}

// ---------------------------------------------------------------- heading

TEST_F(Layout, HeadingSlidesInFromTheRightAndRestsAtColumn24) {
    ASSERT_EQ(sjis("＜　対　象　の　選　択　＞").size(), 26u);
    put_at(v, 0, 8, "XXXX");
    con.clear_events();
    slide_target_heading(v);
    EXPECT_EQ(sleeps(), std::vector<int>(8, 1));
    std::vector<int> columns;
    for (const auto& e : prints())
        if (e.bytes == sjis("＜　対　象　の　選　択　＞")) columns.push_back(e.column);
    EXPECT_EQ(columns, (std::vector<int>{31, 30, 29, 28, 27, 26, 25, 24}));
    EXPECT_TRUE(con.shows(24, 7, "＜　対　象　の　選　択　＞"));
    EXPECT_TRUE(looks_blank(7, 50, 79));
    // The blanks after the first frames wrap onto the start of row 8.
    EXPECT_EQ(con.row_text(8, 0, 4), "   X");
}

TEST_F(Layout, HeadingEraseLeavesNothingFromColumn24) {
    slide_target_heading(v);
    erase_target_heading(v);
    EXPECT_TRUE(looks_blank(7, 0, 79));
    auto p = prints();
    EXPECT_EQ(p.back().column, 24);
    EXPECT_EQ(p.back().bytes, std::string(27, ' '));
}

// ---------------------------------------------------------------- banners

TEST_F(Layout, EnemyAttackBanner) {
    draw_enemy_attack_banner(v);
    EXPECT_TRUE(con.shows(33, 9, "敵の攻撃"));
    // The label starts and ends inside full-width blanks of the plate: the
    // halves left over are blanked, so the row reads cleanly.
    EXPECT_EQ(con.row_text(9, 26, 22), "／　　 敵の攻撃 　　／");
}

TEST_F(Layout, TargetBannerLabelColumnByKind) {
    // Kinds 1, 2, 4, 6 from column 34, 5 from 33, 3 from 32, others no name.
    // Where a name starts or ends inside a full-width blank of the plate, the
    // half left over is blanked, so the row never shows a broken character.
    struct Case {
        int kind;
        const char* name;
        const char* row9;
    };
    const Case cases[] = {
        {1, "ポーン", "／　　　ポーン　　　／"},   {2, "ABC", "／　　　ABC 　　　　／"},
        {4, "Pawn!", "／　　　Pawn! 　　　／"},    {6, "キング", "／　　　キング　　　／"},
        {5, "クイーン", "／　　 クイーン 　　／"}, {3, "ルーク", "／　　ルーク　　　　／"},
        {0, "ポーン", "／　　　　  　　　　／"},   {7, "ポーン", "／　　　　  　　　　／"},
    };
    for (const auto& c : cases) {
        MemoryConsole fresh;
        View battle(fresh);
        EnemyStatus enemy;
        enemy.kind = to_u16(c.kind);
        set_text(enemy.name, c.name);
        draw_target_banner(battle, enemy);
        EXPECT_TRUE(fresh.shows(28, 8, "＿＿＿＿＿＿＿＿＿＿")) << c.kind;
        EXPECT_EQ(fresh.row_text(9, 26, 22), c.row9) << c.kind;
        EXPECT_TRUE(fresh.shows(26, 10, "￣￣￣￣￣￣￣￣￣￣")) << c.kind;
    }
}

TEST_F(Layout, NameBannerCentresSixAndSevenByteNamesFromColumn33) {
    for (const char* name : {"ABCDEF", "ABCDEFG"}) {
        MemoryConsole fresh;
        View battle(fresh);
        draw_name_banner(battle, name);
        EXPECT_TRUE(fresh.shows(33, 9, name)) << name;
        EXPECT_TRUE(fresh.shows(26, 9, "／")) << name;
        EXPECT_TRUE(fresh.shows(46, 9, "／")) << name;
        EXPECT_EQ(fresh.cell(32, 9).byte, ' ');
    }
    MemoryConsole fresh;
    View battle(fresh);
    draw_name_banner(battle, sjis("アレス"));
    EXPECT_TRUE(fresh.shows(33, 9, "アレス"));
}

TEST_F(Layout, EraseBannerBlanksTheWholeBannerArea) {
    draw_target_banner(v, pawn());
    erase_banner(v);
    EXPECT_TRUE(looks_blank(8, 28, 47));
    EXPECT_TRUE(looks_blank(9, 26, 49));
    EXPECT_TRUE(looks_blank(10, 26, 45));
    EXPECT_EQ(con.row_text(9, 26, 24), std::string("　　　　　　　　　　　　"));
    EXPECT_EQ(con.row_text(8, 28, 20), std::string(20, ' '));
}

TEST_F(Layout, BannerSlidesTakeTenFramesAndRestoreTheOrigin) {
    struct Slide {
        const char* what;
        void (*run)(View&, const EnemyStatus&);
        const char* label;
        int label_column;
    };
    const Slide slides[] = {
        {"target", [](View& x, const EnemyStatus& e) { slide_target_banner(x, e); }, "ポーン", 34},
        {"attack", [](View& x, const EnemyStatus&) { slide_enemy_attack_banner(x); }, "敵の攻撃", 33},
        {"name", [](View& x, const EnemyStatus&) { slide_name_banner(x, "ABCDEF"); }, "ABCDEF", 33},
    };
    for (const auto& s : slides) {
        MemoryConsole fresh;
        fresh.record_events(true);
        View battle(fresh);
        s.run(battle, pawn());
        int pauses = 0;
        for (const auto& e : fresh.events())
            if (e.kind == MemoryConsole::Event::sleep) {
                EXPECT_EQ(e.milliseconds, 1);
                ++pauses;
            }
        EXPECT_EQ(pauses, 10) << s.what;
        EXPECT_EQ(battle.right_origin, 25) << s.what;
        // The top row is drawn at 37, 36, ... 28.
        std::vector<int> columns;
        for (const auto& e : fresh.events())
            if (e.kind == MemoryConsole::Event::print && e.row == 8 && e.bytes[0] != ' ') columns.push_back(e.column);
        ASSERT_EQ(columns.size(), 10u) << s.what;
        EXPECT_EQ(columns.front(), 37);
        EXPECT_EQ(columns.back(), 28);
        EXPECT_TRUE(fresh.shows(s.label_column, 9, s.label)) << s.what;
        EXPECT_TRUE(fresh.shows(46, 9, "／")) << s.what;
        // What the earlier frames drew right of the banner is gone (the erase
        // leaves blanks and ideographic spaces), and no half of a full-width
        // character is left anywhere.
        for (int row = 8; row <= 10; ++row) {
            std::string rest = fresh.row_text(row, 48, 20);
            for (std::size_t at; (at = rest.find("\u3000")) != std::string::npos;) rest.replace(at, 3, "  ");
            EXPECT_EQ(rest, std::string(20, ' ')) << s.what << " " << row;
            EXPECT_EQ(fresh.row_text(row).find('?'), std::string::npos) << s.what << " " << row;
        }
        EXPECT_EQ(fresh.row_text(10, 46, 2), "  ") << s.what;
    }
}

}  // namespace
}  // namespace rpg
