// What the terminal is: its description (TERM), whether it can place the
// cursor, and how wide it draws the game's characters.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/char_widths.h"
#include "platform/terminal/terminal_internal.h"

namespace rpg {
namespace terminal_detail {

int terminal_char_width(std::string_view utf8, AmbiguousWidth ambiguous) {
    wchar_t wide = 0;
    std::mbstate_t state{};
    std::size_t used = std::mbrtowc(&wide, utf8.data(), utf8.size(), &state);
    if (used == 0 || used > utf8.size()) return -1;
    const int width = wcwidth(wide);
    if (width == 1 && ambiguous == AmbiguousWidth::wide &&
        outside_ascii_and_half_width_kana(static_cast<char32_t>(wide)))
        return 2;
    return width;
}

int TerminalHost::library_width(std::string_view utf8) { return terminal_char_width(utf8, AmbiguousWidth::narrow); }

}  // namespace terminal_detail
}  // namespace rpg

// ---------------------------------------------------------------------------
// The terminal description. Its header turns many short words into macros, so
// it comes last and only the probe follows it.

#define NCURSES_NOMACROS 1
#include <curses.h>
#include <term.h>

namespace rpg {
namespace terminal_detail {
namespace {

// A capability's string without its padding marks ("$<5>"), which are delays
// for old terminals and not meant to be sent as they stand.
std::string capability(const char* name) {
    const char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<const char*>(-1)) return {};
    std::string out;
    for (const char* p = value; *p; ++p) {
        if (p[0] == '$' && p[1] == '<') {
            const char* end = std::strchr(p, '>');
            if (end) {
                p = end;
                continue;
            }
        }
        out.push_back(*p);
    }
    return out;
}

}  // namespace

TerminalType probe_terminal_type() {
    TerminalType type;
    int status = 0;
    const char* name = std::getenv("TERM");
    if (setupterm(nullptr, STDOUT_FILENO, &status) != OK) {
        if (name == nullptr || *name == '\0') {
            type.problem = "the terminal type is not set; set TERM, e.g. TERM=xterm-256color";
        } else {
            type.problem = std::string("unknown terminal type \"") + name + "\"; set TERM, e.g. TERM=xterm-256color";
        }
        return type;
    }
    // The game draws by placing the cursor; a terminal that cannot would
    // show its screen as one long jumble.
    const bool printing_only = tigetflag("hc") > 0;
    if (capability("cup").empty() || printing_only) {
        type.problem = std::string("the terminal \"") + (name ? name : "") +
                       "\" cannot place the cursor; the game needs one that can, e.g. TERM=xterm-256color";
    }
    type.leave = capability("sgr0") + capability("cnorm") + capability("rmcup");
    type.enter = capability("smcup") + capability("cnorm");
    del_curterm(cur_term);
    return type;
}

}  // namespace terminal_detail
}  // namespace rpg
