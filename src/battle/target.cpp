// Target selection: the player picks which enemy of the formation to attack.
// Left and right skip fallen enemies; up and down refuse to land on one.

#include "battle/flow.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/lists.h"

namespace rpg {
namespace {

bool stands(const Battle& b, int position) { return b.state.defeated[static_cast<std::size_t>(position - 1)] == 0; }

// The first position from `from` to `to` (either direction) whose enemy stands, or 0.
int first_standing(const Battle& b, int from, int to) {
    int step = from <= to ? 1 : -1;
    for (int p = from; p != to + step; p += step) {
        if (p >= 1 && p <= b.enemy_total() && stands(b, p)) return p;
    }
    return 0;
}

void select_target(Battle& b, int position) {
    EnemyStatus& enemy = b.pawn();
    restore_enemy_glyph(b, enemy, b.enemy_total());
    enemy.target = static_cast<u16>(position);
    slide_target_banner(b, enemy);
    highlight_enemy_glyph(b, enemy, b.enemy_total());
}

// Moves the selection to `destination` when its enemy stands.
int move_target_to(Battle& b, int destination) {
    if (destination == 0 || !stands(b, destination)) return 0;
    restore_enemy_glyph(b, b.pawn(), b.enemy_total());
    b.pawn().target = static_cast<u16>(destination);
    return 1;
}

// Leaves target selection for the command menu.
i16 leave_selection(Battle& b) {
    erase_target_heading(b);
    erase_banner(b);
    return outcome_none;
}

}  // namespace

int move_target_up(Battle& b) {
    int t = b.pawn().target;
    int destination = 0;
    switch (b.enemy_total()) {
        case 3: destination = t == 3 ? 1 : 0; break;
        case 4: destination = t >= 3 ? t - 2 : 0; break;
        case 5: destination = t == 3 ? 1 : (t >= 4 ? 3 : 0); break;
        case 6: destination = t >= 4 ? t - 3 : 0; break;
        case 7: destination = t >= 5 ? t - 4 : 0; break;
        default: break;  // one or two enemies stand in a single row
    }
    return move_target_to(b, destination);
}

int move_target_down(Battle& b) {
    int t = b.pawn().target;
    int destination = 0;
    switch (b.enemy_total()) {
        case 3: destination = t <= 2 ? 3 : 0; break;
        case 4: destination = t <= 2 ? t + 2 : 0; break;
        case 5: destination = t == 3 ? 5 : (t <= 2 ? 3 : 0); break;
        case 6: destination = t <= 3 ? t + 3 : 0; break;
        case 7: destination = t <= 3 ? t + 4 : 0; break;
        default: break;
    }
    return move_target_to(b, destination);
}

i16 target_selection(Battle& b) {
    EnemyStatus& enemy = b.pawn();
    set_text_attribute(b, attr_normal);
    slide_target_heading(b);
    slide_target_banner(b, enemy);
    if (!stands(b, enemy.target)) {
        if (int next = first_standing(b, enemy.target + 1, b.enemy_total())) {
            enemy.target = static_cast<u16>(next);
            slide_target_banner(b, enemy);
            highlight_enemy_glyph(b, enemy, b.enemy_total());
        }
    } else {
        highlight_enemy_glyph(b, enemy, b.enemy_total());
    }

    for (;;) {
        int t = enemy.target;
        switch (b.con.read_key()) {
            case key_up:
                if (move_target_up(b)) {
                    slide_target_banner(b, enemy);
                    highlight_enemy_glyph(b, enemy, b.enemy_total());
                }
                break;
            case key_down:
                if (move_target_down(b)) {
                    slide_target_banner(b, enemy);
                    highlight_enemy_glyph(b, enemy, b.enemy_total());
                }
                break;
            case key_left:
                if (t > 1) {
                    if (int p = first_standing(b, t - 1, 1)) select_target(b, p);
                }
                break;
            case key_right:
                if (t < b.enemy_total()) {
                    if (int p = first_standing(b, t + 1, b.enemy_total())) select_target(b, p);
                }
                break;
            case key_space:
                restore_enemy_glyph(b, enemy, b.enemy_total());
                enemy.target = 1;
                return leave_selection(b);
            case key_enter:
                switch (ability_command(b)) {
                    case outcome_none:  // the ability list was closed with space
                        restore_enemy_glyph(b, enemy, b.enemy_total());
                        enemy.target = 1;
                        return leave_selection(b);
                    case outcome_felled:
                        for (i16 k = 0; k <= 5; ++k) clear_list_row(b, k);
                        enemy.target = static_cast<u16>(first_standing(b, 1, b.enemy_total()));
                        return leave_selection(b);
                    case outcome_won: return outcome_won;
                    case outcome_lost: return outcome_lost;
                    default: break;  // back from the ability list with the left arrow
                }
                break;
            default: break;
        }
    }
}

}  // namespace rpg
