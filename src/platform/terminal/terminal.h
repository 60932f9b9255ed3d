#pragma once
// The real terminal: a UTF-8 terminal driven through ncurses. The game's
// Shift-JIS cells are kept in the console session's grid and converted to
// UTF-8 only here, every two-byte character taking exactly two columns.
//
// This backend is for Linux: ncurses draws into a memfd_create file and
// shortens the timer slack with prctl for pauses that end on time; the
// programs find their data folder through /proc/self/exe (app/options.cpp).
// Another POSIX system needs those three replaced.

#include "platform/console_session.h"

namespace rpg {

class Terminal : public ConsoleSession {
public:
    // Checks that standard input and output are a terminal that can place
    // the cursor and that a UTF-8 locale can be had, then takes the terminal
    // over and measures how wide it draws the game's characters.
    explicit Terminal(Options options);
};

}  // namespace rpg
