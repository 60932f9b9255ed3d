// The command menu and the shape of a turn: the hero acts, a tick pass, every
// standing enemy attacks once, a second tick pass.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "rules/effects.h"
#include "rules/formulas.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/message.h"

namespace rpg {
namespace {

enum Command : i16 { command_fight = 0, command_defend = 1, command_item = 2, command_run = 3 };

// Moves the menu highlight from the current entry to the one `step` away.
void move_command_highlight(Battle& b, int step) {
    i16& index = b.state.command_index;
    set_text_attribute(b, attr_normal);
    draw_command_frame(b, index + 1);
    index = static_cast<i16>(index + step);
    set_text_attribute(b, 15);
    draw_command_frame(b, index + 1);
}

i16 defend(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    set_text_attribute(b, attr_normal);
    slide_target_heading(b);
    slide_enemy_attack_banner(b);
    hero.defense = to_u16(hero.defense * 2);
    ++b.state.turn_count;
    tick_pass(b);
    if (enemy_phase(b) == outcome_lost) return outcome_lost;  // defence stays doubled: the battle is over
    tick_pass(b);
    hero.defense = static_cast<u16>(hero.defense / 2);
    return outcome_none;
}

i16 use_items(Battle& b) {
    set_text_attribute(b, attr_normal);
    slide_target_heading(b);
    slide_name_banner(b, text_of(b.rec.hero.name));
    return item_command(b) == outcome_lost ? outcome_lost : outcome_none;
}

// Returns outcome_none when the hero got away, outcome_lost when the hero
// fell, and outcome_back when the battle goes on.
i16 run_away(Battle& b) {
    set_text_attribute(b, attr_normal);
    clear_message_window(b);
    post_message(b, sjis("主人公の「にげる」.........."));
    u16 pursuit = pursuit_value(b.pawn().speed, b.state.enemies_left);
    if (check_escape(to_i16(b.rec.hero.speed), to_i16(pursuit), b.rec.hero.level, b.random)) {
        post_message(b, sjis("成功しました。"));
        return outcome_none;
    }
    post_message(b, sjis("失敗しました。"));
    ++b.state.turn_count;
    tick_pass(b);
    if (enemy_phase(b) == outcome_lost) return outcome_lost;
    tick_pass(b);
    wait_for_acknowledgement(b);
    clear_message_window(b);
    return outcome_back;
}

}  // namespace

i16 command_loop(Battle& b) {
    for (;;) {
        switch (b.con.read_key()) {
            case key_up:
                if (b.state.command_index > 0) move_command_highlight(b, -1);
                break;
            case key_down:
                if (b.state.command_index < 3) move_command_highlight(b, +1);
                break;
            case key_enter:
            case key_right: {
                i16 result = outcome_none;
                switch (b.state.command_index) {
                    case command_fight:
                        set_text_attribute(b, attr_normal);
                        result = target_selection(b);
                        break;
                    case command_defend: result = defend(b); break;
                    case command_item: result = use_items(b); break;
                    case command_run:
                        result = run_away(b);
                        if (result == outcome_none) return outcome_none;
                        break;
                }
                if (result == outcome_won || result == outcome_lost) return result;
                break;
            }
            default: break;  // the arrow prefix, space, left and every other key
        }
    }
}

i16 enemy_phase(Battle& b) {
    for (int i = 0, attackers = b.state.enemies_left; i < attackers; ++i) {
        if (enemy_attack(b) == outcome_lost) return outcome_lost;
    }
    return outcome_none;
}

}  // namespace rpg
