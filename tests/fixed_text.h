#pragma once
// Filling the records' fixed text fields from UTF-8 texts written in tests.

#include <algorithm>
#include <cstring>
#include <string_view>

#include "data/records.h"
#include "platform/encoding.h"

namespace rpg::testing {

// Fills a fixed text field with the Shift-JIS form of a UTF-8 text.
template <std::size_t N>
void set_text(FixedText<N>& field, std::string_view utf8) {
    const std::string& bytes = sjis(utf8);
    field.fill('\0');
    std::memcpy(field.data(), bytes.data(), std::min(bytes.size(), N - 1));
}

}  // namespace rpg::testing
