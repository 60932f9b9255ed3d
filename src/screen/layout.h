#pragma once
// The fixed furniture of the battle screen and its small animations: the
// command window, the enemy view with the formation of glyphs, the row-7
// heading and the banners below it. Animations draw at a `shift` of columns
// from the window's place at rest.

#include <string_view>

#include "screen/view.h"

namespace rpg {

inline constexpr int max_formation = 7;

// One place of a formation: the glyph's column offset from the right origin
// and its row, and the positions the selection reaches from it with the up
// and down arrows (0 where it cannot move).
struct FormationPlace {
    int dx;
    int row;
    int up;
    int down;
};

// Position t (1 to total) of a formation of total enemies (1 to 7); nullptr
// outside the formations.
const FormationPlace* formation_place(int total, int t);
// The screen position of that glyph, with the right origin at rest.
ScreenPosition formation_position(int total, int t);

// Command window; entries are numbered 1 to 4.
void draw_command_frame(View& v, int entry, int shift = 0);
void erase_command_frame(View& v, int entry, int shift = 0);
void open_command_window(View& v);
void draw_command_labels(View& v);
// Where a screen reader reads (Console::announce): the label of command
// entry 1 to 4, said as it stands there.
void announce_command(View& v, int entry);

// Enemy view.
void draw_enemy_view(View& v);
void draw_formation(View& v, const EnemyStatus& enemy, int total);
void erase_enemy_glyph(View& v, const EnemyStatus& enemy, int total);
void highlight_enemy_glyph(View& v, const EnemyStatus& enemy, int total);
void restore_enemy_glyph(View& v, const EnemyStatus& enemy, int total);
void clear_upper_area(View& v);

// Row-7 heading.
void slide_target_heading(View& v);
void erase_target_heading(View& v);

// Banners.
void draw_target_banner(View& v, const EnemyStatus& enemy, int shift = 0);
void draw_enemy_attack_banner(View& v, int shift = 0);
void draw_name_banner(View& v, std::string_view sjis_name, int shift = 0);
void erase_banner(View& v, int shift = 0);
void slide_target_banner(View& v, const EnemyStatus& enemy);
void slide_enemy_attack_banner(View& v);
void slide_name_banner(View& v, std::string_view sjis_name);
// Where a screen reader reads: the selected enemy's name on the target
// banner, said with its place in the formation ("ポーン 2").
void announce_target(View& v, const EnemyStatus& enemy);

}  // namespace rpg
