// The whole battle screen as the program builds it at start, compared with
// the picture it must give on an 80 x 19 console.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/message.h"
#include "screen/status.h"
#include "screen_test_support.h"

namespace rpg {
namespace {

using testing::set_text;

std::string sp(int n) { return std::string(static_cast<std::size_t>(n), ' '); }
std::string times(const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
}

TEST(OpeningScreen, GoldenPicture) {
    MemoryConsole con(80, 19);
    con.record_events(true);
    View v(con);
    HeroStatus hero;
    hero.level = 5;
    hero.max_hp = 120;
    hero.hp = 120;
    EnemyStatus pawn;
    set_text(pawn.glyph, "兵");
    pawn.target = 1;
    set_text_attribute(v, attr_normal);

    open_command_window(v);
    draw_command_labels(v);
    draw_enemy_view(v);
    draw_formation(v, pawn, 3);
    draw_message_frame(v);
    draw_hp_panel(v, hero);
    draw_level(v, hero.level);
    draw_effect_markers(v);

    const std::string top6 = times("＿", 6);
    const std::string over6 = times("￣", 6);
    const std::string box = "|" + sp(22) + "|";
    const std::string window = sp(25) + "|" + sp(52) + "|";
    const std::string expected[19] = {
        sp(9) + top6 + sp(5) + "___Enemy View_________",
        sp(7) + "／ たたかう ／" + sp(4) + box,
        sp(7) + over6 + sp(6) + "|" + sp(8) + "兵  兵" + sp(8) + "|",
        sp(7) + top6 + sp(6) + box,
        sp(5) + "／ ぼうぎょ ／" + sp(6) + "|" + sp(10) + "兵" + sp(10) + "|",
        sp(5) + over6 + sp(8) + box,
        sp(5) + top6 + sp(9) + times("￣", 11),
        sp(3) + "／ アイテム ／",
        sp(3) + over6,
        sp(3) + top6,
        sp(1) + "／  にげる  ／",
        sp(1) + over6,
        sp(4) + "|  Lv : 5" + sp(12) + "|" + times("￣", 26) + "|",
        " ---+" + std::string(18, '-') + sp(2) + "|" + sp(52) + "|",
        sp(4) + "|  HP : 120 / 120" + sp(4) + "|" + sp(52) + "|",
        window,
        sp(4) + "+" + window.substr(5),
        sp(4) + "+" + window.substr(5),
        sp(4) + "+" + sp(20) + "|" + times("＿", 26) + "|",
    };
    std::string picture;
    for (const auto& line : expected) picture += line + "\n";
    EXPECT_EQ(con.screen_text(), picture);

    // Only the first command frame is bright; the HP figure is the other bright piece.
    std::set<std::pair<int, int>> bright;
    for (int row = 0; row < 19; ++row)
        for (int x = 0; x < 80; ++x)
            if (con.attribute_at(x, row) == 15 && con.cell(x, row).byte != ' ') bright.insert({x, row});
    std::set<std::pair<int, int>> expected_bright;
    for (int x = 9; x <= 20; ++x) expected_bright.insert({x, 0});
    for (int x : {7, 8, 19, 20}) expected_bright.insert({x, 1});
    for (int x = 7; x <= 18; ++x) expected_bright.insert({x, 2});
    for (int x = 12; x <= 14; ++x) expected_bright.insert({x, 14});
    EXPECT_EQ(bright, expected_bright);

    // 100 frames of 1 ms, four labels of 100 ms, 18 bar cells of 30 ms, three markers of 10 ms.
    EXPECT_EQ(con.total_sleep_ms(), 100 + 400 + 540 + 30);
    EXPECT_EQ(v.left_origin, 1);
    EXPECT_EQ(v.right_origin, 25);
    EXPECT_EQ(v.text_attribute, attr_normal);
}

}  // namespace
}  // namespace rpg
