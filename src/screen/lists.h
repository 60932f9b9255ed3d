#pragma once
// The item and ability windows at the upper right (columns 54 to 73). Entries
// are numbered from 1, two rows apart; entry 5 is the item window's count
// line. `top` is the row the window starts at: 0 at rest, above the screen
// while an entry slides in.

#include <array>

#include "screen/view.h"

namespace rpg {

// The last selectable skill index for a hero level: 1 below 12, 2 from 12,
// 3 from 18, 4 from 25.
int last_skill_index(u16 level);

void draw_list_arrows(View& v, int entry, int top = 0);
void draw_item_name(View& v, int entry, int top = 0);
void draw_skill_name(View& v, const std::array<SkillStatus, skill_count>& skills, int entry, int top = 0);
void clear_list_row(View& v, int entry, int top = 0);
// The "×" of the count line, and the stock shown after it.
void draw_count_sign(View& v);
void draw_item_count(View& v, u16 count);
void draw_item_title(View& v);
void draw_ability_title(View& v);
void clear_list_title(View& v);
void open_item_list(View& v);
// Opens with the skills open at the hero's level.
void open_ability_list(View& v, const std::array<SkillStatus, skill_count>& skills, u16 level);
// Where a screen reader reads (Console::announce): the selected entry's name,
// said with the item's stock ("ポーション 3"), or the skill's name.
void announce_item(View& v, int entry, u16 count);
void announce_skill(View& v, const std::array<SkillStatus, skill_count>& skills, int entry);

}  // namespace rpg
