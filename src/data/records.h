#pragma once
// The game's records: the hero, the enemy kinds and the skills, with their
// exact widths. Stats are unsigned 16-bit, current hit points signed 16-bit,
// experience unsigned 32-bit.

#include <array>
#include <cstdint>
#include <string_view>

namespace rpg {

using u16 = std::uint16_t;
using i16 = std::int16_t;
using u32 = std::uint32_t;

// A value reduced to 16 bits keeps the low 16 bits of its two's-complement form.
constexpr i16 to_i16(long long v) { return static_cast<i16>(static_cast<u16>(static_cast<unsigned long long>(v))); }
constexpr u16 to_u16(long long v) { return static_cast<u16>(static_cast<unsigned long long>(v)); }

// A fixed, NUL-terminated Shift-JIS string field.
template <std::size_t N>
using FixedText = std::array<char, N>;

template <std::size_t N>
std::string_view text_of(const FixedText<N>& field) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') ++length;
    return {field.data(), length};
}

// Item stock entries, in the order of the hero file.
enum ItemIndex : int { item_potion = 0, item_protein = 1, item_buckler = 2 };

struct ItemStock {
    u16 reserved = 0;
    u16 count = 0;
};

struct HeroStatus {
    FixedText<16> name{};
    u16 max_hp = 0;
    u16 attack = 0;
    u16 defense = 0;
    u16 magic_attack = 0;
    u16 magic_defense = 0;
    u16 speed = 0;
    u32 next_exp = 0;
    u32 exp = 0;
    u16 level = 0;
    u16 reserved1 = 0;
    u16 reserved2 = 0;
    u16 reserved3 = 0;
    u16 reserved4 = 0;
    std::array<ItemStock, 3> items{};
    u16 map_x = 0;
    u16 map_y = 0;
    i16 hp = 0;  // not part of the hero file
    u16 base_attack = 0;
    u16 base_defense = 0;
};

// The enemy kinds, in the order they are loaded.
enum EnemyKindIndex : int { kind_pawn = 0, kind_knight, kind_bishop, kind_rook, kind_queen, kind_king };
inline constexpr int enemy_kind_count = 6;

struct EnemyStatus {
    FixedText<20> name{};
    u16 kind = 0;
    FixedText<4> glyph{};
    u16 reserved = 0;  // read from the enemy file, used by nothing
    u16 target = 0;    // the selected screen position, counted from 1
    u16 max_hp = 0;
    u16 attack = 0;
    u16 defense = 0;
    u16 magic_attack = 0;
    u16 magic_defense = 0;
    u16 speed = 0;
    u16 skill = 0;  // index into the skill table
    u16 map_x = 0;  // position on the field map; not part of the enemy file
    u16 map_y = 0;
    // The kind's hit-point pool: while n enemies stand, hits land on hp[n].
    std::array<i16, 7> hp{};
};

struct SkillStatus {
    FixedText<20> name{};
    u16 reserved = 0;
    u16 power = 0;
    u16 accuracy = 0;
};

// Skill table entries.
enum SkillIndex : int {
    skill_sword_cut = 0,
    skill_flame,
    skill_big_revolve_sword,
    skill_hell_flame,
    skill_absolute_obedience
};
inline constexpr int skill_count = 5;

// Everything the data files fill in.
struct GameRecords {
    HeroStatus hero;
    std::array<EnemyStatus, enemy_kind_count> enemies{};
    std::array<SkillStatus, skill_count> skills{};
};

}  // namespace rpg
