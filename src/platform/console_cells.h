#pragma once
// The parts of the Windows console that need no console: which key codes a
// key press gives, how many cells the console takes for a two-byte character,
// and what is written after such a character so that it takes exactly two.
// Kept free of the console API, so that it is tested on every system.
//
// A two-byte Shift-JIS character must take two cells, both in the console's
// own count (where its cursor goes next) and on the screen (where the
// characters after it are drawn). Consoles differ: the Japanese console gives
// every two-byte character two cells; others give kanji two cells and symbols
// such as "●", "■" and "×" one; wine's console counts one cell per character
// while the terminal it runs in draws kanji two columns wide. The console is
// asked at start where its cursor went after one character of each kind, and
// each kind is followed by what it lacks: nothing, a blank, or a zero width
// space (one cell in the console's count, no column on the screen).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_options.h"
#include "platform/row_render.h"

namespace rpg::console_cells {

// The virtual keys the game answers to.
inline constexpr std::uint16_t vk_return = 0x0D;
inline constexpr std::uint16_t vk_space = 0x20;
inline constexpr std::uint16_t vk_end = 0x23;
inline constexpr std::uint16_t vk_home = 0x24;
inline constexpr std::uint16_t vk_left = 0x25;
inline constexpr std::uint16_t vk_up = 0x26;
inline constexpr std::uint16_t vk_right = 0x27;
inline constexpr std::uint16_t vk_down = 0x28;

// The key codes one key press gives: the prefix and the direction for an
// arrow, Home or End, 13 for Enter, 32 for space, a letter or one of the
// replay's keys (. , + - [ ]) as typed; nothing for any other key.
struct KeyCodes {
    int count = 0;
    int codes[2]{};
};
KeyCodes key_codes_for(std::uint16_t virtual_key, char16_t character);

// The cells the console's cursor moved over when one character was written,
// from its position before and after (a move onto the next row counts the
// buffer's width); 0 when that is neither 1 nor 2.
int measured_cells(int before_column, int before_row, int after_column, int after_row, int buffer_width);

// How many cells the console counts and the screen shows for each kind of
// two-byte character.
struct CellWidths {
    int wide_counted = 2;
    int wide_drawn = 2;
    int symbol_counted = 2;
    int symbol_drawn = 2;
};

// The widths from the cells measured for a kanji and for a symbol (0 when the
// console could not tell: then two, as the Japanese console gives). Under wine
// the console's count says nothing of the terminal, which draws kanji two
// columns wide and symbols as `ambiguous` says (one when measuring).
CellWidths decide_cell_widths(int kanji_cells, int symbol_cells, bool wine, AmbiguousWidth ambiguous);

// What follows a two-byte character that the console counts `counted` cells
// and the screen shows `drawn` columns wide, so that both come to two.
std::u16string_view filler(int counted, int drawn);

// One console write: text in one attribute from a column on.
struct ConsoleRun {
    int column = 0;
    std::uint8_t attribute = 7;
    std::u16string text;
    bool operator==(const ConsoleRun&) const = default;
};

// The pieces of a row as the console is given them (render_row with every
// two-byte character taking its two columns unpadded).
std::vector<RowPiece> console_pieces(const CellGrid& grid, int row, int visible_columns);

// The writes that bring a row shown as `before` to `now`: only the span from
// the first to the last piece that differs, one run per attribute, each
// two-byte character followed by its filler. An empty `before` writes it all.
std::vector<ConsoleRun> console_runs(const std::vector<RowPiece>& now, const std::vector<RowPiece>& before,
                                     const CellWidths& widths);

// Appends UTF-8 text as UTF-16.
void append_utf16(std::u16string& out, std::string_view utf8);

}  // namespace rpg::console_cells
