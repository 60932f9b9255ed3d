#pragma once
// The console of the system the game runs on: the Windows console on Windows,
// the page's terminal widget in the browser, a terminal through ncurses
// elsewhere. Each is a console session (platform/console_session.h) over its
// own device: it takes the session's Options and offers startup_error(),
// restore(), facts() and keep_screen_on_exit().

#ifdef _WIN32
#include "platform/windows/windows_console.h"
namespace rpg {
using SystemConsole = WindowsConsole;
}
#elif defined(__EMSCRIPTEN__)
#include "platform/web/web_console.h"
namespace rpg {
using SystemConsole = WebConsole;
}
#else
#include "platform/terminal/terminal.h"
namespace rpg {
using SystemConsole = Terminal;
}
#endif
