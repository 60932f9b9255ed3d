#include "platform/cell_grid.h"

#include "platform/encoding.h"

namespace rpg {

CellGrid::CellGrid(int width, int height)
    : width_(width),
      height_(height),
      cells_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
      dirty_(static_cast<std::size_t>(height), 1) {}

void CellGrid::set_cursor(int column, int row) {
    if (column < 0 || column >= width_ || row < 0 || row >= height_) return;
    column_ = column;
    row_ = row;
}

// Every byte the game draws comes through here, so the loop works on local
// copies of the cursor and of the waiting first byte (the cells are bytes,
// which the compiler must otherwise assume overwrite them at each store) and
// reaches the cells by pointer, without the container's checks on each of
// them: the cursor is always inside the grid (set_cursor refuses a position
// outside it, and a byte below the last row is dropped).
void CellGrid::write(std::string_view bytes) {
    // A text that begins with a whole two-byte character is that character:
    // its first byte never completes a first byte left waiting beside it (a
    // stray byte of the map must not take the hero's first half).
    bool own_pair = bytes.size() >= 2 && is_sjis_lead(static_cast<std::uint8_t>(bytes[0])) &&
                    is_sjis_trail(static_cast<std::uint8_t>(bytes[1]));
    const auto attribute = static_cast<std::uint8_t>(attribute_);
    const int width = width_;
    const int height = height_;
    Cell* const cells = cells_.data();
    std::uint8_t* const dirty = dirty_.data();
    int column = column_;
    int row = row_;
    int pending_column = pending_column_;
    int pending_row = pending_row_;
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        if (own_pair) {
            pending_column = pending_row = -1;
            own_pair = false;
        }
        if (b == '\n') {
            column = 0;
            if (row < height) ++row;
            pending_column = pending_row = -1;
            continue;
        }
        if (row >= height) continue;

        Cell* const row_cells = cells + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        Cell& cell = row_cells[column];
        // Writing over one half of a two-byte character blanks the other.
        if (cell.half != 0) {
            const int other = cell.half == 1 ? column + 1 : column - 1;
            if (other >= 0 && other < width) {
                row_cells[other].byte = ' ';
                row_cells[other].half = 0;
            }
            cell.half = 0;
        }
        dirty[static_cast<std::size_t>(row)] = 1;
        if (pending_row == row && pending_column == column - 1 && is_sjis_trail(b)) {
            row_cells[column - 1].half = 1;
            cell = Cell{b, attribute, 2};
            pending_column = pending_row = -1;
        } else {
            cell = Cell{b, attribute, 0};
            if (is_sjis_lead(b)) {
                pending_column = column;
                pending_row = row;
            } else {
                pending_column = pending_row = -1;
            }
        }

        if (++column == width) {
            column = 0;
            ++row;
        }
    }
    column_ = column;
    row_ = row;
    pending_column_ = pending_column;
    pending_row_ = pending_row;
}

std::string CellGrid::row_bytes(int row, int column, int length) const {
    if (length < 0 || column + length > width_) length = width_ - column;
    std::string out;
    out.reserve(static_cast<std::size_t>(length));
    for (int x = column; x < column + length; ++x) out.push_back(static_cast<char>(at(x, row).byte));
    return out;
}

void CellGrid::mark_all_dirty() { dirty_.assign(dirty_.size(), 1); }

void CellGrid::clear_dirty() { dirty_.assign(dirty_.size(), 0); }

}  // namespace rpg
