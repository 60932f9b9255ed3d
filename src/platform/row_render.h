#pragma once
// What a UTF-8 terminal shows for one row of the cell grid.
//
// The game lays its screen out in bytes: a two-byte character takes two
// columns. Which two cells make one character is the grid's to say (it pairs
// a first byte with the byte written next to it), so a stray first byte left
// in a row never takes the first half of the character beside it for its
// second. Every two-byte character is given exactly its two columns, whatever
// width the terminal gives its UTF-8 form: a character the terminal draws one
// column wide ("●", "■", "×" in most terminals) is followed by a blank, so
// that everything after it still stands where the game put it. A byte that is
// no Shift-JIS text shows as "?", and the first byte of a character still
// waiting for its second (as while a message is typed byte by byte) shows as
// a blank.
//
// Kept free of the terminal library so that it can be tested on its own; the
// width of a character on the terminal is passed in.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/encoding.h"

namespace rpg {

// One drawn character of a row.
struct RowPiece {
    int column = 0;    // the first screen column it covers
    std::string utf8;  // what to draw there, any padding blank included
    int columns = 1;   // the screen columns it covers: 1, or 2 for a two-byte character
    std::uint8_t attribute = 7;
    bool operator==(const RowPiece&) const = default;
};

// The number of columns the terminal gives one UTF-8 character: 1 or 2, or 0
// or less for one it cannot show.
using CharWidth = std::function<int(std::string_view utf8)>;

// The pieces of one row, left to right, covering the columns 0 to
// visible_columns - 1 without gap or overlap (all of the row when
// visible_columns is negative or larger than the grid). A two-byte character
// cut by the right edge of the visible part shows as a blank.
inline std::vector<RowPiece> render_row(const CellGrid& grid, int row, const CharWidth& width_of,
                                        int visible_columns = -1) {
    const int width = grid.width();
    if (visible_columns < 0 || visible_columns > width) visible_columns = width;
    const int pending = grid.pending_lead_row() == row ? grid.pending_lead_column() : -1;

    std::vector<RowPiece> pieces;
    pieces.reserve(static_cast<std::size_t>(visible_columns));
    int x = 0;
    while (x < visible_columns) {
        const Cell& cell = grid.at(x, row);
        if (x == pending) {
            pieces.push_back(RowPiece{x, " ", 1, cell.attribute});
            ++x;
            continue;
        }
        if (cell.half == 1 && x + 1 < width && grid.at(x + 1, row).half == 2) {
            if (x + 2 > visible_columns) {
                // Only the first half fits: leave the last visible column blank.
                pieces.push_back(RowPiece{x, " ", 1, cell.attribute});
                break;
            }
            // The terminal's own idea of the width decides how the character
            // is padded to the two columns it must take.
            std::string utf8 = utf8_of_pair(cell.byte, grid.at(x + 1, row).byte);
            int shown = utf8.empty() ? 0 : width_of(utf8);
            if (shown <= 0 || shown > 2) {
                utf8 = std::string(invalid_placeholder);
                shown = 1;
            }
            utf8.append(static_cast<std::size_t>(2 - shown), ' ');
            pieces.push_back(RowPiece{x, std::move(utf8), 2, cell.attribute});
            x += 2;
            continue;
        }
        // One byte on its own (an orphan half of a two-byte character too).
        std::string utf8 = cell.half == 0 ? utf8_of_byte(cell.byte) : std::string();
        // A half-width katakana drawn wider would shift the rest of the row.
        if (utf8.empty() || (cell.byte >= 0x80 && width_of(utf8) != 1)) utf8 = std::string(invalid_placeholder);
        pieces.push_back(RowPiece{x, std::move(utf8), 1, cell.attribute});
        ++x;
    }
    return pieces;
}

// A row as one UTF-8 line, trailing blanks removed.
inline std::string row_line(const CellGrid& grid, int row, const CharWidth& width_of) {
    std::string line;
    for (const RowPiece& piece : render_row(grid, row, width_of)) line += piece.utf8;
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

}  // namespace rpg
