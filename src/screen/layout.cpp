#include "screen/layout.h"

#include <string>

#include "platform/encoding.h"
#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int max_formation = 7;
constexpr int heading_row = 7;
constexpr int heading_frames = 8;
constexpr int banner_frames = 10;

// The placement of one glyph relative to the right origin.
struct FormationCell {
    int dx;
    int row;
};

// Glyph places for formations of 1 to 7 enemies, position 1 first.
constexpr FormationCell formation_table[max_formation][max_formation] = {
    {{11, 3}},
    {{9, 3}, {13, 3}},
    {{9, 2}, {13, 2}, {11, 4}},
    {{9, 2}, {13, 2}, {9, 4}, {13, 4}},
    {{8, 2}, {14, 2}, {11, 3}, {8, 4}, {14, 4}},
    {{7, 2}, {11, 2}, {15, 2}, {7, 4}, {11, 4}, {15, 4}},
    {{5, 2}, {9, 2}, {13, 2}, {17, 2}, {7, 4}, {11, 4}, {15, 4}},
};

bool valid_place(int total, int t) { return total >= 1 && total <= max_formation && t >= 1 && t <= total; }

const FormationCell& formation_cell(int total, int t) { return formation_table[total - 1][t - 1]; }

// The left column and top row of the frame of command entry e.
int frame_column(const Battle& b, int entry) { return b.screen.left_origin + 2 * (4 - entry); }
int frame_row(int entry) { return 3 * (entry - 1); }

const std::string& heading_text() { return sjis("＜　対　象　の　選　択　＞"); }

// Rows 8 and 10 of every banner; row 9 comes from the caller between them.
void banner_top(Battle& b) { put_at(b, b.screen.right_origin + 3, 8, sjis("＿＿＿＿＿＿＿＿＿＿")); }
void banner_bottom(Battle& b) { put_at(b, b.screen.right_origin + 1, 10, sjis("￣￣￣￣￣￣￣￣￣￣")); }
void banner_plate_row(Battle& b) { put_at(b, b.screen.right_origin + 1, 9, sjis("／　　　　  　　　　／")); }

// The three banners, so that one slide serves them all.
enum class BannerKind { target, enemy_attack, name };

void draw_banner(Battle& b, BannerKind kind, const EnemyStatus* enemy, std::string_view sjis_name) {
    switch (kind) {
        case BannerKind::target: draw_target_banner(b, *enemy); break;
        case BannerKind::enemy_attack: draw_enemy_attack_banner(b); break;
        case BannerKind::name: draw_name_banner(b, sjis_name); break;
    }
}

// The banner comes in from nine columns to the right, one column per frame.
// The right origin carries the offset for the length of the slide.
void slide_banner(Battle& b, BannerKind kind, const EnemyStatus* enemy, std::string_view sjis_name) {
    const i16 rest = b.screen.right_origin;
    for (int d = banner_frames - 1; d >= 0; --d) {
        b.screen.right_origin = to_i16(rest + d);
        draw_banner(b, kind, enemy, sjis_name);
        pause(b, 1);
        if (d != 0) erase_banner(b);
    }
    b.screen.right_origin = rest;
}

}  // namespace

// ---------------------------------------------------------------- command window

void draw_command_frame(Battle& b, int entry) {
    const int x = frame_column(b, entry);
    const int y = frame_row(entry);
    put_at(b, x + 2, y, sjis("＿＿＿＿＿＿"));
    put_at(b, x, y + 1, sjis("／"));
    put_at(b, x + 12, y + 1, sjis("／"));
    put_at(b, x, y + 2, sjis("￣￣￣￣￣￣"));
}

void erase_command_frame(Battle& b, int entry) {
    const int x = frame_column(b, entry);
    const int y = frame_row(entry);
    put_at(b, x + 2, y, blanks(12));
    put_at(b, x, y + 1, blanks(14));
    put_at(b, x, y + 2, blanks(12));
}

void open_command_window(Battle& b) {
    // Each frame flies in from the right, two columns per step, 25 steps.
    auto fly_in = [&b](int entry) {
        for (int step = 0; step < 25; ++step) {
            draw_command_frame(b, entry);
            pause(b, 1);
            if (b.screen.left_origin != 1) erase_command_frame(b, entry);
            b.screen.left_origin = to_i16(b.screen.left_origin - 2);
        }
    };
    b.screen.left_origin = to_i16(b.screen.left_origin + 48);
    set_highlight(b);
    fly_in(1);
    set_text_attribute(b, attr_normal);
    for (int entry = 2; entry <= 4; ++entry) {
        b.screen.left_origin = to_i16(b.screen.left_origin + 50);
        fly_in(entry);
    }
    b.screen.left_origin = to_i16(b.screen.left_origin + 2);
}

void draw_command_labels(Battle& b) {
    put_at(b, 10, 1, sjis("たたかう"));
    pause(b, 100);
    put_at(b, 8, 4, sjis("ぼうぎょ"));
    pause(b, 100);
    put_at(b, 6, 7, sjis("アイテム"));
    pause(b, 100);
    put_at(b, 4, 10, " ");
    put(b, sjis("にげる"));
    pause(b, 100);
}

// ---------------------------------------------------------------- enemy view

void draw_enemy_view(Battle& b) {
    const int o = b.screen.right_origin;
    put_at(b, o, 0, " ___Enemy View_________");
    for (int row = 1; row <= 5; ++row) put_at(b, o, row, "|" + blanks(22) + "|");
    put_at(b, o, 6, " " + repeat(sjis("￣"), 11));
}

