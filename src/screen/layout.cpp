#include "screen/layout.h"

#include <string>

#include "platform/encoding.h"
#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int heading_row = 7;
constexpr int heading_frames = 8;
constexpr int banner_frames = 10;

// Every formation of 1 to 7 enemies, position 1 first: where each glyph
// stands and where the up and down arrows lead from it. One or two enemies
// stand in a single row.
constexpr FormationPlace formation_table[max_formation][max_formation] = {
    {{11, 3, 0, 0}},
    {{9, 3, 0, 0}, {13, 3, 0, 0}},
    {{9, 2, 0, 3}, {13, 2, 0, 3}, {11, 4, 1, 0}},
    {{9, 2, 0, 3}, {13, 2, 0, 4}, {9, 4, 1, 0}, {13, 4, 2, 0}},
    {{8, 2, 0, 3}, {14, 2, 0, 3}, {11, 3, 1, 5}, {8, 4, 3, 0}, {14, 4, 3, 0}},
    {{7, 2, 0, 4}, {11, 2, 0, 5}, {15, 2, 0, 6}, {7, 4, 1, 0}, {11, 4, 2, 0}, {15, 4, 3, 0}},
    {{5, 2, 0, 5}, {9, 2, 0, 6}, {13, 2, 0, 7}, {17, 2, 0, 0}, {7, 4, 1, 0}, {11, 4, 2, 0}, {15, 4, 3, 0}},
};

// The left column and top row of the frame of command entry e.
int frame_column(const View& v, int entry, int shift) { return v.left_origin + shift + 2 * (4 - entry); }
int frame_row(int entry) { return 3 * (entry - 1); }

const std::string& heading_text() { return sjis("＜　対　象　の　選　択　＞"); }

// Rows 8 and 10 of every banner; row 9 comes from the caller between them.
void banner_top(View& v, int o) { put_at(v, o + 3, 8, sjis("＿＿＿＿＿＿＿＿＿＿")); }
void banner_bottom(View& v, int o) { put_at(v, o + 1, 10, sjis("￣￣￣￣￣￣￣￣￣￣")); }
void banner_plate_row(View& v, int o) { put_at(v, o + 1, 9, sjis("／　　　　  　　　　／")); }

// The three banners, so that one slide serves them all.
enum class BannerKind { target, enemy_attack, name };

void draw_banner(View& v, BannerKind kind, const EnemyStatus* enemy, std::string_view sjis_name, int shift) {
    switch (kind) {
        case BannerKind::target: draw_target_banner(v, *enemy, shift); break;
        case BannerKind::enemy_attack: draw_enemy_attack_banner(v, shift); break;
        case BannerKind::name: draw_name_banner(v, sjis_name, shift); break;
    }
}

// The banner comes in from nine columns to the right, one column per frame.
void slide_banner(View& v, BannerKind kind, const EnemyStatus* enemy, std::string_view sjis_name) {
    for (int shift = banner_frames - 1; shift >= 0; --shift) {
        draw_banner(v, kind, enemy, sjis_name, shift);
        pause(v, 1);
        if (shift != 0) erase_banner(v, shift);
    }
}

}  // namespace

// ---------------------------------------------------------------- command window

void draw_command_frame(View& v, int entry, int shift) {
    const int x = frame_column(v, entry, shift);
    const int y = frame_row(entry);
    put_at(v, x + 2, y, sjis("＿＿＿＿＿＿"));
    put_at(v, x, y + 1, sjis("／"));
    put_at(v, x + 12, y + 1, sjis("／"));
    put_at(v, x, y + 2, sjis("￣￣￣￣￣￣"));
}

void erase_command_frame(View& v, int entry, int shift) {
    const int x = frame_column(v, entry, shift);
    const int y = frame_row(entry);
    put_at(v, x + 2, y, blank_run(12));
    put_at(v, x, y + 1, blank_run(14));
    put_at(v, x, y + 2, blank_run(12));
}

