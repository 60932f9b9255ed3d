#pragma once
// A real terminal emulator for the end-to-end tests: xterm on an X server
// without a screen (Xvfb), its screen read back through xterm's own
// dump-html action and its keys sent with xdotool.
//
// xterm can draw the East-Asian ambiguous characters two columns wide (its
// CJK-width mode) and then also answers the cursor position report from that
// width, so a program's own measurement of the terminal is what gets tested.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rpg::test {

// True when xterm, Xvfb and xdotool can all be run.
bool xterm_available();

// An X server of its own on a free display, for as long as the object lives.
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool started() const { return !name_.empty(); }
    const std::string& name() const { return name_; }  // ":N"

private:
    pid_t pid_ = -1;
    std::string name_;
};

struct XTermLaunch {
    std::filesystem::path program;
    std::filesystem::path folder;  // the working directory, where the data files are
    bool cjk_width = false;        // ambiguous characters two columns wide
    int columns = 80;
    int rows = 24;
};

class XTerm {
public:
    using Rows = std::vector<std::string>;

    XTerm(const VirtualDisplay& display, XTermLaunch launch);
    ~XTerm();  // closes the window, which hangs up on the program
    XTerm(const XTerm&) = delete;
    XTerm& operator=(const XTerm&) = delete;

    bool started() const { return window_ != 0; }

    // The screen, one UTF-8 text per row as xterm holds it (a wide character
    // once, trailing blanks kept); empty when no dump came.
    Rows dump();
    // Dumps until the rows satisfy `condition` and two dumps in a row agree;
    // the last dump is left in `rows`.
    bool wait_until_quiet(const std::function<bool(const Rows&)>& condition, Rows& rows, double seconds = 30);
    // Sends a key by its X name ("Down", "Return", "space").
    void key(const std::string& name);

private:
    std::string xdotool(const std::string& arguments) const;

    XTermLaunch launch_;
    std::string display_;
    pid_t pid_ = -1;
    unsigned long window_ = 0;
};

// A row laid out in columns: every character followed by a blank for each
// column it covers beyond its first, the East-Asian ambiguous ones two
// columns wide when `ambiguous_wide`.
std::string in_columns(std::string_view utf8, bool ambiguous_wide);
// Shift-JIS text laid out as the game means it: a byte per column, every
// two-byte character followed by a blank.
std::string sjis_in_columns(std::string_view sjis);

}  // namespace rpg::test
