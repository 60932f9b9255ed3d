#pragma once
// How wide the terminal draws the game's characters, as the terminal itself
// tells it. The C library takes the East-Asian "ambiguous" characters ("●",
// "■", "×", and many more the data files may bring) for one column, but
// terminals set up for Japanese draw them two columns wide. So at start one
// such character and one full-width character are printed at the start of a
// line, and the terminal is asked where its cursor went (ESC [ 6 n, answered
// ESC [ row ; column R).
//
// Every console that talks to a terminal (a real one or the page's widget)
// asks it this way; the parts here are free of any device, so that they can
// be tested on their own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_options.h"

namespace rpg {

// The characters printed to measure the terminal, in UTF-8.
inline constexpr std::string_view ambiguous_probe_char = "\u25cf";   // "●"
inline constexpr std::string_view full_width_probe_char = "\u5175";  // "兵"
// The request for a cursor position report.
inline constexpr std::string_view cursor_report_request = "\x1b[6n";

// A cursor position report, counted from 1.
struct CursorReport {
    int row = 0;
    int column = 0;
    bool operator==(const CursorReport&) const = default;
};

// Takes the cursor position reports out of what the terminal sends, and
// leaves every other byte (keys typed meanwhile) in order for the key reader.
class CursorReportReader {
public:
    // Bytes that are no part of a report are appended to `other`; a possible
    // start of a report is held back until the bytes after it tell.
    void feed(std::string_view bytes, std::string& other);
    // Hands over the bytes held back: no more input is coming for the reports.
    void finish(std::string& other);
    const std::vector<CursorReport>& reports() const { return reports_; }

private:
    void feed_byte(char byte, std::string& other);
    std::string held_;
    std::vector<CursorReport> reports_;
};

// The columns where the cursor was found after printing each probe character
// at column 1 (0: no answer). The terminal reports columns counted from 1, so
// a character drawn one column wide leaves the cursor at column 2 and one
// drawn two wide at column 3: "●" tells how this terminal draws the ambiguous
// characters, a kanji whether it can show the game's Japanese text at all.
struct WidthProbe {
    int after_ambiguous = 0;
    int after_full_width = 0;
};

struct WidthDecision {
    AmbiguousWidth ambiguous = AmbiguousWidth::narrow;
    std::string problem;  // not empty: the game's screen cannot be laid out on this terminal
};

// What the answers mean. Without a usable answer the C library's width of
// the ambiguous character (`library_width`) is taken.
WidthDecision decide_terminal_widths(const WidthProbe& probe, int library_width);

}  // namespace rpg
