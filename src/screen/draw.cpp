#include "screen/draw.h"

#include <algorithm>

namespace rpg {

void move_cursor(View& v, int column, int row) {
    v.cursor_position = ScreenPosition{to_u16(column), to_u16(row)};
    v.con.set_cursor(column, row);
}

void set_text_attribute(View& v, u16 attribute) {
    v.text_attribute = attribute;
    v.con.set_attribute(attribute);
}

void set_highlight(View& v) { set_text_attribute(v, static_cast<u16>(v.text_attribute | attr_intensity)); }

void put(View& v, std::string_view sjis_text) { v.con.print(sjis_text); }

void put_at(View& v, int column, int row, std::string_view sjis_text) {
    move_cursor(v, column, row);
    v.con.print(sjis_text);
}

void pause(View& v, int milliseconds) { v.con.sleep_ms(milliseconds); }

std::string decimal(long long value) { return std::to_string(value); }

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n > 0 ? n : 0), ' '); }

std::string_view blank_run(int n) {
    static constexpr std::string_view spaces =
        "                                                                                ";
    static_assert(spaces.size() == 80);
    return spaces.substr(0, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(spaces.size()))));
}

std::string repeat(std::string_view text, int n) {
    std::string out;
    out.reserve(text.size() * static_cast<std::size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) out += text;
    return out;
}

void wait_for_acknowledgement(View& v) {
    for (;;) {
        int code = v.con.read_key();
        if (code == key_enter || code == key_right || code == key_down) return;
    }
}

}  // namespace rpg
