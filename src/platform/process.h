#pragma once
// The program's own command line and place, as the system gives them. One
// source per system: process_posix.cpp (Linux, the browser) and
// process_windows.cpp.

#include <filesystem>
#include <string>
#include <vector>

namespace rpg {

// The arguments after the program's name. Windows hands main() the command
// line in the ANSI code page, which loses every character outside it; there
// it is taken again as the wide original, in UTF-8.
std::vector<std::string> program_arguments(int argc, char** argv);

// The path an argument names: read as UTF-8 on Windows (see above), so that a
// folder whose name lies outside the ANSI code page is named exactly; taken
// byte for byte elsewhere.
std::filesystem::path path_from_argument(const char* argument);

// The running program's own file; empty when the system does not say.
std::filesystem::path running_program_file();

}  // namespace rpg
