#pragma once
// The Windows console. The game's Shift-JIS cells are kept in the console
// session's grid and written with the console API in code page 932 on a
// screen buffer of the game's own, every two-byte character taking exactly
// two cells whatever the console makes of it.

#include "platform/console_session.h"

namespace rpg {

class WindowsConsole : public ConsoleSession {
public:
    // Checks that standard input and output are a console; if not,
    // startup_error() says why and nothing else works. The console is taken
    // over only at the first output or key read.
    explicit WindowsConsole(Options options);
};

}  // namespace rpg
