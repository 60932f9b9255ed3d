#pragma once
// How many bytes this process has read so far (Linux: /proc/self/io), to
// show that a reader stops where it should.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace rpg::test {

inline std::uint64_t bytes_read_so_far() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    ADD_FAILURE() << "no read count in /proc/self/io";
    return 0;
}

}  // namespace rpg::test