void draw_formation(Battle& b, const EnemyStatus& enemy) {
    const int o = b.screen.right_origin;
    const std::string glyph(text_of(enemy.glyph));
    const std::string two = glyph + "  " + glyph;
    const std::string three = two + "  " + glyph;
    switch (b.enemy_total()) {
        case 1: put_at(b, o + 11, 3, glyph); break;
        case 2: put_at(b, o + 9, 3, two); break;
        case 3:
            put_at(b, o + 9, 2, two);
            put_at(b, o + 11, 4, glyph);
            break;
        case 4:
            put_at(b, o + 9, 2, two);
            put_at(b, o + 9, 4, two);
            break;
        case 5:
            put_at(b, o + 8, 2, glyph + "    " + glyph);
            put_at(b, o + 11, 3, glyph);
            put_at(b, o + 8, 4, glyph + "    " + glyph);
            break;
        case 6:
            put_at(b, o + 7, 2, three);
            put_at(b, o + 7, 4, three);
            break;
        case 7:
            put_at(b, o + 5, 2, three + "  " + glyph);
            put_at(b, o + 7, 4, three);
            break;
        default: break;  // no formation for other counts
    }
}

ScreenPosition formation_position(int total, int t) {
    if (!valid_place(total, t)) return {};
    const FormationCell& cell = formation_cell(total, t);
    return {to_u16(ConsoleState{}.right_origin + cell.dx), to_u16(cell.row)};
}

namespace {

// Places the cursor on the selected enemy's glyph; false when there is none.
bool move_to_target(Battle& b, const EnemyStatus& enemy, int total) {
    if (!valid_place(total, enemy.target)) return false;
    const FormationCell& cell = formation_cell(total, enemy.target);
    move_cursor(b, b.screen.right_origin + cell.dx, cell.row);
    return true;
}

}  // namespace

void erase_enemy_glyph(Battle& b, const EnemyStatus& enemy, int total) {
    if (move_to_target(b, enemy, total)) put(b, "  ");
}

void highlight_enemy_glyph(Battle& b, const EnemyStatus& enemy, int total) {
    if (!move_to_target(b, enemy, total)) return;
    set_highlight(b);
    put(b, text_of(enemy.glyph));
    set_text_attribute(b, attr_normal);
}

void restore_enemy_glyph(Battle& b, const EnemyStatus& enemy, int total) {
    if (!valid_place(total, enemy.target)) return;
    set_text_attribute(b, attr_normal);
    move_to_target(b, enemy, total);
    put(b, text_of(enemy.glyph));
}

void clear_upper_area(Battle& b) {
    for (int row = 0; row <= 10; ++row) put_at(b, b.screen.right_origin, row, blanks(53));
}

// ---------------------------------------------------------------- heading

void slide_target_heading(Battle& b) {
    // Eight frames from O+6 to O-1. The blanks behind the first frames run past
    // the right edge and wrap onto row 8, where nothing stands yet.
    int x = b.screen.right_origin + 6;
    for (int frame = 0; frame < heading_frames; ++frame) {
        put_at(b, x, heading_row, heading_text());
        pause(b, 1);
        put(b, blanks(26));
        --x;
    }
}

void erase_target_heading(Battle& b) {
    // The heading rests one column left of the right origin, so the blanks
    // start there too: nothing of its first character may stay behind.
    put_at(b, b.screen.right_origin - 1, heading_row, blanks(27));
}

// ---------------------------------------------------------------- banners

void draw_target_banner(Battle& b, const EnemyStatus& enemy) {
    const int o = b.screen.right_origin;
    banner_top(b);
    banner_plate_row(b);
    int label_column = -1;
    switch (enemy.kind) {
        case 1:
        case 2:
        case 4:
        case 6: label_column = o + 9; break;
        case 5: label_column = o + 8; break;
        case 3: label_column = o + 7; break;
        default: break;  // an unknown kind shows no name
    }
    if (label_column >= 0) put_at(b, label_column, 9, text_of(enemy.name));
    banner_bottom(b);
}

void draw_enemy_attack_banner(Battle& b) {
    banner_top(b);
    banner_plate_row(b);
    put_at(b, b.screen.right_origin + 8, 9, sjis("敵の攻撃"));
    banner_bottom(b);
}

void draw_name_banner(Battle& b, std::string_view sjis_name) {
    const int o = b.screen.right_origin;
    banner_top(b);
    put_at(b, o + 1, 9, sjis("／") + blanks(18) + sjis("／"));
    put_at(b, o + 11 - static_cast<int>(sjis_name.size()) / 2, 9, sjis_name);
    banner_bottom(b);
}

void erase_banner(Battle& b) {
    const int o = b.screen.right_origin;
    put_at(b, o + 3, 8, blanks(20));
    put_at(b, o + 1, 9, repeat(sjis("　"), 12));
    put_at(b, o + 1, 10, repeat(sjis("　"), 10));
}

void slide_target_banner(Battle& b, const EnemyStatus& enemy) { slide_banner(b, BannerKind::target, &enemy, {}); }

void slide_enemy_attack_banner(Battle& b) { slide_banner(b, BannerKind::enemy_attack, nullptr, {}); }

void slide_name_banner(Battle& b, std::string_view sjis_name) { slide_banner(b, BannerKind::name, nullptr, sjis_name); }

}  // namespace rpg
