// What the page around the browser build reads from a program before it runs
// it, so that the page repeats none of it: the room the program needs, and the
// names of the data files. The page keeps one data folder for both programs:
// the files load_game_data reads, and the field's map.

#include <emscripten/emscripten.h>

#include <string>

#include "app/program.h"
#include "data/loaders.h"

extern "C" EMSCRIPTEN_KEEPALIVE int rpg_min_columns() { return rpg::program_info.min_columns; }

extern "C" EMSCRIPTEN_KEEPALIVE int rpg_min_rows() { return rpg::program_info.min_rows; }

// The names one a line, in the order the programs read them.
extern "C" EMSCRIPTEN_KEEPALIVE const char* rpg_data_files() {
    static const std::string names = [] {
        std::string text;
        for (const std::string& name : rpg::game_data_files()) text += name + '\n';
        return text + rpg::map_file_name;
    }();
    return names.c_str();
}
