#pragma once
// A scenario's own folder: a fresh copy of the bundled data files, edited
// where the scenario needs a certain outcome, and removed afterwards.
//
// The data files are Shift-JIS; only their ASCII numbers are edited, in
// place, so that every other byte (names, glyphs) stays as it was.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "harness/game_process.h"

namespace e2e {

// Value positions (counted from 0) in the hero file.
namespace hero {
inline constexpr int max_hp = 1, attack = 2, defense = 3, speed = 6, next_exp = 7, exp = 8, level = 9;
inline constexpr int potions = 15, proteins = 17, bucklers = 19, map_x = 20, map_y = 21;
}  // namespace hero
// Value positions in an enemy file.
namespace enemy {
inline constexpr int kind = 1, max_hp = 5, attack = 6, defense = 7, speed = 10, skill = 11;
}  // namespace enemy

inline constexpr const char* hero_file = "Hero_Status_Info.txt";
inline constexpr const char* pawn_file = "Pawn_Status_Info.txt";
inline constexpr const char* map_file = "test.txt";
inline constexpr const char* skill_files[] = {"SwordCut.txt", "Flame.txt", "BigRevolveSword.txt", "HellFlame.txt",
                                              "AbsoluteObedience.txt"};

// Shift-JIS (code page 932) text in UTF-8.
std::string utf8_from_cp932(std::string_view sjis);

class Scenario {
public:
    Scenario();  // a copy of the bundled data files
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

    // Replaces the number at value position `index` of a data file.
    void set_number(const std::string& file, int index, long long value);
    // The value at `index` of a data file, as it stands in the file and in UTF-8.
    std::string value_bytes(const std::string& file, int index) const;
    std::string text_value(const std::string& file, int index) const {
        return utf8_from_cp932(value_bytes(file, index));
    }
    void write(const std::string& file, std::string_view bytes);
    void remove(const std::string& file);
    std::string read(const std::string& file) const;
    // Every file of the folder by name, with its bytes.
    std::map<std::string, std::string> files() const;

    Launch battle() const;
    Launch field() const;

    // The hero always hits and is never hit, every blow fells a pawn, and
    // every escape succeeds: the hero's speed beats the pawns' speed of 0 in
    // every roll, and the pawns have 1 hit point.
    void make_hero_unbeatable();
    // Every pawn's blow lands, hard enough to hurt a defending hero, and the
    // hero has 1 hit point.
    void make_hero_helpless();

private:
    std::filesystem::path folder_;
};

// The bundled data files.
std::filesystem::path assets_folder();

}  // namespace e2e
