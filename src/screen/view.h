#pragma once
// What the drawing routines of the battle screen draw through: the console,
// and the console state they keep beside it (the cursor, the text look, the
// two window origins and the lines of the message window).

#include <array>
#include <string>

#include "data/records.h"
#include "platform/console.h"

namespace rpg {

struct ScreenPosition {
    u16 column = 0;
    u16 row = 0;
};

// The highlight of what is selected: the normal look with the intensity bit.
inline constexpr u16 attr_bright = attr_normal | attr_intensity;

// Where the windows stand at rest. Animations draw at an offset from these;
// the origins themselves never move.
inline constexpr i16 left_origin_at_rest = 1;    // command window, status panel
inline constexpr i16 right_origin_at_rest = 25;  // enemy view, heading, banners, message window, level-up window

// The windows number their entries from 1 (the list window's count line is
// entry 5); the menus count their selection from 0, as do the item and skill
// tables. This is the one place a selection becomes an entry.
constexpr int entry_of(int index) { return index + 1; }

struct View {
    explicit View(Console& console) : con(console) {}

    Console& con;
    ScreenPosition cursor_position;
    u16 text_attribute = attr_normal;
    i16 left_origin = left_origin_at_rest;
    i16 right_origin = right_origin_at_rest;
    // The five message lines, newest first; a line starting with a blank is empty.
    std::array<std::string, 5> message_lines{" ", " ", " ", " ", " "};
};

}  // namespace rpg
