#pragma once
// The screen as the game sees it: a grid of cells, each holding one byte of
// Shift-JIS text and one text attribute, and a cursor that advances with each
// byte written. Every console keeps one (the system's consoles in their
// session, the test console on its own), so that the game behaves the same on
// every screen and in tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rpg {

struct Cell {
    std::uint8_t byte = ' ';
    std::uint8_t attribute = 7;
    // 1 and 2 for the first and second byte of a two-byte character, 0 otherwise.
    std::uint8_t half = 0;
    bool operator==(const Cell&) const = default;
};

class CellGrid {
public:
    CellGrid(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    int cursor_column() const { return column_; }
    int cursor_row() const { return row_; }
    std::uint16_t attribute() const { return attribute_; }

    // A position outside the grid is refused and the cursor stays where it was.
    void set_cursor(int column, int row);
    // Where the cursor stands, to be put back exactly so after it was moved
    // for a while (writing can leave it just below the last row).
    struct CursorSpot {
        int column;
        int row;
    };
    CursorSpot cursor_spot() const { return {column_, row_}; }
    void put_cursor_back(CursorSpot spot) {
        column_ = spot.column;
        row_ = spot.row;
    }
    void set_attribute(std::uint16_t attribute) { attribute_ = attribute; }
    // Writes bytes at the cursor. The cursor wraps to the next row at the
    // right edge; "\n" goes to column 0 of the next row. Nothing scrolls:
    // bytes that would land below the last row are dropped.
    //
    // A first byte of a two-byte character joins the byte written next into
    // the cell to its right, even after a cursor move (the field map is
    // drawn one byte per cell), unless the text written begins with a whole
    // two-byte character of its own. Writing over one half of a two-byte
    // character leaves a blank in the other half, as the console does.
    void write(std::string_view bytes);

    const Cell& at(int column, int row) const { return cells_[index(column, row)]; }
    // The bytes of a row (or of part of it).
    std::string row_bytes(int row, int column = 0, int length = -1) const;

    // Rows written since the last clear_dirty, for redrawing.
    bool row_dirty(int row) const { return dirty_[static_cast<std::size_t>(row)] != 0; }
    void mark_all_dirty();
    void clear_dirty();

    // The cell of the last byte written when it was the first byte of a
    // two-byte character whose second byte has not come yet (as while a
    // message is typed byte by byte, or the map drawn byte by byte); -1
    // otherwise.
    int pending_lead_column() const { return pending_column_; }
    int pending_lead_row() const { return pending_row_; }

private:
    std::size_t index(int column, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(column);
    }

    int width_;
    int height_;
    std::vector<Cell> cells_;
    std::vector<std::uint8_t> dirty_;  // one per row (not vector<bool>: set for every byte written)
    int column_ = 0;
    int row_ = 0;
    std::uint16_t attribute_ = 7;
    int pending_column_ = -1;
    int pending_row_ = -1;
};

}  // namespace rpg
