// What the terminal is: its description (TERM), whether it can place the
// cursor, and how wide it draws the game's characters.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/terminal/terminal_internal.h"
#include "platform/terminal/terminal_widths.h"

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

}  // namespace terminal_detail

// Prints the two probe characters at the start of a line, each followed by
// the request for the cursor's position, and blanks them again: the screen
// is the game's own (already cleared, cursor at the top left), and is left as
// it was found. Keys typed meanwhile are kept for the game.
void Terminal::Impl::measure_widths() {
    std::string request;
    request += '\r';
    request += ambiguous_probe_char;
    request += cursor_report_request;
    request += '\r';
    request += full_width_probe_char;
    request += cursor_report_request;
    request += "\r    \r";
    terminal_detail::shared::write_all(request.data(), request.size());

    CursorReportReader reader;
    const std::int64_t deadline =
        terminal_detail::monotonic_ns() + std::int64_t{terminal_detail::probe_timeout_ms} * 1'000'000;
    while (reader.reports().size() < 2) {
        const std::int64_t left_ns = deadline - terminal_detail::monotonic_ns();
        if (left_ns <= 0) break;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>((left_ns + 999'999) / 1'000'000));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char bytes[256];
        const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) break;  // the end of input shows at the first key read
        std::string other;
        reader.feed(std::string_view(bytes, static_cast<std::size_t>(count)), other);
        take_input(reinterpret_cast<const unsigned char*>(other.data()), other.size());
    }
    std::string rest;
    reader.finish(rest);
    take_input(reinterpret_cast<const unsigned char*>(rest.data()), rest.size());

    WidthProbe probe;
    if (!reader.reports().empty()) probe.after_ambiguous = reader.reports()[0].column;
    if (reader.reports().size() > 1) probe.after_full_width = reader.reports()[1].column;
    const std::string circle(ambiguous_probe_char);
    WidthDecision decision =
        decide_terminal_widths(probe, terminal_detail::terminal_char_width(circle, AmbiguousWidth::narrow));
    ambiguous = decision.ambiguous;
    if (!decision.problem.empty()) refuse(decision.problem);
}

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
