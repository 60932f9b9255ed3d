// The command menu and the shape of a turn: the hero acts, a tick pass, every
// standing enemy attacks once, a second tick pass.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "rules/formulas.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/message.h"

namespace rpg {
namespace {

enum Command : i16 { command_fight = 0, command_defend = 1, command_item = 2, command_run = 3 };

// Moves the menu highlight from the current entry to the one `step` away.
void move_command_highlight(Battle& b, int step) {
    i16& index = b.menu.command_index;
    set_text_attribute(b.screen, attr_normal);
    draw_command_frame(b.screen, entry_of(index));
    index = static_cast<i16>(index + step);
    set_text_attribute(b.screen, attr_bright);
    draw_command_frame(b.screen, entry_of(index));
}

Outcome defend(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    set_text_attribute(b.screen, attr_normal);
    slide_target_heading(b.screen);
    slide_enemy_attack_banner(b.screen);
    hero.defense = to_u16(hero.defense * 2);
    ++b.state.turn_count;
    b.con.turn_mark(++b.turns_begun);
    if (finish_turn(b) == Outcome::lost) return Outcome::lost;  // defence stays doubled: the battle is over
    // Halved rather than set back to what it was: a Buckler effect that ran
    // out during the turn took its 5 points off the doubled defence, so the
    // hero keeps only half of that loss (defence 25 with a Buckler: 50, 45,
    // then 22, not 20). The doubling is thus not undone exactly.
    hero.defense = static_cast<u16>(hero.defense / 2);
    return Outcome::goes_on;
}

Outcome use_items(Battle& b) {
    set_text_attribute(b.screen, attr_normal);
    slide_target_heading(b.screen);
    slide_name_banner(b.screen, text_of(b.rec.hero.name));
    return item_command(b) == Outcome::lost ? Outcome::lost : Outcome::goes_on;
}

// Returns escaped when the hero got away, lost when the hero fell, and back
// when the battle goes on.
Outcome run_away(Battle& b) {
    set_text_attribute(b.screen, attr_normal);
    clear_message_window(b.screen);
    post_message(b.screen, sjis("主人公の「にげる」.........."));
    u16 pursuit = pursuit_value(b.pawn().speed, b.state.enemies_left);
    if (check_escape(to_i16(b.rec.hero.speed), to_i16(pursuit), b.rec.hero.level, b.random)) {
        post_message(b.screen, sjis("成功しました。"));
        return Outcome::escaped;
    }
    post_message(b.screen, sjis("失敗しました。"));
    ++b.state.turn_count;
    b.con.turn_mark(++b.turns_begun);
    if (finish_turn(b) == Outcome::lost) return Outcome::lost;
    wait_for_acknowledgement(b.screen);
    clear_message_window(b.screen);
    return Outcome::back;
}

}  // namespace

// The command menu is marked for a replay to find each time it comes back.
Outcome command_loop(Battle& b) {
    b.con.turn_mark(b.turns_begun);
    // A screen reader is told the highlighted command as the menu opens, after
    // each move and whenever the menu is back after a command.
    bool announce = true;
    for (;;) {
        if (announce) announce_command(b.screen, entry_of(b.menu.command_index));
        announce = false;
        switch (b.con.read_key()) {
            case key_up:
                announce = b.menu.command_index > 0;
                if (announce) move_command_highlight(b, -1);
                break;
            case key_down:
                announce = b.menu.command_index < 3;
                if (announce) move_command_highlight(b, +1);
                break;
            case key_enter:
            case key_right: {
                announce = true;
                Outcome result = Outcome::goes_on;
                switch (b.menu.command_index) {
                    case command_fight:
                        set_text_attribute(b.screen, attr_normal);
                        result = target_selection(b);
                        break;
                    case command_defend: result = defend(b); break;
                    case command_item: result = use_items(b); break;
                    case command_run:
                        result = run_away(b);
                        if (result == Outcome::escaped) return Outcome::escaped;
                        break;
                }
                if (result == Outcome::won || result == Outcome::lost) return result;
                b.con.turn_mark(b.turns_begun);
                break;
            }
            default: break;  // the arrow prefix, space, left and every other key
        }
    }
}

Outcome enemy_phase(Battle& b) {
    for (int i = 0, attackers = b.state.enemies_left; i < attackers; ++i) {
        if (enemy_attack(b) == Outcome::lost) return Outcome::lost;
    }
    return Outcome::goes_on;
}

Outcome finish_turn(Battle& b, void (*after_first_tick)(Battle&)) {
    run_tick_pass(b);
    if (after_first_tick != nullptr) after_first_tick(b);
    if (enemy_phase(b) == Outcome::lost) return Outcome::lost;
    run_tick_pass(b);
    return Outcome::goes_on;
}

}  // namespace rpg
