#pragma once
// A scratch folder of data files for one test or benchmark run, under the
// system's temporary folder and removed with everything in it at the end:
// empty, or a copy of a folder of data files (the bundled ones, usually).
//
// The data files are Shift-JIS; numbers are edited in place, so that every
// other byte (names, glyphs, line ends) stays as it was. Values are counted
// the way the loaders count them: runs of bytes between blanks.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace rpg::test {

// The folder of the bundled data files: $RPG_ASSETS when set, else the
// source tree's assets/ folder.
std::string assets_folder();

// The data files by name.
inline constexpr const char* hero_file = "Hero_Status_Info.txt";
inline constexpr const char* pawn_file = "Pawn_Status_Info.txt";
inline constexpr const char* map_file = "test.txt";
inline constexpr const char* skill_files[] = {"SwordCut.txt", "Flame.txt", "BigRevolveSword.txt", "HellFlame.txt",
                                              "AbsoluteObedience.txt"};

// Value positions (counted from 0) in the hero file.
namespace hero {
inline constexpr int max_hp = 1, attack = 2, defense = 3, speed = 6, next_exp = 7, exp = 8, level = 9;
inline constexpr int potions = 15, proteins = 17, bucklers = 19, map_x = 20, map_y = 21;
}  // namespace hero
// Value positions in an enemy file.
namespace enemy {
inline constexpr int kind = 1, glyph = 2, max_hp = 5, attack = 6, defense = 7, speed = 10, skill = 11;
}  // namespace enemy

// Shift-JIS (code page 932) text in UTF-8.
std::string utf8_from_cp932(std::string_view sjis);

class DataFolder {
public:
    DataFolder();  // empty
    // A copy of every file of `source`.
    explicit DataFolder(const std::filesystem::path& source);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes the bytes exactly as given (no line-end translation).
    void write(const std::string& file, std::string_view bytes) const;
    void remove(const std::string& file) const;
    std::string read(const std::string& file) const;
    // Every file of the folder by name, with its bytes.
    std::map<std::string, std::string> files() const;

    // Replaces the number at value position `index` of a data file; a value
    // that is not a number, or a position past the last value, is an error
    // (std::runtime_error).
    void set_number(const std::string& file, int index, long long value) const;
    // The value at `index` of a data file, as it stands in the file, and in UTF-8.
    std::string value_bytes(const std::string& file, int index) const;
    std::string text_value(const std::string& file, int index) const {
        return utf8_from_cp932(value_bytes(file, index));
    }

private:
    std::filesystem::path path_;
};

}  // namespace rpg::test
