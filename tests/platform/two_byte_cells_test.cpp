// How the cell grid keeps the two halves of a full-width character together.

#include <gtest/gtest.h>

#include "platform/cell_grid.h"
#include "platform/encoding.h"

namespace rpg {
namespace {

std::string row(const CellGrid& grid, int r, int column, int length) {
    return utf8_from_sjis(grid.row_bytes(r, column, length));
}

TEST(TwoByteCells, OverwritingOneHalfBlanksTheOther) {
    struct Case {
        const char* name;
        int column;  // where the single-byte text is written over "兵兵" at column 10
        const char* text;
        const char* expected;  // columns 9 to 14
    };
    const Case cases[] = {
        {"first half", 10, "a", " a 兵 "},
        {"second half", 11, "b", "  b兵 "},
        {"across two characters", 11, "cd", "  cd  "},
        {"exactly over one", 12, "ef", " 兵ef "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CellGrid grid(20, 2);
        grid.set_cursor(10, 0);
        grid.write(sjis("兵兵"));
        grid.set_cursor(c.column, 0);
        grid.write(c.text);
        EXPECT_EQ(row(grid, 0, 9, 6), c.expected);
    }
}

TEST(TwoByteCells, FullWidthTextOneColumnOffOverAnotherLeavesNoHalves) {
    // A banner drawn one column left of the blanks of an earlier frame.
    CellGrid grid(30, 1);
    grid.set_cursor(3, 0);
    grid.write(sjis("　　　　"));  // columns 3 to 10
    grid.set_cursor(2, 0);
    grid.write(sjis("／／"));  // columns 2 to 5
    EXPECT_EQ(row(grid, 0, 2, 9), "／／ 　　");
    EXPECT_EQ(grid.at(6, 0).byte, ' ');
    EXPECT_EQ(grid.at(7, 0).half, 1);
}

TEST(TwoByteCells, FirstByteJoinsTheNextByteWrittenToItsRight) {
    // The field map sends every byte to its own cell with a cursor move between.
    const std::string& block = sjis("■");
    CellGrid grid(10, 1);
    grid.set_cursor(4, 0);
    grid.write(block.substr(0, 1));
    EXPECT_EQ(grid.pending_lead_column(), 4);
    grid.set_cursor(5, 0);
    grid.write(block.substr(1, 1));
    EXPECT_EQ(grid.pending_lead_column(), -1);
    EXPECT_EQ(grid.at(4, 0).half, 1);
    EXPECT_EQ(grid.at(5, 0).half, 2);
    EXPECT_EQ(row(grid, 0, 4, 2), "■");
}

TEST(TwoByteCells, LineBreakOrAByteThatIsNoSecondHalfLeavesTheFirstAlone) {
    const std::string& kanji = sjis("兵");
    CellGrid grid(10, 2);
    grid.write(kanji.substr(0, 1));
    grid.write("\n");
    EXPECT_EQ(grid.pending_lead_column(), -1);
    grid.set_cursor(1, 0);
    grid.write(" ");
    EXPECT_EQ(grid.at(0, 0).half, 0);
    EXPECT_EQ(grid.at(1, 0).half, 0);
}

}  // namespace
}  // namespace rpg
