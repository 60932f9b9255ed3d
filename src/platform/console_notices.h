#pragma once
// What every console shows outside the game's own screen: the notice while
// the window is too small for the game, and the last screen printed again
// into the player's own after exit, so that a notice stays readable.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rpg {

// The words asking for a window of at least min_columns x min_rows, one that
// is columns x rows now, on one line.
std::string too_small_message(int min_columns, int min_rows, int columns, int rows);

// The notice asking for a window of at least min_columns x min_rows, one
// that is columns x rows now: wrapped at blanks so that a narrow window still
// reads whole words, each line cut at `columns`, at most `rows` lines.
std::vector<std::string> too_small_notice(int min_columns, int min_rows, int columns, int rows);

// The rows from the first to the last that hold anything but blanks, each
// with its trailing blanks removed and followed by `newline`; empty when no
// row holds anything. `line_of` gives a row of the screen as UTF-8.
std::string kept_screen(int rows, const std::function<std::string(int row)>& line_of, std::string_view newline);

}  // namespace rpg
