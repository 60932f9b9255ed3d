#pragma once
// The system's conversion between UTF-8 and Shift-JIS (code page 932): iconv
// on Linux, the code page functions on Windows, the page's decoder in the
// browser. Each returns false when any part of the text has no form in the
// other encoding.

#include <string>
#include <string_view>

namespace rpg::detail {

bool utf8_to_cp932(std::string_view utf8, std::string& out);
bool cp932_to_utf8(std::string_view sjis_text, std::string& out);

}  // namespace rpg::detail
