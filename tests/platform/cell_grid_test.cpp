// The screen grid that both consoles keep.

#include "platform/cell_grid.h"

#include <gtest/gtest.h>

#include <string>

namespace rpg {
namespace {

TEST(CellGrid, StartsBlankInTheNormalLookWithEveryRowToDraw) {
    CellGrid grid(80, 25);
    EXPECT_EQ(grid.width(), 80);
    EXPECT_EQ(grid.height(), 25);
    EXPECT_EQ(grid.at(0, 0), (Cell{' ', 7}));
    EXPECT_EQ(grid.at(79, 24), (Cell{' ', 7}));
    EXPECT_EQ(grid.cursor_column(), 0);
    EXPECT_EQ(grid.cursor_row(), 0);
    for (int r = 0; r < 25; ++r) EXPECT_TRUE(grid.row_dirty(r));
    EXPECT_EQ(grid.pending_lead_column(), -1);
}

TEST(CellGrid, WritingAdvancesTheCursorAndWrapsAtTheRightEdge) {
    CellGrid grid(80, 25);
    grid.set_cursor(78, 3);
    grid.write("abc");
    EXPECT_EQ(grid.at(78, 3).byte, 'a');
    EXPECT_EQ(grid.at(79, 3).byte, 'b');
    EXPECT_EQ(grid.at(0, 4).byte, 'c');
    EXPECT_EQ(grid.cursor_column(), 1);
    EXPECT_EQ(grid.cursor_row(), 4);
}

TEST(CellGrid, LineBreakGoesToColumnZeroOfTheNextRowWithoutErasing) {
    CellGrid grid(80, 25);
    grid.set_cursor(0, 5);
    grid.write("hello");
    grid.set_cursor(0, 4);
    grid.write("xyz\nA");
    EXPECT_EQ(grid.row_bytes(4, 0, 3), "xyz");
    EXPECT_EQ(grid.row_bytes(5, 0, 5), "Aello");
    EXPECT_EQ(grid.at(3, 4).byte, ' ');  // the break itself writes nothing
    EXPECT_EQ(grid.cursor_column(), 1);
    EXPECT_EQ(grid.cursor_row(), 5);
}

TEST(CellGrid, NothingScrollsAndBytesBelowTheLastRowAreDropped) {
    CellGrid grid(80, 25);
    grid.write("top");
    grid.set_cursor(78, 24);
    grid.write("abcd\nef");
    EXPECT_EQ(grid.row_bytes(0, 0, 3), "top");
    EXPECT_EQ(grid.row_bytes(24, 78, 2), "ab");
    EXPECT_EQ(grid.row_bytes(24, 0, 2), "  ");
    // The cursor can still be placed back on the screen.
    grid.set_cursor(0, 24);
    grid.write("z");
    EXPECT_EQ(grid.at(0, 24).byte, 'z');
}

TEST(CellGrid, LineBreakOnTheLastRowLeavesTheScreen) {
    CellGrid grid(80, 25);
    grid.set_cursor(5, 24);
    grid.write("\nq");
    for (int r = 0; r < 25; ++r) EXPECT_EQ(grid.row_bytes(r).find('q'), std::string::npos) << r;
}

TEST(CellGrid, OutOfRangeCursorIsRefused) {
    const int refused[][2] = {{80, 0}, {-1, 0}, {0, 25}, {0, -1}, {100, 100}};
    for (const auto& position : refused) {
        CellGrid grid(80, 25);
        grid.set_cursor(10, 7);
        grid.set_cursor(position[0], position[1]);
        EXPECT_EQ(grid.cursor_column(), 10) << position[0] << "," << position[1];
        EXPECT_EQ(grid.cursor_row(), 7);
    }
    CellGrid grid(80, 25);
    grid.set_cursor(79, 24);
    EXPECT_EQ(grid.cursor_column(), 79);
    EXPECT_EQ(grid.cursor_row(), 24);
}

TEST(CellGrid, EachCellKeepsTheAttributeItWasWrittenIn) {
    CellGrid grid(80, 25);
    grid.write("a");
    grid.set_attribute(15);
    grid.write("b");
    grid.set_attribute(7);
    grid.write("c");
    EXPECT_EQ(grid.at(0, 0).attribute, 7);
    EXPECT_EQ(grid.at(1, 0).attribute, 15);
    EXPECT_EQ(grid.at(2, 0).attribute, 7);
    EXPECT_EQ(grid.attribute(), 7);
}

TEST(CellGrid, OnlyWrittenRowsAreDirty) {
    CellGrid grid(80, 25);
    grid.clear_dirty();
    for (int r = 0; r < 25; ++r) EXPECT_FALSE(grid.row_dirty(r));
    grid.set_cursor(79, 6);  // placing the cursor draws nothing
    EXPECT_FALSE(grid.row_dirty(6));
    grid.write("ab");  // wraps into row 7
    grid.write("\n");  // a break alone draws nothing
    for (int r = 0; r < 25; ++r) EXPECT_EQ(grid.row_dirty(r), r == 6 || r == 7) << r;
    grid.clear_dirty();
    grid.mark_all_dirty();
    EXPECT_TRUE(grid.row_dirty(0));
    EXPECT_TRUE(grid.row_dirty(24));
}

TEST(CellGrid, PendingFirstByteIsTheLastByteWhenItAwaitsItsSecond) {
    CellGrid grid(80, 25);
    grid.set_cursor(27, 13);
    grid.write("\x91");  // first byte of a kanji
    EXPECT_EQ(grid.pending_lead_column(), 27);
    EXPECT_EQ(grid.pending_lead_row(), 13);
    grid.write("\x8a");
    EXPECT_EQ(grid.pending_lead_column(), -1);
    // A byte that completes a pair is never itself pending, even in the first-byte range.
    grid.write("\x81\x81");
    EXPECT_EQ(grid.pending_lead_column(), -1);
    grid.write("A\x81");
    EXPECT_EQ(grid.pending_lead_column(), 32);
    grid.set_cursor(0, 0);  // a cursor move alone does not end the wait...
    EXPECT_EQ(grid.pending_lead_column(), 32);
    grid.write("B");  // ...a byte written elsewhere does
    EXPECT_EQ(grid.pending_lead_column(), -1);
}

TEST(CellGrid, RowBytesGivesPartsOfARow) {
    CellGrid grid(80, 25);
    grid.set_cursor(10, 2);
    grid.write("hello");
    EXPECT_EQ(grid.row_bytes(2, 10, 5), "hello");
    EXPECT_EQ(grid.row_bytes(2, 78).size(), 2u);
    EXPECT_EQ(grid.row_bytes(2, 75, 10).size(), 5u);  // cut at the edge
    EXPECT_EQ(grid.row_bytes(2).size(), 80u);
}

}  // namespace
}  // namespace rpg
