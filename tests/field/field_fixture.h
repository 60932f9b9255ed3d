#pragma once
// A field on an open map for tests: every cell open but the line end in
// column 53 of each row, the hero and the enemy placed by the test.

#include <string>

#include "field/field.h"
#include "platform/encoding.h"
#include "platform/memory/memory_console.h"

namespace rpg::test {

inline constexpr int line_end_column = 53;

struct OpenField {
    MemoryConsole con{80, 25};
    Field field{con};

    OpenField() {
        for (auto& row : field.field_map) {
            row.fill(0);
            row[line_end_column] = '\n';
        }
        const std::string& glyph = sjis("兵");
        auto& field_glyph = field.records.enemies[kind_pawn].glyph;
        for (std::size_t i = 0; i < glyph.size(); ++i) field_glyph[i] = glyph[i];
    }

    void set_cell(int column, int row, std::int32_t value) {
        field.field_map[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = value;
    }
    // A full-width block "■" over two cells.
    void put_block(int column, int row) {
        const std::string& block = sjis("■");
        set_cell(column, row, static_cast<unsigned char>(block[0]));
        set_cell(column + 1, row, static_cast<unsigned char>(block[1]));
    }
    void place_hero(int x, int y) {
        field.records.hero.map_x = static_cast<u16>(x);
        field.records.hero.map_y = static_cast<u16>(y);
    }
    void place_enemy(int x, int y) {
        field.records.enemies[kind_pawn].map_x = static_cast<u16>(x);
        field.records.enemies[kind_pawn].map_y = static_cast<u16>(y);
    }
    int hero_x() const { return field.records.hero.map_x; }
    int hero_y() const { return field.records.hero.map_y; }
    int enemy_x() const { return field.records.enemies[kind_pawn].map_x; }
    int enemy_y() const { return field.records.enemies[kind_pawn].map_y; }
};

}  // namespace rpg::test
