#pragma once
// How many columns a terminal gives a character, from the Unicode tables
// rather than the C library: kanji, kana and the full-width forms take two
// columns on every terminal; the East-Asian "ambiguous" characters ("●", "■",
// "×", Greek, box drawing) take one on most and two on those set up for
// Japanese.

#include <string_view>

#include "platform/console_options.h"

namespace rpg {

// True for a character every terminal draws two columns wide (kanji, kana,
// full-width forms); false for those that some draw one wide.
bool is_wide_character(char32_t c);

// True for every character but ASCII and the half-width katakana (kanji
// included). Asked only of a character of the game's text (code page 932)
// that the C library calls one column wide: of those, exactly these have the
// East-Asian width "ambiguous" (checked over the whole code page), so that a
// terminal drawing the ambiguous characters wide draws them two columns wide,
// and no character table is needed.
bool outside_ascii_and_half_width_kana(char32_t c);

// The columns one UTF-8 character takes by the tables: 2 for the wide ones,
// 1 for the rest, ambiguous ones 2 only when `ambiguous` says wide; 0 for a
// control character or a text that is not exactly one character.
int table_char_width(std::string_view utf8, AmbiguousWidth ambiguous);

}  // namespace rpg
