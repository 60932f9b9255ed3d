#pragma once
// Everything one run of the battle program works on, in one place: the
// console, the records, the battle-wide counters, the console state of the
// drawing routines and the random generator. Every procedure of the battle
// takes it by reference; nothing of it is global, so each test starts afresh.

#include <array>
#include <string>

#include "data/random.h"
#include "data/records.h"
#include "platform/console.h"

namespace rpg {

struct ScreenPosition {
    u16 column = 0;
    u16 row = 0;
};

// The console state shared by every drawing routine.
struct ConsoleState {
    ScreenPosition cursor_position;
    u16 text_attribute = attr_normal;
    i16 left_origin = 1;    // command window, status panel, effect markers
    i16 right_origin = 25;  // enemy view, heading, banners, message window, level-up window
    // The five message lines, newest first; a line starting with a blank is empty.
    std::array<std::string, 5> message_lines{" ", " ", " ", " ", " "};
    i16 list_top = 0;  // first row of the item and ability window; 0 at rest
};

struct Battle {
    explicit Battle(Console& console) : con(console) {}

    Console& con;
    GameRecords rec;
    BattleState state;
    ConsoleState screen;
    Random random;

    // The one enemy kind the battle is fought against.
    EnemyStatus& pawn() { return rec.enemies[kind_pawn]; }
    // The number of enemies the battle began with.
    int enemy_total() const { return state.enemies_left + state.enemies_defeated; }
};

}  // namespace rpg
