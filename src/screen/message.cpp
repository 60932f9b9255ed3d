#include "screen/message.h"

#include <utility>

#include "platform/encoding.h"
#include "screen/draw.h"

namespace rpg {
namespace {

constexpr int line_count = 5;
constexpr int first_line_row = 13;
constexpr int erase_width = 51;
constexpr int typing_pause_ms = 50;

// A line whose first byte is a blank (or that has none) counts as empty.
bool is_empty_line(const std::string& line) { return line.empty() || line[0] == ' '; }

bool is_skip_key(int code) { return code == key_enter || code == key_right || code == key_down; }

// The template cut at its first blank, which is dropped. Without a blank the
// whole template is the prefix, so the inserted text ends up at the end.
struct SplitTemplate {
    std::string_view prefix;
    std::string_view suffix;
};

SplitTemplate split_at_first_blank(std::string_view text) {
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return {text, {}};
    return {text.substr(0, blank), text.substr(blank + 1)};
}

std::string fill_template(std::string_view sjis_template, std::string_view inserted) {
    SplitTemplate parts = split_at_first_blank(sjis_template);
    std::string out;
    out.reserve(parts.prefix.size() + inserted.size() + parts.suffix.size());
    out += parts.prefix;
    out += inserted;
    out += parts.suffix;
    return out;
}

}  // namespace

void draw_message_frame(View& v) {
    const int o = v.right_origin;
    for (int x = o + 1; x <= o + 51; x += 2) put_at(v, x, 12, sjis("￣"));
    for (int row = 12; row <= 18; ++row) {
        put_at(v, o, row, "|");
        put_at(v, o + 53, row, "|");
    }
    for (int x = o + 1; x <= o + 51; x += 2) put_at(v, x, 18, sjis("＿"));
}

void erase_message_line(View& v, int k) {
    put_at(v, v.right_origin + 2, first_line_row - 1 + k, blank_run(erase_width));
}

void clear_message_window(View& v) {
    for (int k = 1; k <= line_count; ++k) {
        erase_message_line(v, k);
        v.message_lines[static_cast<std::size_t>(k - 1)].assign(1, ' ');
    }
}

void scroll_messages(View& v) {
    auto& lines = v.message_lines;
    // The oldest line leaves the window. Its row is blanked now, so that a
    // shorter line moving down into it leaves nothing of it behind.
    if (!is_empty_line(lines[4])) erase_message_line(v, 5);
    for (int i = 3; i >= 0; --i) lines[static_cast<std::size_t>(i + 1)] = lines[static_cast<std::size_t>(i)];
}

void show_messages(View& v) {
    const auto& lines = v.message_lines;
    const int column = v.right_origin + 2;
    bool skip = false;

    // Lines 4 to 1 move down one row each. After a scroll, line n holds what
    // the row just above its own still shows, so that row is blanked right
    // before the next line down is drawn over it.
    for (int n = 4; n >= 1; --n) {
        const std::string& line = lines[static_cast<std::size_t>(n)];
        if (!is_empty_line(line)) erase_message_line(v, n);
        put_at(v, column, first_line_row + n, line);
    }

    // The newest line is typed byte by byte. A waiting key is read after each
    // byte; Enter, right or down makes the rest appear at once, any other code
    // is dropped.
    move_cursor(v, column, first_line_row);
    for (char byte : lines[0]) {
        put(v, std::string_view(&byte, 1));
        if (v.con.key_waiting() && is_skip_key(v.con.read_key())) skip = true;
        if (!skip) pause(v, typing_pause_ms);
    }
    v.con.announce(column, first_line_row, lines[0]);
}

void announce_message_line(View& v, int k) { v.con.announce(v.right_origin + 2, first_line_row - 1 + k); }

void post_message(View& v, std::string_view sjis_text) {
    // The copy is taken first: the text may be one of the window's own lines.
    std::string text(sjis_text);
    scroll_messages(v);
    v.message_lines[0] = std::move(text);
    show_messages(v);
}

std::string format_number_message(std::string_view sjis_template, i16 value) {
    return fill_template(sjis_template, decimal(value));
}

std::string format_name_message(std::string_view sjis_template, std::string_view sjis_name) {
    return fill_template(sjis_template, sjis_name);
}

}  // namespace rpg
