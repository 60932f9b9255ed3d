#include "platform/cell_grid.h"

namespace rpg {

CellGrid::CellGrid(int width, int height)
    : width_(width),
      height_(height),
      cells_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
      dirty_(static_cast<std::size_t>(height), true) {}

void CellGrid::set_cursor(int column, int row) {
    if (column < 0 || column >= width_ || row < 0 || row >= height_) return;
    column_ = column;
    row_ = row;
    pending_column_ = pending_row_ = -1;
    lead_open_ = false;
}

void CellGrid::write(std::string_view bytes) {
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        if (b == '\n') {
            column_ = 0;
            if (row_ < height_) ++row_;
            lead_open_ = false;
            continue;
        }
        if (row_ >= height_) {
            lead_open_ = false;
            continue;
        }
        cells_[index(column_, row_)] = Cell{b, static_cast<std::uint8_t>(attribute_)};
        dirty_[static_cast<std::size_t>(row_)] = true;
        // A first byte is completed by whatever byte comes next.
        lead_open_ = !lead_open_ && is_sjis_lead(b);
        if (lead_open_) {
            pending_column_ = column_;
            pending_row_ = row_;
        } else {
            pending_column_ = pending_row_ = -1;
        }
        if (++column_ == width_) {
            column_ = 0;
            ++row_;
        }
    }
}

std::string CellGrid::row_bytes(int row, int column, int length) const {
    if (length < 0 || column + length > width_) length = width_ - column;
    std::string out;
    out.reserve(static_cast<std::size_t>(length));
    for (int x = column; x < column + length; ++x) out.push_back(static_cast<char>(at(x, row).byte));
    return out;
}

void CellGrid::mark_all_dirty() { dirty_.assign(dirty_.size(), true); }

void CellGrid::clear_dirty() { dirty_.assign(dirty_.size(), false); }

}  // namespace rpg