void open_command_window(View& v) {
    // Each frame flies in from 48 columns to the right, two columns per step.
    auto fly_in = [&v](int entry) {
        for (int shift = 48; shift >= 0; shift -= 2) {
            draw_command_frame(v, entry, shift);
            pause(v, 1);
            if (shift != 0) erase_command_frame(v, entry, shift);
        }
    };
    set_highlight(v);
    fly_in(1);
    set_text_attribute(v, attr_normal);
    for (int entry = 2; entry <= 4; ++entry) fly_in(entry);
}

namespace {

struct CommandLabel {
    int column;
    int row;
    const char* utf8;
};
// Command entries 1 to 4; the last label, a character shorter, comes after a blank.
constexpr CommandLabel command_labels[4] = {
    {10, 1, "たたかう"}, {8, 4, "ぼうぎょ"}, {6, 7, "アイテム"}, {5, 10, "にげる"}};

}  // namespace

void draw_command_labels(View& v) {
    for (const CommandLabel& label : command_labels) {
        if (label.column == 5) {
            put_at(v, label.column - 1, label.row, " ");
            put(v, sjis(label.utf8));
        } else {
            put_at(v, label.column, label.row, sjis(label.utf8));
        }
        pause(v, 100);
    }
}

void announce_command(View& v, int entry) {
    if (entry < 1 || entry > 4) return;
    const CommandLabel& label = command_labels[entry - 1];
    v.con.announce(label.column, label.row, sjis(label.utf8));
}

// ---------------------------------------------------------------- enemy view

void draw_enemy_view(View& v) {
    const int o = v.right_origin;
    static const std::string side = "|" + blanks(22) + "|";
    static const std::string bottom = " " + repeat(sjis("￣"), 11);
    put_at(v, o, 0, " ___Enemy View_________");
    for (int row = 1; row <= 5; ++row) put_at(v, o, row, side);
    put_at(v, o, 6, bottom);
}

void draw_formation(View& v, const EnemyStatus& enemy, int total) {
    if (total < 1 || total > max_formation) return;  // no formation for other counts
    const std::string glyph(text_of(enemy.glyph));
    // Each row of glyphs is printed at once, with the blanks between them.
    const FormationPlace* row_start = formation_place(total, 1);
    std::string run = glyph;
    for (int t = 2; t <= total + 1; ++t) {
        const FormationPlace* place = t <= total ? formation_place(total, t) : nullptr;
        const FormationPlace* last = formation_place(total, t - 1);
        if (place != nullptr && place->row == row_start->row) {
            run += blanks(place->dx - last->dx - 2) + glyph;
            continue;
        }
        put_at(v, v.right_origin + row_start->dx, row_start->row, run);
        row_start = place;
        run = glyph;
    }
}

const FormationPlace* formation_place(int total, int t) {
    if (total < 1 || total > max_formation || t < 1 || t > total) return nullptr;
    return &formation_table[total - 1][t - 1];
}

ScreenPosition formation_position(int total, int t) {
    const FormationPlace* place = formation_place(total, t);
    if (place == nullptr) return {};
    return {to_u16(right_origin_at_rest + place->dx), to_u16(place->row)};
}

namespace {

// Places the cursor on the selected enemy's glyph; false when there is none.
bool move_to_target(View& v, const EnemyStatus& enemy, int total) {
    const FormationPlace* place = formation_place(total, enemy.target);
    if (place == nullptr) return false;
    move_cursor(v, v.right_origin + place->dx, place->row);
    return true;
}

}  // namespace

void erase_enemy_glyph(View& v, const EnemyStatus& enemy, int total) {
    if (move_to_target(v, enemy, total)) put(v, "  ");
}

void highlight_enemy_glyph(View& v, const EnemyStatus& enemy, int total) {
    if (!move_to_target(v, enemy, total)) return;
    set_highlight(v);
    put(v, text_of(enemy.glyph));
    set_text_attribute(v, attr_normal);
}

