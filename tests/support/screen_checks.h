#pragma once
// Checks of what stands on the terminal's screen, cell by cell.
//
// The game lays its screen out in bytes of Shift-JIS, so a full-width
// character takes two columns. A character the terminal draws two columns
// wide must show as one wide cell; a two-byte character that terminals draw
// one column wide ("●", "■", "×") must show as that character followed by a
// blank column, so that what follows still stands where the game put it.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/pty_session.h"

namespace rpg::test {

enum class Look { any, normal, bright };

// True when `utf8` stands at (column, row) with every character aligned as
// the game lays it out; with a look, every non-blank cell must have it.
::testing::AssertionResult shows(const PtySession& game, int column, int row, std::string_view utf8,
                                 Look look = Look::any);
// True when `length` cells from (column, row) are blank (ideographic spaces count).
::testing::AssertionResult blank(const PtySession& game, int column, int row, int length);
// Whether the text stands there (for waiting).
inline bool has(const PtySession& game, int column, int row, std::string_view utf8, Look look = Look::any) {
    return static_cast<bool>(shows(game, column, row, utf8, look));
}
// The number of columns the game gives the text: its Shift-JIS byte count.
int game_columns(std::string_view utf8);
// The number of times `piece` occurs in the row from `column` over `length` cells.
int count_in_row(const PtySession& game, int row, int column, int length, std::string_view piece);

}  // namespace rpg::test
