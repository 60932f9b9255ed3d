#pragma once
// Shift-JIS (code page 932) is the game's own encoding: every text it keeps,
// prints and reads from its data files is Shift-JIS, one byte per column.
// The source code is UTF-8; texts written in it are converted once, at first
// use, by sjis(). Converting back to UTF-8 happens only where text leaves the
// game for the terminal (and in tests, to compare screens).

#include <cstdint>
#include <string>
#include <string_view>

namespace rpg {

// The Shift-JIS form of a UTF-8 text, converted on first use and kept for the
// life of the program. The text must be representable in code page 932.
const std::string& sjis(std::string_view utf8);

// Empty when the system converts between UTF-8 and code page 932; otherwise
// one line saying that it cannot, for the player at start (an iconv built
// without its CP932 module, say), before any text is needed.
std::string shift_jis_problem();

// One screen character of a row of Shift-JIS bytes, ready for a UTF-8
// terminal: `columns` is 2 for a two-byte character and 1 otherwise.
struct ScreenChar {
    std::string utf8;
    int columns = 1;
    bool valid = true;  // false: a byte that is not Shift-JIS text; utf8 holds the placeholder
};

// The placeholder shown for a byte that is not valid Shift-JIS text.
inline constexpr std::string_view invalid_placeholder = "?";

// The UTF-8 text of one two-byte character, or an empty string when the pair
// is not a character of code page 932.
const std::string& utf8_of_pair(std::uint8_t lead, std::uint8_t trail);
// The UTF-8 text of one single-byte character (ASCII or half-width katakana),
// or an empty string for a byte that is no character on its own.
std::string utf8_of_byte(std::uint8_t byte);

// Decodes the character that starts at bytes[i]; sets `length` to the number
// of bytes it used (1 or 2).
ScreenChar decode_sjis_at(std::string_view bytes, std::size_t i, std::size_t& length);

// The whole text in UTF-8, with the placeholder for every invalid byte.
std::string utf8_from_sjis(std::string_view sjis_text);

// True for the first byte of a two-byte Shift-JIS character.
inline bool is_sjis_lead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// True for a byte that can follow a lead byte.
inline bool is_sjis_trail(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The code point of the UTF-8 character that starts at text[i] (i below
// text.size()), advancing i past it; -1 for bytes that are no UTF-8 (a
// broken or overlong sequence, a surrogate, beyond U+10FFFF).
long next_code_point(std::string_view text, std::size_t& i);

}  // namespace rpg
