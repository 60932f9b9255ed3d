// The battle program: one battle against three pawns, then it ends.

#include <cstdio>

#include "battle/flow.h"
#include "platform/system_console.h"

int main() {
    rpg::SystemConsole terminal(rpg::SystemConsole::Options{80, 19});
    if (!terminal.startup_error().empty()) {
        std::fprintf(stderr, "battle: %s\n", terminal.startup_error().c_str());
        return 1;
    }
    rpg::Battle battle(terminal);
    std::string error;
    try {
        int status = rpg::run_battle_program(battle, ".", error);
        // The missing-file notice stays readable in the shell after the screen is given back.
        if (status == -1) terminal.keep_screen_on_exit(true);
        terminal.restore();
        if (!error.empty()) std::fprintf(stderr, "battle: %s\n", error.c_str());
        return status;
    } catch (const rpg::InputClosed& closed) {
        terminal.restore();
        std::fprintf(stderr, "battle: %s\n", closed.what());
        return 1;
    }
}
