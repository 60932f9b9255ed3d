// Shift-JIS conversion through the system's code page 932, by way of UTF-16.

#include <windows.h>

#include <climits>

#include "platform/encoding_convert.h"

namespace rpg::detail {
namespace {

bool to_utf16(UINT code_page, std::string_view in, std::wstring& out) {
    out.clear();
    if (in.empty()) return true;
    if (in.size() > INT_MAX / 2) return false;
    const int in_length = static_cast<int>(in.size());
    const int length = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), in_length, nullptr, 0);
    if (length <= 0) return false;
    out.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), in_length, out.data(), length) == length;
}

}  // namespace

bool utf8_to_cp932(std::string_view utf8, std::string& out) {
    out.clear();
    std::wstring wide;
    if (!to_utf16(CP_UTF8, utf8, wide)) return false;
    if (wide.empty()) return true;
    const int wide_length = static_cast<int>(wide.size());
    // No best-fit: a character without its own Shift-JIS form is an error,
    // not a look-alike.
    BOOL lossy = FALSE;
    const int length =
        WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length, nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return false;
    out.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length, out.data(), length, nullptr,
                               &lossy) == length &&
           !lossy;
}

bool cp932_to_utf8(std::string_view sjis_text, std::string& out) {
    out.clear();
    std::wstring wide;
    if (!to_utf16(932, sjis_text, wide)) return false;
    if (wide.empty()) return true;
    const int wide_length = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return false;
    out.resize(static_cast<std::size_t>(length));
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, out.data(), length, nullptr, nullptr) == length;
}

}  // namespace rpg::detail
