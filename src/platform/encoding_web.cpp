// Shift-JIS conversion in the browser (and under node), where the C library
// has no code page 932. The page's own decoder, TextDecoder("shift_jis"), is
// the Windows code page (NEC and IBM extensions included); it is asked once
// for every two-byte character, and both directions are then looked up in
// tables built from its answer.

#include <emscripten.h>

#include <cstdint>
#include <vector>

#include "platform/encoding.h"
#include "platform/encoding_convert.h"

namespace rpg::detail {
namespace {

// Fills table[lead << 8 | trail] with the UTF-16 code unit of every two-byte
// character (0 for a pair that is none). The pairs are decoded in one call,
// each followed by a line feed: a character decodes to one code unit and the
// line feed, a pair that is none to U+FFFD (followed by its second byte when
// that is ASCII). Returns 0 when the decoder is missing.
// clang-format off
EM_JS(int, decode_sjis_pairs, (std::uint16_t* table), {
    var decoder;
    try { decoder = new TextDecoder("shift_jis"); } catch (e) { return 0; }
    var bytes = new Uint8Array(60 * 188 * 3);
    var n = 0;
    var lead;
    var trail;
    for (lead = 0x81; lead <= 0xFC; lead++) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (trail = 0x40; trail <= 0xFC; trail++) {
            if (trail == 0x7F) continue;
            bytes[n++] = lead;
            bytes[n++] = trail;
            bytes[n++] = 10;
        }
    }
    var text = decoder.decode(bytes.subarray(0, n));
    var base = table >> 1;
    var at = 0;
    for (lead = 0x81; lead <= 0xFC; lead++) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (trail = 0x40; trail <= 0xFC; trail++) {
            if (trail == 0x7F) continue;
            var unit = text.charCodeAt(at);
            if (text.charCodeAt(at + 1) == 10) {
                if (unit != 0xFFFD) HEAPU16[base + (lead << 8 | trail)] = unit;
                at += 2;
            } else {
                at = text.indexOf("\n", at) + 1;
                if (at == 0) return 0;
            }
        }
    }
    return 1;
});
// clang-format on

struct Tables {
    std::vector<std::uint16_t> to_unicode = std::vector<std::uint16_t>(65536, 0);  // by lead << 8 | trail
    std::vector<std::uint16_t> to_sjis = std::vector<std::uint16_t>(65536, 0);     // by code unit
    bool ready = false;

    Tables() {
        ready = decode_sjis_pairs(to_unicode.data()) != 0;
        if (!ready) return;
        // Where a character has two codes, the first in code order is taken,
        // except that the NEC-selected IBM extensions (first bytes 0xED and
        // 0xEE) give way to the IBM extensions themselves (0xFA to 0xFC): the
        // choice of the Windows code page and of the web's encoder.
        for (unsigned code = 0x8100; code < 0x10000; ++code) {
            const unsigned lead = code >> 8;
            if (lead == 0xED || lead == 0xEE) continue;
            const std::uint16_t unit = to_unicode[code];
            if (unit != 0 && to_sjis[unit] == 0) to_sjis[unit] = static_cast<std::uint16_t>(code);
        }
    }
};

const Tables& tables() {
    static const Tables built;
    return built;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

bool utf8_to_cp932(std::string_view utf8, std::string& out) {
    out.clear();
    const Tables& t = tables();
    std::size_t i = 0;
    while (i < utf8.size()) {
        const long c = next_code_point(utf8, i);
        if (c < 0) return false;
        if (c <= 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            out.push_back(static_cast<char>(c - 0xFF61 + 0xA1));
        } else if (c < 0x10000 && t.ready && t.to_sjis[static_cast<std::size_t>(c)] != 0) {
            const std::uint16_t code = t.to_sjis[static_cast<std::size_t>(c)];
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        } else {
            return false;
        }
    }
    return true;
}

bool cp932_to_utf8(std::string_view sjis_text, std::string& out) {
    out.clear();
    const Tables& t = tables();
    for (std::size_t i = 0; i < sjis_text.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(sjis_text[i]);
        if (b <= 0x80) {
            out.push_back(static_cast<char>(b));
        } else if (b >= 0xA1 && b <= 0xDF) {
            append_utf8(out, 0xFF61u + (b - 0xA1u));
        } else if (is_sjis_lead(b) && i + 1 < sjis_text.size() && t.ready) {
            const auto trail = static_cast<std::uint8_t>(sjis_text[++i]);
            const std::uint16_t unit = t.to_unicode[static_cast<std::size_t>(b) << 8 | trail];
            if (unit == 0) return false;
            append_utf8(out, unit);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace rpg::detail
