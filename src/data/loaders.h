#pragma once
// Reading the data files into the records at start-up. Files are looked up
// by bare name in a folder: the one --data names, else the current folder or
// the installed sample data.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/records.h"

namespace rpg {

enum class LoadResult {
    ok,
    missing,  // a file could not be opened
    invalid,  // a file is not a regular file, cannot be read, or holds a value
              // the game cannot play with; see the message
};

// Reads at most `limit` bytes of a file in text mode: a CR before a line end
// is dropped, and the pair counts as one byte. Nothing past the limit is
// read. Empty when the file cannot be used; then `problem`, when given, says
// why for a message after the file's name ("is a FIFO, not a regular file",
// "cannot be read (...)"), or is left empty when the file cannot be opened.
std::optional<std::string> read_text_file(const std::filesystem::path& file, std::size_t limit,
                                          std::string* problem = nullptr);

// Each loader fills its record from one file, reading no further than the
// last field's value. Values are not judged here, only stored; a string too
// long for its field is refused (`invalid`, `error` names the file and the
// field), since it cannot be stored.
LoadResult load_hero(HeroStatus& hero, const std::filesystem::path& folder, std::string& error);
LoadResult load_enemy_kind(EnemyStatus& enemy, const std::filesystem::path& file, std::string& error);
// Pawn, Knight, Bishop, Rook, Queen, King; stops at the first failure.
LoadResult load_enemies(GameRecords& records, const std::filesystem::path& folder, std::string& error);
LoadResult load_skill(SkillStatus& skill, const std::filesystem::path& file, std::string& error);
// SwordCut, Flame, BigRevolveSword, HellFlame, AbsoluteObedience; stops at the first failure.
LoadResult load_skills(GameRecords& records, const std::filesystem::path& folder, std::string& error);

// Which program starts: each refuses only the values it reads and could not
// play with. The battle judges the hero's stats and the pawn, the one kind
// that fights; the field judges the hero's map position alone.
enum class DataUser { battle, field };
// The checks of one program on loaded records: `invalid`, with a message
// naming the file and the field, or `ok`.
LoadResult check_game_data(const GameRecords& records, DataUser user, std::string& error);

// The start-up order of both programs: hero, enemy kinds, skills, then the
// checks of the program that loads them.
LoadResult load_game_data(GameRecords& records, const std::filesystem::path& folder, std::string& error,
                          DataUser user = DataUser::battle);

// The names of the files load_game_data reads, in the order it reads them.
std::vector<std::string> game_data_files();

// The field's map, beside them in the data folder.
inline constexpr const char* map_file_name = "test.txt";

}  // namespace rpg
