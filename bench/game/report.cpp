#include "report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace bench {
namespace {

struct Row {
    Section section;
    std::string figure;
    std::string measured;
    std::string target;
    bool known = true;  // false: the figure could not be taken
    bool pass = true;
};

std::vector<Row> table;

// Columns a UTF-8 text takes in a terminal: the game's full-width text two,
// everything else here one.
int columns_of(const std::string& text) {
    int columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        columns += length == 3 ? 2 : 1;
        i += static_cast<std::size_t>(length);
    }
    return columns;
}

std::string pad(const std::string& text, int width) {
    return text + std::string(static_cast<std::size_t>(std::max(0, width - columns_of(text))), ' ');
}

}  // namespace

std::string format(const char* pattern, ...) {
    char text[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

void add(Section section, std::string figure, std::string measured, std::string target, bool pass) {
    table.push_back(Row{section, std::move(figure), std::move(measured), std::move(target), true, pass});
}

void missing(Section section, std::string figure, std::string why, std::string target) {
    table.push_back(Row{section, std::move(figure), "not measured: " + why, std::move(target), false, false});
}

void print_table() {
    int widths[3] = {6, 8, 6};
    for (const Row& row : table) {
        widths[0] = std::max(widths[0], columns_of(row.figure));
        widths[1] = std::max(widths[1], columns_of(row.measured));
        widths[2] = std::max(widths[2], columns_of(row.target));
    }
    auto line = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
        std::printf("%s  %s  %s  %s\n", pad(a, widths[0]).c_str(), pad(b, widths[1]).c_str(), pad(c, widths[2]).c_str(),
                    d.c_str());
    };
    auto rule = [](int width) { return std::string(static_cast<std::size_t>(width), '-'); };
    line("Figure", "Measured", "Target", "Result");
    line(rule(widths[0]), rule(widths[1]), rule(widths[2]), "------");
    for (Section section : {Section::pacing, Section::idle, Section::latency, Section::output, Section::headless}) {
        for (const Row& row : table) {
            if (row.section != section) continue;
            line(row.figure, row.measured, row.target, row.known ? (row.pass ? "pass" : "MISS") : "n/a");
        }
    }
}

bool all_pass() {
    return std::all_of(table.begin(), table.end(), [](const Row& r) { return r.known && r.pass; });
}

}  // namespace bench
