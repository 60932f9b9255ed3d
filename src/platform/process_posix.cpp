#include <system_error>

#include "platform/process.h"

namespace rpg {

std::vector<std::string> program_arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

std::filesystem::path path_from_argument(const char* argument) { return argument; }

std::filesystem::path running_program_file() {
    std::error_code failed;
    return std::filesystem::read_symlink("/proc/self/exe", failed);
}

}  // namespace rpg
