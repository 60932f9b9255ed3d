#pragma once
// The drawing conventions of the battle screen: place the cursor, choose the
// look, print Shift-JIS text, pause. Every routine remembers the cursor and the
// attribute in the console state before handing them to the console.

#include <string>
#include <string_view>

#include "screen/view.h"

namespace rpg {

void move_cursor(View& v, int column, int row);
void set_text_attribute(View& v, u16 attribute);
// The highlight: the current attribute with the intensity bit added (15 in practice).
void set_highlight(View& v);
void put(View& v, std::string_view sjis_text);
void put_at(View& v, int column, int row, std::string_view sjis_text);
void pause(View& v, int milliseconds);

// A number as "%d" prints it.
std::string decimal(long long value);
// A run of n blanks.
std::string blanks(int n);
// The same for printing as it is, without making a string of it (the game
// blanks wide areas many times a turn); n is at most a screen's width.
std::string_view blank_run(int n);
// n copies of a text.
std::string repeat(std::string_view text, int n);

// Reads key codes until one is 13, 77 or 80 (Enter, or the second code of the
// right or down arrow); other codes are read and dropped.
void wait_for_acknowledgement(View& v);

}  // namespace rpg
