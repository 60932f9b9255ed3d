#include "support/data_folder.h"

#if defined(_WIN32) || defined(__EMSCRIPTEN__)
#include "platform/encoding.h"
#else
#include <iconv.h>
#endif
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "data/tokens.h"

namespace rpg::test {
namespace {

// Where the value at `index` stands in `bytes`: its first byte and its length.
std::pair<std::size_t, std::size_t> find_value(const std::string& bytes, const std::string& file, int index) {
    std::size_t pos = 0;
    for (int seen = 0;; ++seen) {
        while (pos < bytes.size() && is_blank(bytes[pos])) ++pos;
        if (pos >= bytes.size()) throw std::runtime_error(file + " has no value " + std::to_string(index));
        std::size_t end = pos;
        while (end < bytes.size() && !is_blank(bytes[end])) ++end;
        if (seen == index) return {pos, end - pos};
        pos = end;
    }
}

}  // namespace

std::string assets_folder() {
    if (const char* dir = std::getenv("RPG_ASSETS")) return dir;
    return RPG_ASSETS_DIR;
}

#if defined(_WIN32) || defined(__EMSCRIPTEN__)
// Windows and the browser have no iconv for code page 932: the game's own conversion.
std::string utf8_from_cp932(std::string_view sjis) { return utf8_from_sjis(sjis); }
#else
std::string utf8_from_cp932(std::string_view sjis) {
    std::string in(sjis);
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
    std::string out(in.size() * 4, '\0');
    char* in_p = in.data();
    std::size_t in_left = in.size();
    char* out_p = out.data();
    std::size_t out_left = out.size();
    const std::size_t done = iconv(cd, &in_p, &in_left, &out_p, &out_left);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) throw std::runtime_error("not Shift-JIS text");
    out.resize(out.size() - out_left);
    return out;
}
#endif

DataFolder::DataFolder() {
    static std::atomic<unsigned> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("rpg_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

DataFolder::DataFolder(const std::filesystem::path& source) : DataFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(source)) {
        if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), path_ / entry.path().filename());
    }
}

DataFolder::~DataFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void DataFolder::write(const std::string& file, std::string_view bytes) const {
    std::ofstream out(path_ / file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
}

void DataFolder::remove(const std::string& file) const { std::filesystem::remove(path_ / file); }

std::string DataFolder::read(const std::string& file) const {
    std::ifstream in(path_ / file, std::ios::binary);
    if (!in) throw std::runtime_error("no data file " + file);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::map<std::string, std::string> DataFolder::files() const {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        if (entry.is_regular_file()) out[entry.path().filename().string()] = read(entry.path().filename().string());
    }
    return out;
}

std::string DataFolder::value_bytes(const std::string& file, int index) const {
    const std::string bytes = read(file);
    const auto [pos, length] = find_value(bytes, file, index);
    return bytes.substr(pos, length);
}

void DataFolder::set_number(const std::string& file, int index, long long value) const {
    std::string bytes = read(file);
    // No byte of a Shift-JIS character is a blank, so names and glyphs count
    // as one value each.
    const auto [pos, length] = find_value(bytes, file, index);
    if (bytes.substr(pos, length).find_first_not_of("+-0123456789") != std::string::npos) {
        throw std::runtime_error(file + " value " + std::to_string(index) + " is not a number");
    }
    bytes.replace(pos, length, std::to_string(value));
    write(file, bytes);
}

}  // namespace rpg::test
