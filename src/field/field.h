#pragma once
// The field program: a map read from test.txt, the hero ("●") walking on it
// with the arrow keys, and one enemy that chases the hero while it is near.
// Everything works on one Field context, passed by reference.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "data/random.h"
#include "data/records.h"
#include "platform/console.h"

namespace rpg {

inline constexpr int map_rows = 19;
inline constexpr int map_columns = 54;
inline constexpr int map_cells = map_rows * map_columns;  // 1026 bytes of the map file

// Where the field enemy starts.
inline constexpr int field_enemy_start_x = 8;
inline constexpr int field_enemy_start_y = 3;

struct Field {
    explicit Field(Console& console) : con(console) {}

    Console& con;
    GameRecords records;
    Random random;
    long passes = 0;  // of the main loop: a hundred of them are a second of the field's time
    // Row-major cells: 0 open ground, otherwise the byte from the map file
    // (1 to 255), or -1 where the file had ended. Every non-zero cell blocks.
    std::array<std::array<std::int32_t, map_columns>, map_rows> field_map{};

    HeroStatus& hero() { return records.hero; }
    EnemyStatus& enemy() { return records.enemies[kind_pawn]; }
    const HeroStatus& hero() const { return records.hero; }
    const EnemyStatus& enemy() const { return records.enemies[kind_pawn]; }
};

// Reads the map file into field_map, 1026 bytes in text mode; false when the
// file cannot be used, with `problem` (when given) as read_text_file says.
bool load_map(Field& field, const std::filesystem::path& file, std::string* problem = nullptr);
// Prints every non-zero cell, one byte per cell.
void draw_map(Field& field);

// True if a two-column figure at (x, y) may take one step in the direction of
// the key code; codes other than the four arrows are always allowed.
bool can_move(const Field& field, int code, int x, int y);
// Acts on one key code: an allowed arrow step moves the hero.
void move_hero(Field& field, int code);

// The opening transition: two triangles of blocks cover the map area, then
// two triangles of blanks clear it, 19 frames of 30 ms each.
void wipe_in(Field& field);
void wipe_out(Field& field);
// The number of two-column blocks frame k (1 to 19) of a wipe puts on a row.
int wipe_blocks(int k);

// Sets the field enemy at its start and draws its glyph.
void place_field_enemy(Field& field);
// True while the hero is less than 18 columns and 9 rows from the enemy.
bool in_pursuit_range(const Field& field);
// One enemy step in the direction of the code; false (nothing drawn) when
// the map refuses it.
bool enemy_step(Field& field, int code);
// The 130 ms wait before an enemy step; keys pressed meanwhile move the hero.
void chase_pause(Field& field);
// One pursuit step of the enemy towards the hero.
void chase_step(Field& field);

// The start of the field after the data is loaded: the wipe, the map, the
// hero and the enemy. False when the map file cannot be used (see load_map).
bool start_field(Field& field, const std::filesystem::path& map_file, std::string* problem = nullptr);
// One pass of the main loop: at most one key code, one pursuit step while the
// hero is in range, then 10 ms of sleep.
void field_pass(Field& field);
// Runs the main loop for the given number of passes, or for ever when it is
// negative.
void run_field(Field& field, long max_passes);

}  // namespace rpg
