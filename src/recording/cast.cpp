#include "recording/cast.h"

#include <algorithm>
#include <cstdio>

#include "platform/char_widths.h"
#include "platform/row_render.h"
#include "recording/recorded_console.h"

namespace rpg {

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

CastWriter::CastWriter(RecordingWriter& out, int columns, int rows, bool ambiguous_wide, std::int64_t started_seconds)
    : out_(out), ambiguous_(ambiguous_wide ? AmbiguousWidth::wide : AmbiguousWidth::narrow) {
    std::string header =
        "{\"version\": 2, \"width\": " + std::to_string(columns) + ", \"height\": " + std::to_string(rows);
    if (started_seconds > 0) header += ", \"timestamp\": " + std::to_string(started_seconds);
    out_.write(header + ", \"env\": {\"TERM\": \"xterm-256color\"}}\n");
}

void CastWriter::frame(const CellGrid& grid, std::int64_t ms) {
    const CharWidth width_of = [this](std::string_view utf8) { return table_char_width(utf8, ambiguous_); };
    std::string text;
    if (first_) {
        text = "\x1b[?25l\x1b[0m\x1b[H\x1b[2J";  // no cursor, a blank screen
        rows_.assign(game_rows, std::vector<Cell>(static_cast<std::size_t>(grid.width())));
        first_ = false;
    }
    const int pending_row = grid.pending_lead_row();
    for (int row = 0; row < game_rows && row < grid.height(); ++row) {
        std::vector<Cell> cells(static_cast<std::size_t>(grid.width()));
        for (int column = 0; column < grid.width(); ++column)
            cells[static_cast<std::size_t>(column)] = grid.at(column, row);
        // A first byte still waiting for its second shows as a blank, as on the terminal.
        if (row == pending_row) cells[static_cast<std::size_t>(grid.pending_lead_column())].half = 3;
        if (cells == rows_[static_cast<std::size_t>(row)]) continue;
        rows_[static_cast<std::size_t>(row)] = cells;
        text += "\x1b[" + std::to_string(row + 1) + ";1H";
        int look = -1;
        for (const RowPiece& piece : render_row(grid, row, width_of)) {
            if (piece.attribute != look) {
                look = piece.attribute;
                text += (look & 8) != 0 ? "\x1b[0;1m" : "\x1b[0m";
            }
            text += piece.utf8;
        }
        text += "\x1b[0m";
    }
    if (text.empty()) return;
    last_ms_ = std::max(last_ms_, ms);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(last_ms_) / 1000.0);
    out_.write(std::string("[") + seconds + ", \"o\", " + json_string(text) + "]\n");
}

}  // namespace rpg
