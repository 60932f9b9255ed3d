#pragma once
// The command line shared by both programs, and the choice of the folder the
// data files are read from. Nothing here touches the terminal.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/console_options.h"

namespace rpg {

struct ProgramOptions {
    bool help = false;
    bool version = false;
    std::optional<std::filesystem::path> data_folder;    // --data DIR
    std::optional<std::uint32_t> seed;                   // --seed N
    AmbiguousWidth ambiguous = AmbiguousWidth::measure;  // --ambiguous WIDTH
    std::optional<std::filesystem::path> record;         // --record FILE
    bool force = false;                                  // --force: --record or --cast may replace FILE
    std::optional<std::filesystem::path> replay;         // --replay FILE
    std::optional<int> speed;                            // --speed N (1 to 1000), 0 for "max"
    bool screen_reader = false;                          // --screen-reader
    std::optional<std::filesystem::path> cast;           // --cast OUT
    bool check = false;                                  // --check
};

struct ParsedOptions {
    ProgramOptions options;
    std::string error;  // empty when the command line is good; else one line, without the program's name
};

// Parses the arguments that follow the program's name (in UTF-8 on Windows,
// in the system's own encoding elsewhere).
ParsedOptions parse_options(const std::vector<std::string>& arguments);

// The file whose presence marks a folder as holding the game's data.
inline constexpr const char* data_marker_file = "Hero_Status_Info.txt";

// Where the data files are read from: the folder given with --data; else the
// current folder when it holds the data; else the installed sample data when
// that holds it; else the current folder, where the missing file is noticed.
std::filesystem::path choose_data_folder(const std::optional<std::filesystem::path>& given,
                                         const std::filesystem::path& current, const std::filesystem::path& installed);

// The installed sample data, found relative to the running program; empty
// when the program's own location cannot be told.
std::filesystem::path installed_data_folder(const char* argv0);

}  // namespace rpg
