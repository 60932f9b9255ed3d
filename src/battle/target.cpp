// Target selection: the player picks which enemy of the formation to attack.
// Left and right skip fallen enemies; up and down refuse to land on one.

#include "battle/flow.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/lists.h"

namespace rpg {
namespace {

// The first position from `from` to `to` (either direction) whose enemy stands, or 0.
int first_standing(const Battle& b, int from, int to) {
    int step = from <= to ? 1 : -1;
    for (int p = from; p != to + step; p += step) {
        if (p >= 1 && p <= b.enemy_total() && stands(b.state, p)) return p;
    }
    return 0;
}

// Shows the selection on the selected enemy: its banner slides in and its glyph brightens.
void show_selection(Battle& b) {
    slide_target_banner(b.screen, b.pawn());
    highlight_enemy_glyph(b.screen, b.pawn(), b.enemy_total());
}

void select_target(Battle& b, int position) {
    restore_enemy_glyph(b.screen, b.pawn(), b.enemy_total());
    b.pawn().target = static_cast<u16>(position);
    show_selection(b);
}

// Moves the selection to `destination` when its enemy stands.
bool move_target_to(Battle& b, int destination) {
    if (destination == 0 || !stands(b.state, destination)) return false;
    restore_enemy_glyph(b.screen, b.pawn(), b.enemy_total());
    b.pawn().target = static_cast<u16>(destination);
    return true;
}

// Leaves target selection for the command menu.
Outcome leave_selection(Battle& b) {
    erase_target_heading(b.screen);
    erase_banner(b.screen);
    return Outcome::goes_on;
}

}  // namespace

bool move_target_up(Battle& b) {
    const FormationPlace* place = formation_place(b.enemy_total(), b.pawn().target);
    return place != nullptr && move_target_to(b, place->up);
}

bool move_target_down(Battle& b) {
    const FormationPlace* place = formation_place(b.enemy_total(), b.pawn().target);
    return place != nullptr && move_target_to(b, place->down);
}

Outcome target_selection(Battle& b) {
    EnemyStatus& enemy = b.pawn();
    View& v = b.screen;
    set_text_attribute(v, attr_normal);
    slide_target_heading(v);
    slide_target_banner(v, enemy);
    if (!stands(b.state, enemy.target)) {
        if (int next = first_standing(b, enemy.target + 1, b.enemy_total())) {
            enemy.target = static_cast<u16>(next);
            show_selection(b);
        }
    } else {
        highlight_enemy_glyph(v, enemy, b.enemy_total());
    }

    // A screen reader is told the selected enemy as the banner comes, after
    // each move and when the ability list goes back to the banner.
    bool announce = true;
    for (;;) {
        const int t = enemy.target;
        if (announce) announce_target(v, enemy);
        announce = false;
        switch (b.con.read_key()) {
            case key_up:
                if (move_target_up(b)) show_selection(b);
                break;
            case key_down:
                if (move_target_down(b)) show_selection(b);
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
                restore_enemy_glyph(v, enemy, b.enemy_total());
                enemy.target = 1;
                return leave_selection(b);
            case key_enter:
                switch (ability_command(b)) {
                    case Outcome::goes_on:  // the ability list was closed with space
                        restore_enemy_glyph(v, enemy, b.enemy_total());
                        enemy.target = 1;
                        return leave_selection(b);
                    case Outcome::felled:
                        // The title row too: entries 0 to 5.
                        for (int entry = 0; entry <= 5; ++entry) clear_list_row(v, entry);
                        enemy.target = static_cast<u16>(first_standing(b, 1, b.enemy_total()));
                        return leave_selection(b);
                    case Outcome::won: return Outcome::won;
                    case Outcome::lost: return Outcome::lost;
                    case Outcome::back:     // back from the ability list with the left arrow
                    case Outcome::escaped:  // not an outcome of the ability list
                        announce = true;
                        break;
                }
                break;
            default: break;
        }
        announce = announce || enemy.target != t;
    }
}

}  // namespace rpg
