#pragma once
// The console of the system the game runs on: the Windows console on Windows,
// a terminal through ncurses elsewhere. Both take Options{min_columns,
// min_rows} and offer startup_error(), restore() and keep_screen_on_exit().

#ifdef _WIN32
#include "platform/windows/windows_console.h"
namespace rpg {
using SystemConsole = WindowsConsole;
}
#else
#include "platform/terminal/terminal.h"
namespace rpg {
using SystemConsole = Terminal;
}
#endif
