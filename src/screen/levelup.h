#pragma once
// The level-up screen: a boxed table of gains and new values in rows 0 to 10
// of the centre column, drawn once after a won battle raises the level.

#include <string_view>

#include "screen/view.h"

namespace rpg {

// The hero as the battle was won and as the level-ups left it, and the
// experience the battle gave.
struct LevelUpTable {
    const HeroStatus& before;
    const HeroStatus& after;
    u16 exp_gained;
};

void draw_level_up_box(View& v, std::string_view sjis_hero_name);
void draw_level_up_gains(View& v, const LevelUpTable& table);
// Ends with the new level announced to a screen reader, said with every new
// value ("レベル 2、体力 66、...").
void draw_level_up_values(View& v, const LevelUpTable& table);

}  // namespace rpg
