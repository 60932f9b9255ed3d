#pragma once
// The fixed furniture of the battle screen and its small animations: the
// command window, the enemy view with the formation of glyphs, the row-7
// heading and the banners below it.

#include <string_view>

#include "screen/battle.h"

namespace rpg {

// Command window; entries are numbered 1 to 4 (command_index + 1).
void draw_command_frame(Battle& b, int entry);
void erase_command_frame(Battle& b, int entry);
void open_command_window(Battle& b);
void draw_command_labels(Battle& b);

// Enemy view.
void draw_enemy_view(Battle& b);
void draw_formation(Battle& b, const EnemyStatus& enemy);
// The screen position of the glyph of position t (1 to total) in a formation
// of total enemies (1 to 7), with the right origin at rest.
ScreenPosition formation_position(int total, int t);
void erase_enemy_glyph(Battle& b, const EnemyStatus& enemy, int total);
void highlight_enemy_glyph(Battle& b, const EnemyStatus& enemy, int total);
void restore_enemy_glyph(Battle& b, const EnemyStatus& enemy, int total);
void clear_upper_area(Battle& b);

// Row-7 heading.
void slide_target_heading(Battle& b);
void erase_target_heading(Battle& b);

// Banners, drawn at the current right origin.
void draw_target_banner(Battle& b, const EnemyStatus& enemy);
void draw_enemy_attack_banner(Battle& b);
void draw_name_banner(Battle& b, std::string_view sjis_name);
void erase_banner(Battle& b);
void slide_target_banner(Battle& b, const EnemyStatus& enemy);
void slide_enemy_attack_banner(Battle& b);
void slide_name_banner(Battle& b, std::string_view sjis_name);

}  // namespace rpg
