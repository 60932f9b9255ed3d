#pragma once
// What a program asks of the console it runs on, the same for every backend,
// and the player's setting in the environment that every backend reads.

#include <optional>
#include <string>

namespace rpg {

// The game's screen: every console keeps a cell grid of this size, of which
// the game needs ConsoleOptions' minimum on the player's screen.
inline constexpr int screen_columns = 80;
inline constexpr int screen_rows = 25;

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
    // A screen reader follows the game: the cursor rests where the game
    // announces, and the console says what it announces (Console::announce).
    bool screen_reader = false;
};

// What a system console found when it started: the width it draws ambiguous
// characters in (never `measure`) and its size in columns and rows.
struct ConsoleFacts {
    AmbiguousWidth ambiguous = AmbiguousWidth::narrow;
    int columns = 0;
    int rows = 0;
};

// The player's setting in RPG_AMBIGUOUS: "wide" or "narrow"; no setting or an
// empty one is `measure`; anything else is nullopt.
std::optional<AmbiguousWidth> ambiguous_setting(const char* value);

// When `options` leave the width to be measured, takes RPG_AMBIGUOUS's word
// on it. Returns the message for the player when the setting is not one of
// the two, else an empty string.
std::string take_ambiguous_setting(ConsoleOptions& options);

}  // namespace rpg
