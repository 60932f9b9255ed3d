#pragma once
// The benchmark's table: one row per figure, with what was measured, the
// target and whether it was met, printed by section.

#include <string>

namespace bench {

enum class Section { pacing, idle, latency, output, headless };

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// A figure taken, and whether it meets its target.
void add(Section section, std::string figure, std::string measured, std::string target, bool pass);
// A figure that could not be taken, and why.
void missing(Section section, std::string figure, std::string why, std::string target);

void print_table();
// Every figure taken and its target met.
bool all_pass();

}  // namespace bench
