#pragma once
// The item and ability windows at the upper right (columns 54 to 73), and the
// use of an item once the item command has accepted it.

#include "screen/battle.h"

namespace rpg {

// The last selectable skill index for a hero level: 1 below 12, 2 from 12,
// 3 from 18, 4 from 25.
int last_skill_index(u16 level);

void draw_list_arrows(Battle& b, i16 k);
void draw_item_name(Battle& b, i16 k);
void draw_skill_name(Battle& b, i16 k);
void draw_item_count(Battle& b, i16 k);
void clear_list_row(Battle& b, i16 k);
void draw_item_title(Battle& b);
void draw_ability_title(Battle& b);
void clear_list_title(Battle& b);
void open_item_list(Battle& b);
void open_ability_list(Battle& b);

// Uses one item: 1 Potion, 2 Protein, 3 Buckler.
void use_item(Battle& b, i16 kind);

}  // namespace rpg
