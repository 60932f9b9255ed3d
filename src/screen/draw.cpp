#include "screen/draw.h"

namespace rpg {

void move_cursor(Battle& b, int column, int row) {
    b.screen.cursor_position = ScreenPosition{to_u16(column), to_u16(row)};
    b.con.set_cursor(column, row);
}

void set_text_attribute(Battle& b, u16 attribute) {
    b.screen.text_attribute = attribute;
    b.con.set_attribute(attribute);
}

void set_highlight(Battle& b) { set_text_attribute(b, static_cast<u16>(b.screen.text_attribute | attr_intensity)); }

void put(Battle& b, std::string_view sjis_text) { b.con.print(sjis_text); }

void put_at(Battle& b, int column, int row, std::string_view sjis_text) {
    move_cursor(b, column, row);
    b.con.print(sjis_text);
}

void pause(Battle& b, int milliseconds) { b.con.sleep_ms(milliseconds); }

std::string decimal(long long value) { return std::to_string(value); }

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n > 0 ? n : 0), ' '); }

std::string repeat(std::string_view text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
}

void wait_for_acknowledgement(Battle& b) {
    for (;;) {
        int code = b.con.read_key();
        if (code == key_enter || code == key_right || code == key_down) return;
    }
}

}  // namespace rpg
