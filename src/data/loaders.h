#pragma once
// Reading the data files into the records at start-up. Files are looked up
// by bare name in a folder (the current directory for the programs).

#include <filesystem>
#include <optional>
#include <string>

#include "data/records.h"

namespace rpg {

enum class LoadResult {
    ok,
    missing,  // a file could not be opened
    invalid,  // a file holds a value the game cannot play with; see the message
};

// Reads a text file whole, with line ends as the game expects them: a CR
// before a line end is dropped. Empty when the file cannot be opened.
std::optional<std::string> read_text_file(const std::filesystem::path& file);

// Each loader fills its record from one file and checks what the game relies
// on; on `invalid`, `error` names the file and the field.
LoadResult load_hero(HeroStatus& hero, const std::filesystem::path& folder, std::string& error);
LoadResult load_enemy_kind(EnemyStatus& enemy, const std::filesystem::path& file, std::string& error);
// Pawn, Knight, Bishop, Rook, Queen, King; stops at the first failure.
LoadResult load_enemies(GameRecords& records, const std::filesystem::path& folder, std::string& error);
LoadResult load_skill(SkillStatus& skill, const std::filesystem::path& file, std::string& error);
// SwordCut, Flame, BigRevolveSword, HellFlame, AbsoluteObedience; stops at the first failure.
LoadResult load_skills(GameRecords& records, const std::filesystem::path& folder, std::string& error);
// The start-up order of both programs: hero, enemy kinds, skills.
LoadResult load_game_data(GameRecords& records, const std::filesystem::path& folder, std::string& error);

}  // namespace rpg
