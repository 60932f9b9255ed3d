#include "support/screen_checks.h"

#include <cstdint>
#include <sstream>
#include <vector>

namespace rpg::test {
namespace {

struct Char {
    std::uint32_t code;
    std::string utf8;
};

std::vector<Char> decode(std::string_view utf8) {
    std::vector<Char> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        out.push_back({code, std::string(utf8.substr(i, length))});
        i += length;
    }
    return out;
}

// Characters that terminals draw two columns wide (East Asian Wide and
// Fullwidth, as far as the game's texts reach).
bool is_wide(std::uint32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
}

// One byte in Shift-JIS: ASCII and the half-width katakana.
bool is_single_byte(std::uint32_t c) { return c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F); }

std::string describe_cell(const Cell& c) {
    std::ostringstream out;
    out << "\"" << c.text << "\" width " << c.width << (c.bright ? " bright" : "");
    return out.str();
}

}  // namespace

int game_columns(std::string_view utf8) {
    int columns = 0;
    for (const Char& c : decode(utf8)) columns += is_single_byte(c.code) ? 1 : 2;
    return columns;
}

::testing::AssertionResult shows(const PtySession& game, int column, int row, std::string_view utf8, Look look) {
    std::ostringstream problems;
    int x = column;
    for (const Char& c : decode(utf8)) {
        const Cell cell = game.cell(x, row);
        std::string problem;
        if (c.code == ' ') {
            if (cell.text != " ") problem = "a blank expected";
        } else if (cell.text != c.utf8) {
            problem = "\"" + c.utf8 + "\" expected";
        } else if (is_wide(c.code)) {
            if (cell.width != 2 || game.cell(x + 1, row).width != 0) problem = "a two-column cell expected";
        } else if (!is_single_byte(c.code)) {
            if (cell.width != 1 || game.cell(x + 1, row).text != " ") {
                problem = "a one-column character followed by a blank column expected";
            }
        }
        if (problem.empty() && c.code != ' ' && look != Look::any && cell.bright != (look == Look::bright)) {
            problem = look == Look::bright ? "bright text expected" : "normal text expected";
        }
        if (!problem.empty()) {
            problems << "  at (" << x << ", " << row << "): " << problem << ", found " << describe_cell(cell) << "\n";
        }
        x += is_single_byte(c.code) ? 1 : 2;
    }
    if (problems.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << utf8 << "\" is not at (" << column << ", " << row << "):\n"
                                         << problems.str() << game.dump();
}

::testing::AssertionResult blank(const PtySession& game, int column, int row, int length) {
    for (int x = column; x < column + length; ++x) {
        const Cell cell = game.cell(x, row);
        // An ideographic space is blank too; so is its right half.
        const bool is_blank =
            cell.text == " " || cell.text == "\u3000" || (cell.width == 0 && game.cell(x - 1, row).text == "\u3000");
        if (!is_blank) {
            return ::testing::AssertionFailure()
                   << "(" << x << ", " << row << ") is not blank: " << describe_cell(cell) << "\n"
                   << game.dump();
        }
    }
    return ::testing::AssertionSuccess();
}

int count_in_row(const PtySession& game, int row, int column, int length, std::string_view piece) {
    int count = 0;
    for (int x = column; x < column + length; ++x) {
        if (game.cell(x, row).text == piece) ++count;
    }
    return count;
}

}  // namespace rpg::test
