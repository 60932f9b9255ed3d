#include "platform/encoding.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "platform/cell_grid.h"

namespace rpg {
namespace {

// Converts a whole text with iconv; returns false when any part of it has no
// form in the target encoding.
bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 4 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    std::size_t done = iconv(cd, &src, &src_left, &dst, &dst_left);
    bool ok = done != static_cast<std::size_t>(-1) && src_left == 0;
    iconv_close(cd);
    out.resize(out.size() - dst_left);
    return ok;
}

}  // namespace

const std::string& sjis(std::string_view utf8) {
    // std::map keeps its nodes in place, so the references handed out stay valid.
    static std::map<std::string, std::string, std::less<>> cache;
    static std::mutex lock;
    std::lock_guard guard(lock);
    if (auto it = cache.find(utf8); it != cache.end()) return it->second;
    std::string converted;
    if (!convert("CP932", "UTF-8", utf8, converted))
        throw std::logic_error("text has no Shift-JIS form: " + std::string(utf8));
    return cache.emplace(std::string(utf8), std::move(converted)).first->second;
}

const std::string& utf8_of_pair(std::uint8_t lead, std::uint8_t trail) {
    // Every pair is converted once, when it is first drawn.
    static std::array<std::unique_ptr<std::string>, 65536> table;
    auto& slot = table[static_cast<std::size_t>(lead) << 8 | trail];
    if (!slot) {
        slot = std::make_unique<std::string>();
        if (is_sjis_lead(lead) && is_sjis_trail(trail)) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (!convert("UTF-8", "CP932", std::string_view(pair, 2), *slot)) slot->clear();
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

}  // namespace rpg
