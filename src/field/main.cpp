// The field program: walk the hero over the map while the pawn gives chase.
// It runs until its process is ended from outside.

#include <iostream>
#include <string>

#include "app/missing_file.h"
#include "data/loaders.h"
#include "data/random.h"
#include "field/field.h"
#include "platform/terminal.h"

int main() {
    rpg::Terminal term({rpg::map_columns, rpg::map_rows});
    if (!term.startup_error().empty()) {
        std::cerr << term.startup_error() << '\n';
        return 1;
    }
    try {
        rpg::Field field(term);
        std::string error;
        switch (rpg::load_game_data(field.records, ".", error, rpg::DataUser::field)) {
            case rpg::LoadResult::ok: break;
            case rpg::LoadResult::missing: term.keep_screen_on_exit(true); return rpg::fatal_missing_file(term);
            case rpg::LoadResult::invalid:
                term.restore();
                std::cerr << "field: " << error << '\n';
                return 1;
        }
        rpg::seed_random(field.random, rpg::seed_from_time(term.now_seconds()));
        if (!rpg::start_field(field, "test.txt")) return -1;
        rpg::run_field(field, -1);
    } catch (const rpg::InputClosed&) {
        term.restore();
        std::cerr << "field: the terminal was closed\n";
        return 1;
    }
    return 0;
}
