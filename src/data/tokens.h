#pragma once
// How the data files divide into values: runs of bytes between blanks.

namespace rpg {

// The blanks of the C locale's isspace: space, tab, line feed, vertical tab,
// form feed and carriage return. Every other byte, NUL and the bytes of
// Shift-JIS text included, belongs to a token.
constexpr bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace rpg
