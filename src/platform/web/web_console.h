#pragma once
// The console of the browser build: the page's terminal widget, reached
// through the host object the page hands the program (Module.rpg: write,
// takeInput, waitInput, columns, rows). Takes Options{min_columns, min_rows}
// and offers startup_error(), restore() and keep_screen_on_exit(), as the
// other consoles do.

#include "platform/web/web_console_core.h"

namespace rpg {

// The page's host object as a WebHost; the clocks are the page's own
// (performance.now() and Date.now()), and sleeping lets the page run
// (Asyncify).
WebHost& page_host();

class WebConsole : public WebConsoleCore {
public:
    explicit WebConsole(Options options) : WebConsoleCore(page_host(), options) {}
};

}  // namespace rpg

// The notice shown while the page's grid is too small for the game, for the
// page to show the same words: the terminal's. The text lives until the next
// call.
extern "C" const char* rpg_room_notice(int min_columns, int min_rows, int columns, int rows);
