#pragma once
// The level-up screen: a boxed table of gains and new values in rows 0 to 10
// of the centre column, drawn once after a won battle raises the level.

#include "screen/battle.h"

namespace rpg {

void draw_level_up_box(Battle& b);
void draw_level_up_gains(Battle& b);
void draw_level_up_values(Battle& b);

}  // namespace rpg
