#pragma once
// Everything one run of the battle program works on, in one place: the
// console, the records, the battle's counters, the menus' selections, the
// screen's console state and the random generator. Every procedure of the
// battle takes it by reference; nothing of it is global, so each test starts
// afresh.

#include "data/random.h"
#include "data/records.h"
#include "platform/console.h"
#include "rules/state.h"
#include "screen/view.h"

namespace rpg {

// What a step of the battle decided, passed up through the battle flow.
enum class Outcome : i16 {
    escaped = 0,  // the hero got away: the battle is over
    back = 1,     // back to target selection
    felled = 2,   // an enemy fell and others stand
    won = 3,
    lost = 4,
    goes_on = 5,  // nothing decided: the battle goes on
};

// The selections of the menus, each counted from 0.
struct MenuState {
    i16 command_index = 0;   // the command menu
    i16 item_index = 0;      // the item window (an ItemIndex)
    i16 selected_skill = 0;  // the ability window: the skill the hero attacks with
};

struct Battle {
    explicit Battle(Console& console) : con(console), screen(console) {}

    Console& con;
    GameRecords rec;
    BattleState state;
    MenuState menu;
    View screen;
    Random random;
    // The hero's turns begun so far, for a recording's turn marks (the
    // battle's own turn count also counts the enemies' blows).
    int turns_begun = 0;

    // The one enemy kind the battle is fought against.
    EnemyStatus& pawn() { return rec.enemies[kind_pawn]; }
    // The number of enemies the battle began with.
    int enemy_total() const { return state.enemy_total(); }
};

}  // namespace rpg
