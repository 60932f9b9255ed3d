#include "platform/encoding.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include "platform/cell_grid.h"
#include "platform/encoding_convert.h"

namespace rpg {

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

using TextCache = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

// A text's first use: converted and kept. Out of line, so that the lookup
// that every later use makes stays small.
[[gnu::noinline]] const std::string& convert_and_keep(TextCache& cache, std::string_view utf8) {
    std::string converted;
    if (!detail::utf8_to_cp932(utf8, converted))
        throw std::logic_error("text has no Shift-JIS form: " + std::string(utf8));
    return cache.emplace(std::string(utf8), std::move(converted)).first->second;
}

}  // namespace

const std::string& sjis(std::string_view utf8) {
    // Every text the game draws comes through here, again and again: a hash
    // table finds it with one comparison. Its nodes stay in place when it
    // grows, so the references handed out stay valid.
    static TextCache cache;
    static std::mutex lock;
    std::lock_guard guard(lock);
    if (auto it = cache.find(utf8); it != cache.end()) return it->second;
    return convert_and_keep(cache, utf8);
}

std::string shift_jis_problem() {
    // "あ" and a full-width digit, both ways.
    const std::string_view utf8 = "\xE3\x81\x82\xEF\xBC\x91";
    const std::string_view cp932 = "\x82\xA0\x82\x50";
    std::string to;
    std::string back;
    if (detail::utf8_to_cp932(utf8, to) && to == cp932 && detail::cp932_to_utf8(cp932, back) && back == utf8) return {};
    return "this system has no converter for Shift-JIS (CP932, code page 932), the encoding of all the "
           "game's texts (iconv without its CP932 module?)";
}

const std::string& utf8_of_pair(std::uint8_t lead, std::uint8_t trail) {
    // Every pair is converted once, when it is first drawn.
    static std::array<std::unique_ptr<std::string>, 65536> table;
    auto& slot = table[static_cast<std::size_t>(lead) << 8 | trail];
    if (!slot) {
        slot = std::make_unique<std::string>();
        if (is_sjis_lead(lead) && is_sjis_trail(trail)) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (!detail::cp932_to_utf8(std::string_view(pair, 2), *slot)) slot->clear();
        }
    }
    return *slot;
}

std::string utf8_of_byte(std::uint8_t byte) {
    if (byte >= 0x20 && byte <= 0x7E) return std::string(1, static_cast<char>(byte));
    if (byte >= 0xA1 && byte <= 0xDF) {
        // Half-width katakana: U+FF61 to U+FF9F.
        unsigned code = 0xFF61u + (byte - 0xA1u);
        return {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                static_cast<char>(0x80 | (code & 0x3F))};
    }
    return {};
}

ScreenChar decode_sjis_at(std::string_view bytes, std::size_t i, std::size_t& length) {
    auto b = static_cast<std::uint8_t>(bytes[i]);
    if (is_sjis_lead(b) && i + 1 < bytes.size()) {
        const std::string& pair = utf8_of_pair(b, static_cast<std::uint8_t>(bytes[i + 1]));
        if (!pair.empty()) {
            length = 2;
            return ScreenChar{pair, 2, true};
        }
    }
    length = 1;
    std::string single = utf8_of_byte(b);
    if (single.empty()) return ScreenChar{std::string(invalid_placeholder), 1, false};
    return ScreenChar{single, 1, true};
}

std::string utf8_from_sjis(std::string_view sjis_text) {
    std::string out;
    std::size_t i = 0;
    while (i < sjis_text.size()) {
        std::size_t length = 1;
        out += decode_sjis_at(sjis_text, i, length).utf8;
        i += length;
    }
    return out;
}

long next_code_point(std::string_view text, std::size_t& i) {
    const auto first = static_cast<unsigned char>(text[i++]);
    if (first < 0x80) return first;
    int extra = 0;
    char32_t c = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        extra = 1;
        c = first & 0x1Fu;
    } else if (first >= 0xE0 && first <= 0xEF) {
        extra = 2;
        c = first & 0x0Fu;
    } else if (first >= 0xF0 && first <= 0xF4) {
        extra = 3;
        c = first & 0x07u;
    } else {
        return -1;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size()) return -1;
        const auto next = static_cast<unsigned char>(text[i++]);
        if ((next & 0xC0) != 0x80) return -1;
        c = (c << 6) | (next & 0x3Fu);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    return static_cast<long>(c);
}

}  // namespace rpg
