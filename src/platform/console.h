#pragma once
// The one way the game reaches the screen and the keyboard.
//
// Text is Shift-JIS, one byte per screen column. A line break ("\n") moves the
// cursor to column 0 of the next row and erases nothing. Key codes are the
// ones the C runtime's _getch() gives on Windows, which every backend
// produces: an arrow key arrives as the prefix 224 followed by 72 (up), 80
// (down), 75 (left) or 77 (right); Enter is 13, space 32. So a letter whose
// code is an arrow's second code (H, P, K, M) acts like that arrow.

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace rpg {

// The prefix code that comes before the direction code of an arrow key.
inline constexpr int key_arrow_prefix = 224;
inline constexpr int key_up = 72;
inline constexpr int key_down = 80;
inline constexpr int key_left = 75;
inline constexpr int key_right = 77;
inline constexpr int key_enter = 13;
inline constexpr int key_space = 32;
// Home and End, as _getch() gives them after the prefix: no key of the game.
inline constexpr int key_home = 71;
inline constexpr int key_end = 79;

inline constexpr std::uint16_t attr_normal = 7;
inline constexpr std::uint16_t attr_intensity = 8;

// Thrown by read_key when no key can ever arrive again (the terminal went
// away, or a test's key script ran out). Only main catches it.
struct InputClosed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Console {
public:
    virtual ~Console() = default;

    // Places the cursor; a position outside the screen leaves it where it is.
    virtual void set_cursor(int column, int row) = 0;
    virtual void set_attribute(std::uint16_t attribute) = 0;
    // Writes Shift-JIS bytes at the cursor, which advances with each byte.
    virtual void print(std::string_view sjis) = 0;
    // Where a screen reader should read once the screen is brought up to
    // date: a console in screen-reader mode rests its cursor at (column, row)
    // after every update from now on, until the next call, and says `sjis`
    // (Shift-JIS) when it is not empty: what just changed there, such as a new
    // message or a new selection. Other consoles change nothing. The game
    // calls it in every mode, so a run is the same with or without a reader.
    virtual void announce(int column, int row, std::string_view sjis = {}) = 0;
    // A print followed by a line break.
    void line_print(std::string_view sjis) {
        print(sjis);
        print("\n");
    }

    // True when a key code can be read without waiting.
    virtual bool key_waiting() = 0;
    // Reads one key code without echo, waiting (without using the CPU) until
    // there is one.
    virtual int read_key() = 0;

    // Pauses for the given number of milliseconds; everything printed before
    // is on the screen during the pause.
    virtual void sleep_ms(int milliseconds) = 0;
    // The current time in whole seconds.
    virtual std::int64_t now_seconds() = 0;

    // The game came to a moment worth finding again: a turn of the battle
    // begins or its command menu comes back (with the turns counted so far),
    // or the field has run another second. Only a recording takes note.
    virtual void turn_mark(int /*turn*/) {}
};

}  // namespace rpg
