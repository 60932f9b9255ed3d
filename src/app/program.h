#pragma once
// The one start-up path of both programs: the command line, the data folder,
// the terminal, the data files (and the missing-file notice), and the end of
// the run. Whatever ends the game (a normal end,
// a lost terminal, an unexpected failure) gives the terminal back first and
// then says in one line what happened, the program's name written once.

#include <filesystem>
#include <string>

#include "app/options.h"
#include "data/loaders.h"
#include "data/records.h"
#include "platform/system_console.h"

namespace rpg {

// Exit statuses, the same for both programs.
inline constexpr int exit_ok = 0;
inline constexpr int exit_error = 1;           // bad data, no terminal, the terminal lost
inline constexpr int exit_usage = 2;           // a bad command line
inline constexpr int exit_missing_file = 255;  // a data file is missing

struct ProgramInfo {
    const char* name;      // "battle"
    const char* summary;   // one line for --help
    const char* details;   // the program's keys and files for --help, lines ending in '\n'
    const char* seed_use;  // what --seed does for this program: one line of --help, ending in '\n'
    int min_columns;
    int min_rows;
    DataUser data_user;  // whose checks the loaded data must pass
    // A data file the game reads itself, beside those of load_game_data (the
    // field's map), or null.
    const char* own_data_file = nullptr;
};

// The program's own description, defined beside its main(): the browser build
// also tells the page its minimum room from it (app/page_facts.cpp).
extern const ProgramInfo program_info;

struct StartUp {
    ProgramOptions options;
    std::filesystem::path data_folder;
    std::uint32_t seed = 0;  // --seed, else the clock's
};

// Plays the game on a console that is ready, with the data files loaded and
// checked. Returns the exit status; a message for the player, shown once the
// terminal is given back, goes in `error`.
using GameEntry = int (*)(Console& con, const StartUp& start, const GameRecords& records, std::string& error);

// The whole program: the options, then the game. Returns the exit status.
int run_program(const ProgramInfo& info, int argc, char** argv, GameEntry game);

// The message with the program's name in front: the one place a message gets it.
std::string with_program_name(const char* name, const std::string& message);

}  // namespace rpg
