#include "platform/console_notices.h"

#include <cstdio>

namespace rpg {

std::string too_small_message(int min_columns, int min_rows, int columns, int rows) {
    char message[160];
    std::snprintf(message, sizeof message, "Please make the terminal at least %d x %d (now %d x %d).", min_columns,
                  min_rows, columns, rows);
    return message;
}

std::vector<std::string> too_small_notice(int min_columns, int min_rows, int columns, int rows) {
    const std::string message = too_small_message(min_columns, min_rows, columns, rows);
    std::vector<std::string> lines;
    if (columns <= 0 || rows <= 0) return lines;
    std::string line;
    std::string_view rest = message;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view word = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
        if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > columns) {
            lines.push_back(std::move(line));
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    if (static_cast<int>(lines.size()) > rows) lines.resize(static_cast<std::size_t>(rows));
    for (std::string& l : lines) {
        if (static_cast<int>(l.size()) > columns) l.resize(static_cast<std::size_t>(columns));
    }
    return lines;
}

std::string kept_screen(int rows, const std::function<std::string(int row)>& line_of, std::string_view newline) {
    std::string out;
    std::size_t end = 0;  // just after the last row that holds anything
    for (int row = 0; row < rows; ++row) {
        std::string line = line_of(row);
        line.erase(line.find_last_not_of(' ') + 1);
        if (line.empty() && out.empty()) continue;  // blank rows above the first are left out
        out += line;
        out += newline;
        if (!line.empty()) end = out.size();
    }
    out.resize(end);
    return out;
}

}  // namespace rpg