void restore_enemy_glyph(View& v, const EnemyStatus& enemy, int total) {
    if (formation_place(total, enemy.target) == nullptr) return;
    set_text_attribute(v, attr_normal);
    move_to_target(v, enemy, total);
    put(v, text_of(enemy.glyph));
}

void clear_upper_area(View& v) {
    for (int row = 0; row <= 10; ++row) put_at(v, v.right_origin, row, blank_run(53));
}

// ---------------------------------------------------------------- heading

void slide_target_heading(View& v) {
    // Eight frames from O+6 to O-1. The blanks behind the first frames run past
    // the right edge and wrap onto row 8, where nothing stands yet.
    int x = v.right_origin + 6;
    for (int frame = 0; frame < heading_frames; ++frame) {
        put_at(v, x, heading_row, heading_text());
        pause(v, 1);
        put(v, blank_run(26));
        --x;
    }
}

void erase_target_heading(View& v) {
    // The heading rests one column left of the right origin, so the blanks
    // start there too: nothing of its first character may stay behind.
    put_at(v, v.right_origin - 1, heading_row, blank_run(27));
}

// ---------------------------------------------------------------- banners

namespace {

// The name is centred on the plate (columns o + 3 to o + 20) for the length
// that each kind's name has in the game's data: six columns for ポーン,
// ナイト, ルーク and キング (kinds 1, 2, 4, 6), eight for クイーン (5), ten
// for ビショップ (3). The column goes by the kind, not by the name's length,
// so an enemy file that renames a kind keeps its column. An unknown kind
// shows no name: -1.
int banner_name_column(const EnemyStatus& enemy, int o) {
    switch (enemy.kind) {
        case 1:
        case 2:
        case 4:
        case 6: return o + 9;
        case 5: return o + 8;
        case 3: return o + 7;
        default: return -1;
    }
}

}  // namespace

void draw_target_banner(View& v, const EnemyStatus& enemy, int shift) {
    const int o = v.right_origin + shift;
    banner_top(v, o);
    banner_plate_row(v, o);
    if (const int label_column = banner_name_column(enemy, o); label_column >= 0) {
        put_at(v, label_column, 9, text_of(enemy.name));
    }
    banner_bottom(v, o);
}

void announce_target(View& v, const EnemyStatus& enemy) {
    const int column = banner_name_column(enemy, v.right_origin);
    // Without a name on the plate, the plate's inside.
    v.con.announce(column >= 0 ? column : v.right_origin + 3, 9,
                   std::string(text_of(enemy.name)) + " " + decimal(enemy.target));
}

void draw_enemy_attack_banner(View& v, int shift) {
    const int o = v.right_origin + shift;
    banner_top(v, o);
    banner_plate_row(v, o);
    put_at(v, o + 8, 9, sjis("敵の攻撃"));
    banner_bottom(v, o);
}

void draw_name_banner(View& v, std::string_view sjis_name, int shift) {
    const int o = v.right_origin + shift;
    banner_top(v, o);
    static const std::string plate = sjis("／") + blanks(18) + sjis("／");
    put_at(v, o + 1, 9, plate);
    put_at(v, o + 11 - static_cast<int>(sjis_name.size()) / 2, 9, sjis_name);
    banner_bottom(v, o);
}

void erase_banner(View& v, int shift) {
    const int o = v.right_origin + shift;
    // Drawn for every frame of every slide: the rows are made once.
    static const std::string plate_row = repeat(sjis("　"), 12);
    static const std::string bottom_row = repeat(sjis("　"), 10);
    put_at(v, o + 3, 8, blank_run(20));
    put_at(v, o + 1, 9, plate_row);
    put_at(v, o + 1, 10, bottom_row);
}

void slide_target_banner(View& v, const EnemyStatus& enemy) { slide_banner(v, BannerKind::target, &enemy, {}); }

void slide_enemy_attack_banner(View& v) { slide_banner(v, BannerKind::enemy_attack, nullptr, {}); }

void slide_name_banner(View& v, std::string_view sjis_name) { slide_banner(v, BannerKind::name, nullptr, sjis_name); }

}  // namespace rpg
