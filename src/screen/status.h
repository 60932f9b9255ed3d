#pragma once
// The status panel at the lower left: level, the HP bar and figures, and one
// duration bar for each running Protein or Buckler effect.

#include <string_view>

#include "screen/view.h"

namespace rpg {

// Cells of the HP bar: hp x (18.0 / max_hp), truncated; 0 for a max_hp of 0.
int hp_bar_cells(i16 hp, u16 max_hp);
// Cells of an effect bar for a counter: counter x 1.8, truncated (11 draws 18).
int effect_bar_cells(i16 counter);

void draw_hp_panel(View& v, const HeroStatus& hero);
void draw_level(View& v, u16 level);
void draw_effect_markers(View& v);
void redraw_hp_bar(View& v, i16 hp, u16 max_hp);
// The hit points falling from hp_before to hp_after one point at a time, the
// figure and the bar following, 20 ms a point.
void hp_countdown(View& v, i16 hp_before, i16 hp_after, u16 max_hp);
// The hit points rising from hp_before to hp_after the same way.
void hp_countup(View& v, i16 hp_before, i16 hp_after, u16 max_hp);
void draw_effect_bar(View& v, i16 counter, u16 row);
// The two-letter marker of a running effect in its row, in the highlight.
void draw_effect_marker(View& v, u16 row, std::string_view marker);
void erase_effect_marker(View& v, u16 row);

}  // namespace rpg
