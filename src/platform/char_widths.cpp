#include "platform/char_widths.h"

#include "platform/encoding.h"

namespace rpg {

bool is_wide_character(char32_t c) {
    struct Range {
        char32_t first;
        char32_t last;
    };
    static constexpr Range wide[] = {
        {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xA000, 0xA4CF},
        {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD},
    };
    for (const Range& r : wide) {
        if (c >= r.first && c <= r.last) return true;
    }
    return false;
}

bool outside_ascii_and_half_width_kana(char32_t c) {
    const bool ascii = c < 0x80;
    const bool half_width_katakana = c >= 0xFF61 && c <= 0xFF9F;
    return !ascii && !half_width_katakana;
}

int table_char_width(std::string_view utf8, AmbiguousWidth ambiguous) {
    std::size_t end = 0;
    const long code = utf8.empty() ? -1 : next_code_point(utf8, end);
    if (code < 0 || end != utf8.size()) return 0;
    const auto c = static_cast<char32_t>(code);
    if (c < 0x20 || c == 0x7F) return 0;
    if (is_wide_character(c)) return 2;
    return ambiguous == AmbiguousWidth::wide && outside_ascii_and_half_width_kana(c) ? 2 : 1;
}

}  // namespace rpg
