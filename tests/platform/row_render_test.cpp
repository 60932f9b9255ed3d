// Rows of the cell grid as a UTF-8 terminal shows them.

#include "platform/row_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/encoding.h"

namespace rpg {
namespace {

bool half_width_katakana(std::string_view utf8) {
    // U+FF61 to U+FF9F
    return utf8.size() == 3 && static_cast<unsigned char>(utf8[0]) == 0xef &&
           (static_cast<unsigned char>(utf8[1]) == 0xbd || static_cast<unsigned char>(utf8[1]) == 0xbe);
}

// A typical terminal: "●", "■" and "×" are one column wide, other full-width
// characters two, ASCII and half-width katakana one.
int typical_width(std::string_view utf8) {
    if (utf8.size() == 1 || half_width_katakana(utf8)) return 1;
    if (utf8 == "●" || utf8 == "■" || utf8 == "×") return 1;
    return 2;
}

// A terminal that draws every full-width character two columns wide.
int wide_width(std::string_view utf8) { return utf8.size() == 1 || half_width_katakana(utf8) ? 1 : 2; }

std::vector<RowPiece> row(const CellGrid& grid, int r, int visible = -1) {
    return render_row(grid, r, typical_width, visible);
}

// The pieces up to the first blank beyond `until`, for short expectations.
std::vector<RowPiece> head(std::vector<RowPiece> pieces, int until) {
    std::vector<RowPiece> out;
    for (RowPiece& p : pieces)
        if (p.column < until) out.push_back(std::move(p));
    return out;
}

}  // namespace

void PrintTo(const RowPiece& p, std::ostream* out) {
    *out << "{" << p.column << ", \"" << p.utf8 << "\", " << p.columns << ", " << int(p.attribute) << "}";
}

namespace {

RowPiece piece(int column, std::string utf8, int columns, std::uint8_t attribute = 7) {
    return RowPiece{column, std::move(utf8), columns, attribute};
}

TEST(RenderRow, NarrowSymbolsKeepTheirTwoColumns) {
    CellGrid grid(80, 25);
    grid.write(sjis("●■×＿A"));
    EXPECT_EQ(head(row(grid, 0), 9), (std::vector<RowPiece>{piece(0, "● ", 2), piece(2, "■ ", 2), piece(4, "× ", 2),
                                                            piece(6, "＿", 2), piece(8, "A", 1)}));
    EXPECT_EQ(row_line(grid, 0, typical_width), "● ■ × ＿A");
}

TEST(RenderRow, WideCharactersAreDrawnOnce) {
    CellGrid grid(80, 25);
    grid.set_cursor(3, 2);
    grid.write(sjis("たたかう"));
    EXPECT_EQ(head(row(grid, 2), 11),
              (std::vector<RowPiece>{piece(0, " ", 1), piece(1, " ", 1), piece(2, " ", 1), piece(3, "た", 2),
                                     piece(5, "た", 2), piece(7, "か", 2), piece(9, "う", 2)}));
}

TEST(RenderRow, BytesSentOneAtATimeMakeTheCharacter) {
    // The field map is sent one byte per cell, with the cursor placed each time.
    CellGrid whole(80, 25);
    whole.set_cursor(10, 4);
    whole.write(sjis("■■●"));
    CellGrid bytes(80, 25);
    const std::string& text = sjis("■■●");
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes.set_cursor(10 + static_cast<int>(i), 4);
        bytes.write(text.substr(i, 1));
    }
    EXPECT_EQ(row(bytes, 4), row(whole, 4));
    EXPECT_EQ(row_line(bytes, 4, typical_width), "          ■ ■ ●");
}

TEST(RenderRow, PendingFirstByteShowsBlankUntilItsPairComes) {
    CellGrid grid(80, 25);
    grid.write("AAAA");  // old text that a first byte must not pair with
    grid.set_cursor(1, 0);
    const std::string& circle = sjis("●");
    grid.write(circle.substr(0, 1));
    EXPECT_EQ(head(row(grid, 0), 4),
              (std::vector<RowPiece>{piece(0, "A", 1), piece(1, " ", 1), piece(2, "A", 1), piece(3, "A", 1)}));
    grid.write(circle.substr(1, 1));
    EXPECT_EQ(head(row(grid, 0), 4), (std::vector<RowPiece>{piece(0, "A", 1), piece(1, "● ", 2), piece(3, "A", 1)}));
}

TEST(RenderRow, SecondByteTakenForAFirstStillCompletesItsCharacter) {
    // Placed on its own, the second byte of "●" (0x9C) is also a possible
    // first byte; written right of a waiting first byte it completes that
    // character instead of waiting itself.
    CellGrid grid(80, 25);
    const std::string& circle = sjis("●");
    grid.set_cursor(14, 4);
    grid.write(circle.substr(0, 1));
    grid.set_cursor(15, 4);
    grid.write(circle.substr(1, 1));
    EXPECT_EQ(grid.pending_lead_column(), -1);
    auto pieces = row(grid, 4);
    ASSERT_GT(pieces.size(), 15u);
    EXPECT_EQ(pieces[14], piece(14, "● ", 2));
    EXPECT_EQ(pieces[15], piece(16, " ", 1));
}

TEST(RenderRow, FirstByteLeftAloneIsAPlaceholderOnceAnotherByteIsWrittenElsewhere) {
    // A cursor move alone does not end the wait (the field map is drawn one
    // byte per cell); a byte written anywhere but the next cell does.
    CellGrid grid(80, 25);
    grid.write(sjis("●").substr(0, 1));
    grid.set_cursor(40, 10);
    EXPECT_EQ(head(row(grid, 0), 2), (std::vector<RowPiece>{piece(0, " ", 1), piece(1, " ", 1)}));
    grid.write("x");
    EXPECT_EQ(head(row(grid, 0), 2), (std::vector<RowPiece>{piece(0, "?", 1), piece(1, " ", 1)}));
}

TEST(RenderRow, TypingAMessageByteByByte) {
    // At every step the typed part shows whole characters, and a first byte
    // still waiting for its second shows as a blank, never as "?".
    const std::string& message = sjis("相手に12のダメージ!!");
    CellGrid grid(80, 25);
    grid.set_cursor(27, 13);
    for (std::size_t typed = 1; typed <= message.size(); ++typed) {
        grid.write(message.substr(typed - 1, 1));
        const bool waiting = grid.pending_lead_column() >= 0;
        const std::string complete = message.substr(0, waiting ? typed - 1 : typed);
        std::string expected = std::string(27, ' ') + utf8_from_sjis(complete);
        if (complete.empty()) expected.clear();
        EXPECT_EQ(row_line(grid, 13, typical_width), expected) << typed;
        if (waiting) {
            EXPECT_EQ(grid.pending_lead_column(), 27 + static_cast<int>(complete.size()));
            auto pieces = row(grid, 13);
            auto at = std::find_if(pieces.begin(), pieces.end(),
                                   [&](const RowPiece& p) { return p.column == grid.pending_lead_column(); });
            ASSERT_NE(at, pieces.end());
            EXPECT_EQ(at->utf8, " ");
        }
    }
}

TEST(RenderRow, InvalidBytesAndOrphanHalvesShowPlaceholders) {
    CellGrid grid(80, 25);
    grid.write(std::string("\x80\xff\x7f\x01") + "\x81 ");
    grid.write(sjis("●"));
    grid.set_cursor(6, 0);
    grid.write("x");  // the first half of "●" drawn over: its second half is blanked
    EXPECT_EQ(head(row(grid, 0), 9), (std::vector<RowPiece>{piece(0, "?", 1), piece(1, "?", 1), piece(2, "?", 1),
                                                            piece(3, "?", 1), piece(4, "?", 1), piece(5, " ", 1),
                                                            piece(6, "x", 1), piece(7, " ", 1), piece(8, " ", 1)}));
}

TEST(RenderRow, OverlappingCharacterBlanksTheHalfItCuts) {
    // "●" drawn one column to the right of another: the first one's cut-off
    // half is blanked, never paired with the new character's first byte.
    CellGrid grid(80, 25);
    grid.write(sjis("●"));
    grid.set_cursor(1, 0);
    grid.write(sjis("●"));
    EXPECT_EQ(head(row(grid, 0), 2), (std::vector<RowPiece>{piece(0, " ", 1), piece(1, "● ", 2)}));
}

TEST(RenderRow, FirstByteInTheLastColumnIsAPlaceholder) {
    CellGrid grid(80, 25);
    grid.set_cursor(79, 0);
    grid.write(sjis("●"));  // wraps: first byte at the end of row 0, second at the start of row 1
    EXPECT_EQ(row(grid, 0).back(), piece(79, "?", 1));
    // The second byte, 0x9C, could itself begin a character: it waits, blank.
    EXPECT_EQ(row(grid, 1).front(), piece(0, " ", 1));
}

TEST(RenderRow, HalfWidthKatakanaTakeOneColumn) {
    CellGrid grid(80, 25);
    grid.write(sjis("ｱｲｳ"));
    EXPECT_EQ(head(row(grid, 0), 3), (std::vector<RowPiece>{piece(0, "ｱ", 1), piece(1, "ｲ", 1), piece(2, "ｳ", 1)}));
}

TEST(RenderRow, EachPieceCarriesTheAttributeOfItsFirstByte) {
    CellGrid grid(80, 25);
    grid.write("a");
    grid.set_attribute(15);
    grid.write(sjis("●"));
    grid.set_attribute(7);
    grid.write("b");
    EXPECT_EQ(head(row(grid, 0), 4),
              (std::vector<RowPiece>{piece(0, "a", 1, 7), piece(1, "● ", 2, 15), piece(3, "b", 1, 7)}));
}

TEST(RenderRow, CharacterCutByTheVisibleEdgeLeavesABlank) {
    CellGrid grid(80, 25);
    grid.set_cursor(76, 0);
    grid.write(sjis("たた"));
    auto pieces = row(grid, 0, 79);
    ASSERT_EQ(pieces.size(), 78u);
    EXPECT_EQ(pieces[76], piece(76, "た", 2));
    EXPECT_EQ(pieces[77], piece(78, " ", 1));
}

TEST(RenderRow, CharacterTheTerminalCannotShowBecomesAPlaceholder) {
    CellGrid grid(80, 25);
    grid.write(sjis("相ｱ"));
    auto unknown = [](std::string_view utf8) { return utf8 == "相" ? -1 : utf8 == "ｱ" ? 2 : 1; };
    auto pieces = render_row(grid, 0, unknown);
    EXPECT_EQ(pieces[0], piece(0, "? ", 2));
    EXPECT_EQ(pieces[1], piece(2, "?", 1));  // a one-byte character drawn two wide would shift the row
}

TEST(RenderRow, FollowsTheGridsPairingOfCells) {
    // Writes in order, each a column of row 0 and its bytes; a first byte
    // left alone is followed by a write elsewhere, which ends its wait.
    struct Write {
        int column;
        std::string bytes;
    };
    struct Case {
        const char* name;
        std::vector<Write> writes;
        const char* shown;
    };
    const std::string lead("\x81");
    const std::string& hero = sjis("●");
    const std::string& wall = sjis("■");
    const Case cases[] = {
        {"stray first byte written after the hero beside it", {{4, hero}, {3, lead}, {20, "x"}}, "   ?● "},
        {"stray first byte written before the hero", {{3, lead}, {20, "x"}, {4, hero}}, "   ?● "},
        {"stray first byte still waiting when the hero comes beside it", {{3, lead}, {4, hero}}, "   ?● "},
        {"map drawn byte by byte, hero placed after",
         {{0, wall.substr(0, 1)}, {1, wall.substr(1)}, {2, lead}, {20, "x"}, {3, hero}},
         "■ ?● "},
        {"first and second byte that make no character", {{2, "\x85\x40"}, {20, "x"}}, "  ? "},
        {"second byte on its own after its first was overwritten", {{2, wall}, {2, "a"}}, "  a "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CellGrid grid(30, 1);
        for (const Write& w : c.writes) {
            grid.set_cursor(w.column, 0);
            grid.write(w.bytes);
        }
        std::string shown;
        for (const RowPiece& p : render_row(grid, 0, typical_width, 7)) shown += p.utf8;
        EXPECT_EQ(shown.substr(0, shown.find_last_not_of(' ') + 2), c.shown);
    }
}

TEST(RenderRow, WideTerminalNeedsNoPadding) {
    CellGrid grid(80, 25);
    grid.write(sjis("●"));
    EXPECT_EQ(render_row(grid, 0, wide_width).front(), piece(0, "●", 2));
}

TEST(RenderRow, RowLineTrimsTrailingBlanks) {
    CellGrid grid(80, 25);
    EXPECT_EQ(row_line(grid, 3, typical_width), "");
    grid.set_cursor(2, 3);
    grid.write(sjis("■"));
    EXPECT_EQ(row_line(grid, 3, typical_width), "  ■");
}

// Whatever the bytes, the pieces cover the visible columns exactly once, left
// to right, and each is as wide on the terminal as the columns it covers.
void expect_tiling(const CellGrid& grid, int r, int visible, int (*width_of)(std::string_view)) {
    int next = 0;
    for (const RowPiece& p : render_row(grid, r, width_of, visible)) {
        ASSERT_EQ(p.column, next);
        ASSERT_TRUE(p.columns == 1 || p.columns == 2);
        int drawn = 0;
        std::size_t i = 0;
        while (i < p.utf8.size()) {
            std::size_t length = 1;
            auto lead = static_cast<unsigned char>(p.utf8[i]);
            if (lead >= 0xf0)
                length = 4;
            else if (lead >= 0xe0)
                length = 3;
            else if (lead >= 0xc0)
                length = 2;
            drawn += width_of(std::string_view(p.utf8).substr(i, length));
            i += length;
        }
        ASSERT_EQ(drawn, p.columns) << "\"" << p.utf8 << "\" at " << p.column;
        next += p.columns;
    }
    ASSERT_EQ(next, visible);
}

TEST(RenderRow, PiecesAlwaysTileTheRow) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> any_byte(0, 255);
    std::uniform_int_distribution<int> any_column(0, 79);
    for (int round = 0; round < 300; ++round) {
        CellGrid grid(80, 25);
        std::string bytes;
        while (bytes.size() < 80) {
            // Mostly text the game would write, with stray bytes in between.
            switch (any_byte(random) % 4) {
                case 0: bytes.push_back(static_cast<char>(any_byte(random))); break;
                case 1: bytes += sjis("●"); break;
                case 2: bytes += sjis("相"); break;
                default: bytes += "ｱa"; break;
            }
        }
        bytes.resize(80);
        grid.write(bytes);
        grid.set_cursor(any_column(random), 0);
        grid.write(std::string(1, '\x88'));  // a first byte waiting for its second
        const int visible = round % 2 ? 80 : any_column(random) + 1;
        expect_tiling(grid, 0, visible, typical_width);
        expect_tiling(grid, 0, visible, wide_width);
    }
}

}  // namespace
}  // namespace rpg
