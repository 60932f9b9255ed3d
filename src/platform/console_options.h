#pragma once
// What a program asks of the console it runs on, the same for the terminal
// and the Windows console.

namespace rpg {

// How wide the console draws the East-Asian "ambiguous" characters ("●",
// "■", "×", Greek and Cyrillic letters, box drawing): measured at start, or
// set by the player for a console whose answer is wrong or missing.
enum class AmbiguousWidth { measure, narrow, wide };

struct ConsoleOptions {
    int min_columns = 80;  // the game needs at least this much room
    int min_rows = 19;
    // measure: the environment variable RPG_AMBIGUOUS (wide or narrow)
    // decides, or else the console is asked where its cursor went.
    AmbiguousWidth ambiguous = AmbiguousWidth::measure;
};

// What a system console found when it started: the width it draws ambiguous
// characters in (never `measure`) and its size in columns and rows.
struct ConsoleFacts {
    AmbiguousWidth ambiguous = AmbiguousWidth::narrow;
    int columns = 0;
    int rows = 0;
};

}  // namespace rpg
