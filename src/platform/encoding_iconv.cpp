// Shift-JIS conversion through iconv.

#include <iconv.h>

#include "platform/encoding_convert.h"

namespace rpg::detail {
namespace {

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

bool utf8_to_cp932(std::string_view utf8, std::string& out) { return convert("CP932", "UTF-8", utf8, out); }
bool cp932_to_utf8(std::string_view sjis_text, std::string& out) { return convert("UTF-8", "CP932", sjis_text, out); }

}  // namespace rpg::detail
