#pragma once
// The drawing conventions of the battle screen: place the cursor, choose the
// look, print Shift-JIS text, pause. Every routine remembers the cursor and the
// attribute in the console state before handing them to the console.

#include <string>
#include <string_view>

#include "screen/battle.h"

namespace rpg {

void move_cursor(Battle& b, int column, int row);
void set_text_attribute(Battle& b, u16 attribute);
// The highlight: the current attribute with the intensity bit added (15 in practice).
void set_highlight(Battle& b);
void put(Battle& b, std::string_view sjis_text);
void put_at(Battle& b, int column, int row, std::string_view sjis_text);
void pause(Battle& b, int milliseconds);

// A number as "%d" prints it.
std::string decimal(long long value);
// A run of n blanks.
std::string blanks(int n);
// n copies of a text.
std::string repeat(std::string_view text, int n);

// Reads key codes until one is 13, 77 or 80 (Enter, or the second code of the
// right or down arrow); other codes are read and dropped.
void wait_for_acknowledgement(Battle& b);

}  // namespace rpg
