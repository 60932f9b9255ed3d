#include "platform/console_cells.h"

#include "platform/char_widths.h"
#include "platform/console.h"
#include "platform/encoding.h"

namespace rpg::console_cells {
namespace {

// The first character of a UTF-8 text (U+FFFD for a broken one).
char32_t first_code_point(std::string_view utf8) {
    if (utf8.empty()) return 0;
    std::size_t end = 0;
    const long c = next_code_point(utf8, end);
    return c < 0 ? 0xFFFD : static_cast<char32_t>(c);
}

int known_or_two(int cells) { return cells == 1 ? 1 : 2; }

}  // namespace

KeyCodes key_codes_for(std::uint16_t virtual_key, char16_t character) {
    switch (virtual_key) {
        case vk_up: return {2, {key_arrow_prefix, key_up}};
        case vk_down: return {2, {key_arrow_prefix, key_down}};
        case vk_left: return {2, {key_arrow_prefix, key_left}};
        case vk_right: return {2, {key_arrow_prefix, key_right}};
        case vk_return: return {1, {key_enter, 0}};
        case vk_space: return {1, {key_space, 0}};
        case vk_home: return {2, {key_arrow_prefix, key_home}};
        case vk_end: return {2, {key_arrow_prefix, key_end}};
        default: break;
    }
    const bool replay_key =
        character != 0 && std::u16string_view(u".,+-[]").find(character) != std::u16string_view::npos;
    if ((character >= u'A' && character <= u'Z') || (character >= u'a' && character <= u'z') || replay_key) {
        return {1, {static_cast<int>(character), 0}};
    }
    return {};
}

int measured_cells(int before_column, int before_row, int after_column, int after_row, int buffer_width) {
    const long long cells =
        static_cast<long long>(after_row - before_row) * buffer_width + after_column - before_column;
    return cells == 1 || cells == 2 ? static_cast<int>(cells) : 0;
}

CellWidths decide_cell_widths(int kanji_cells, int symbol_cells, bool wine, AmbiguousWidth ambiguous) {
    CellWidths w;
    w.wide_counted = known_or_two(kanji_cells);
    w.symbol_counted = known_or_two(symbol_cells);
    w.wide_drawn = wine ? 2 : w.wide_counted;
    switch (ambiguous) {
        case AmbiguousWidth::narrow: w.symbol_drawn = 1; break;
        case AmbiguousWidth::wide: w.symbol_drawn = 2; break;
        case AmbiguousWidth::measure: w.symbol_drawn = wine ? 1 : w.symbol_counted; break;
    }
    return w;
}

std::u16string_view filler(int counted, int drawn) {
    if (counted >= 2) return u"";
    if (drawn >= 2) return u"\u200B";
    return u" ";
}

std::vector<RowPiece> console_pieces(const CellGrid& grid, int row, int visible_columns) {
    // Half-width katakana take one column; every two-byte character is given
    // its two columns here and its filler later.
    auto width_of = [](std::string_view utf8) {
        const char32_t c = first_code_point(utf8);
        return c >= 0xFF61 && c <= 0xFF9F ? 1 : 2;
    };
    return render_row(grid, row, width_of, visible_columns);
}

std::vector<ConsoleRun> console_runs(const std::vector<RowPiece>& now, const std::vector<RowPiece>& before,
                                     const CellWidths& widths) {
    std::size_t first = 0;
    while (first < now.size() && first < before.size() && now[first] == before[first]) ++first;
    std::size_t end = now.size();
    if (first == now.size() && now.size() == before.size()) return {};
    // Both cover the row to its end, so equal pieces counted from the end
    // stand in the same columns.
    for (std::size_t back = before.size(); end > first && back > first && now[end - 1] == before[back - 1]; --back) {
        --end;
    }

    std::vector<ConsoleRun> runs;
    for (std::size_t i = first; i < end; ++i) {
        const RowPiece& piece = now[i];
        if (runs.empty() || runs.back().attribute != piece.attribute) {
            runs.push_back(ConsoleRun{piece.column, piece.attribute, {}});
        }
        std::u16string& text = runs.back().text;
        append_utf16(text, piece.utf8);
        if (piece.columns == 2) {
            if (is_wide_character(first_code_point(piece.utf8))) {
                text += filler(widths.wide_counted, widths.wide_drawn);
            } else {
                text += filler(widths.symbol_counted, widths.symbol_drawn);
            }
        }
    }
    return runs;
}

void append_utf16(std::u16string& out, std::string_view utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = b0 < 0x80 ? 1 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : 2;
        char32_t c = first_code_point(utf8.substr(i, length));
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
}

}  // namespace rpg::console_cells
