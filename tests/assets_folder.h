#pragma once
// The folder of the bundled sample data: $RPG_ASSETS when set, else the
// source tree's assets/ folder.

#include <cstdlib>
#include <string>

namespace rpg::testing {

inline std::string assets_folder() {
    if (const char* dir = std::getenv("RPG_ASSETS")) return dir;
    return RPG_ASSETS_DIR;
}

}  // namespace rpg::testing
