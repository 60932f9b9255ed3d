#include "harness/scenario.h"

#include <iconv.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::filesystem::path assets_folder() { return RPG_ASSETS_DIR; }

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

Scenario::Scenario() {
    static std::atomic<unsigned> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        folder_ = base / ("rpg_e2e_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        if (std::filesystem::create_directory(folder_)) break;
    }
    for (const auto& entry : std::filesystem::directory_iterator(assets_folder())) {
        if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), folder_ / entry.path().filename());
    }
}

Scenario::~Scenario() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string Scenario::read(const std::string& file) const {
    std::ifstream in(folder_ / file, std::ios::binary);
    if (!in) throw std::runtime_error("no data file " + file);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Scenario::write(const std::string& file, std::string_view bytes) {
    std::ofstream out(folder_ / file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
}

void Scenario::remove(const std::string& file) { std::filesystem::remove(folder_ / file); }

std::string Scenario::value_bytes(const std::string& file, int index) const {
    const std::string bytes = read(file);
    std::size_t pos = 0;
    for (int seen = 0;; ++seen) {
        while (pos < bytes.size() && is_blank(bytes[pos])) ++pos;
        if (pos >= bytes.size()) throw std::runtime_error(file + " has no value " + std::to_string(index));
        std::size_t end = pos;
        while (end < bytes.size() && !is_blank(bytes[end])) ++end;
        if (seen == index) {
            return bytes.substr(pos, end - pos);
        }
        pos = end;
    }
}

void Scenario::set_number(const std::string& file, int index, long long value) {
    std::string bytes = read(file);
    // Values are runs of non-blank bytes; no byte of a Shift-JIS character is
    // an ASCII blank, so names and glyphs count as one value each.
    std::size_t pos = 0;
    for (int seen = 0;; ++seen) {
        while (pos < bytes.size() && is_blank(bytes[pos])) ++pos;
        if (pos >= bytes.size()) throw std::runtime_error(file + " has no value " + std::to_string(index));
        std::size_t end = pos;
        while (end < bytes.size() && !is_blank(bytes[end])) ++end;
        if (seen == index) {
            const std::string old = bytes.substr(pos, end - pos);
            if (old.find_first_not_of("+-0123456789") != std::string::npos) {
                throw std::runtime_error(file + " value " + std::to_string(index) + " is not a number");
            }
            bytes.replace(pos, end - pos, std::to_string(value));
            write(file, bytes);
            return;
        }
        pos = end;
    }
}

std::map<std::string, std::string> Scenario::files() const {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
        if (entry.is_regular_file()) out[entry.path().filename().string()] = read(entry.path().filename().string());
    }
    return out;
}

Launch Scenario::battle() const {
    Launch launch;
    launch.program = RPG_BATTLE_PROGRAM;
    launch.folder = folder_;
    return launch;
}

Launch Scenario::field() const {
    Launch launch;
    launch.program = RPG_FIELD_PROGRAM;
    launch.folder = folder_;
    return launch;
}

void Scenario::make_hero_unbeatable() {
    set_number(hero_file, hero::speed, 10);
    set_number(hero_file, hero::attack, 100);
    set_number(pawn_file, enemy::speed, 0);
    set_number(pawn_file, enemy::max_hp, 1);
}

void Scenario::make_hero_helpless() {
    set_number(hero_file, hero::speed, 0);
    set_number(hero_file, hero::max_hp, 1);
    set_number(pawn_file, enemy::speed, 0);
    set_number(pawn_file, enemy::attack, 200);  // hurts even a defending hero
}

}  // namespace e2e
