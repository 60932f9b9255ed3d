// The field program: walk the hero over the map while the pawn gives chase.
// It runs until its process is ended from outside.

#include "app/program.h"
#include "data/loaders.h"
#include "data/random.h"
#include "field/field.h"
#include "platform/files.h"

namespace {

int walk_field(rpg::Console& con, const rpg::StartUp& start, const rpg::GameRecords& records, std::string& error) {
    rpg::Field field(con);
    field.records = records;
    rpg::seed_random(field.random, start.seed);
    const std::filesystem::path map_file = start.data_folder / rpg::map_file_name;
    std::string problem;
    if (!rpg::start_field(field, map_file, &problem)) {
        const std::string name = rpg::path_text(map_file.lexically_normal());
        if (problem.empty()) {
            error = "cannot open the map file " + name;
            return rpg::exit_missing_file;
        }
        error = "the map file " + name + " " + problem;
        return rpg::exit_error;
    }
    rpg::run_field(field, -1);
    return rpg::exit_ok;
}

}  // namespace

const rpg::ProgramInfo rpg::program_info{
    "field",
    "Walk the hero over the field map while a pawn gives chase, in the terminal.",
    "Keys: the arrow keys walk the hero. The field has no end: leave it with\n"
    "Ctrl+C.\n"
    "\n"
    "Data files: the battle's files (Hero_Status_Info.txt, the six\n"
    "*_Status_Info.txt files of the enemy kinds, the five skill files) and the\n"
    "map, test.txt: 19 lines of 53 bytes (Shift-JIS text).\n",
    "accepted, but the field draws no random numbers\n",
    rpg::map_columns,
    rpg::map_rows,
    rpg::DataUser::field,
    rpg::map_file_name,
};

int main(int argc, char** argv) { return rpg::run_program(rpg::program_info, argc, argv, walk_field); }
