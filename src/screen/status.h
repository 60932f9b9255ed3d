#pragma once
// The status panel at the lower left: level, the HP bar and figures, and one
// duration bar for each running Protein or Buckler effect.

#include "screen/battle.h"

namespace rpg {

// Cells of the HP bar: hp x (18.0 / max_hp), truncated; 0 for a max_hp of 0.
int hp_bar_cells(i16 hp, u16 max_hp);
// Cells of an effect bar for a counter: counter x 1.8, truncated (11 draws 18).
int effect_bar_cells(i16 counter);

void draw_hp_panel(Battle& b);
void draw_level(Battle& b);
void draw_effect_markers(Battle& b);
void redraw_hp_bar(Battle& b);
// Takes count hit points off the hero one at a time, the figure and bar following.
void hp_countdown(Battle& b, i16 count);
void draw_effect_bar(Battle& b, i16 counter, u16 row);

}  // namespace rpg
