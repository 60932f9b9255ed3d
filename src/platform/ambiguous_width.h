#pragma once

namespace rpg {

// How wide the console draws the East-Asian "ambiguous" characters ("●",
// "■", "×", Greek and Cyrillic letters, box drawing): measured at start, or
// set by the player for a console whose answer is wrong or missing.
enum class AmbiguousWidth { measure, narrow, wide };

}  // namespace rpg
