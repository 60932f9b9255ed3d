#include "platform/files.h"

#include <algorithm>
#include <charconv>

namespace rpg {

WholeRead read_whole(ReadableFile& file, std::uint64_t limit, std::string& text) {
    if (file.size() > limit) return WholeRead::too_large;
    char buffer[1 << 16];
    for (;;) {
        const std::ptrdiff_t got = file.read(buffer, sizeof buffer);
        if (got < 0) return WholeRead::failed;
        if (got == 0) return WholeRead::ok;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > limit) return WholeRead::too_large;
    }
}

std::string path_text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::uint64_t fnv1a64(std::string_view bytes, std::uint64_t hash) {
    for (char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3u;
    }
    return hash;
}

std::string hex64(std::uint64_t value) {
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    return std::string(16 - length, '0') + std::string(digits, length);
}

std::optional<std::uint64_t> parse_hex64(std::string_view word) {
    if (word.size() != 16 || word.find_first_not_of("0123456789abcdef") != std::string_view::npos) return std::nullopt;
    std::uint64_t value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value, 16);
    return value;
}

// No further than the size the file had when opened, so that a file that
// grows for ever still ends.
std::optional<std::uint64_t> file_digest(const std::filesystem::path& name) {
    ReadableFile file(name);
    if (file.state() != ReadableFile::State::open) return std::nullopt;
    std::uint64_t left = file.size();
    std::uint64_t hash = fnv1a64({});
    char buffer[1 << 16];
    while (left > 0) {
        const std::ptrdiff_t got =
            file.read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof buffer)));
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        hash = fnv1a64(std::string_view(buffer, static_cast<std::size_t>(got)), hash);
        left -= static_cast<std::uint64_t>(got);
    }
    return hash;
}

}  // namespace rpg
