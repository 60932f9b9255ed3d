// The item and ability commands: two menus in the list window that stay open
// across turns, so that the player can act again at once.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/lists.h"
#include "screen/message.h"

namespace rpg {
namespace {

// Moves the bright arrows of a list from the selected entry to the one
// `step` away.
void move_list_selection(Battle& b, i16& index, int step) {
    set_text_attribute(b.screen, attr_normal);
    draw_list_arrows(b.screen, entry_of(index));
    index = static_cast<i16>(index + step);
    set_text_attribute(b.screen, attr_bright);
    draw_list_arrows(b.screen, entry_of(index));
}

// The stock of the selected item on the count line, bright.
void show_selected_stock(Battle& b) {
    set_text_attribute(b.screen, attr_bright);
    draw_item_count(b.screen, b.rec.hero.items[static_cast<std::size_t>(b.menu.item_index)].count);
    set_text_attribute(b.screen, attr_normal);
}

void move_item_selection(Battle& b, int step) {
    move_list_selection(b, b.menu.item_index, step);
    draw_item_count(b.screen, b.rec.hero.items[static_cast<std::size_t>(b.menu.item_index)].count);
    set_text_attribute(b.screen, attr_normal);
}

void announce_selected_item(Battle& b) {
    const i16 index = b.menu.item_index;
    announce_item(b.screen, entry_of(index), b.rec.hero.items[static_cast<std::size_t>(index)].count);
}

void close_list(Battle& b) {
    for (int entry = 1; entry <= 5; ++entry) clear_list_row(b.screen, entry);
    clear_list_title(b.screen);
}

// Tries to use the selected item. A refusal is a message and costs no turn.
Outcome try_item(Battle& b) {
    const i16 index = b.menu.item_index;
    if (b.rec.hero.items[static_cast<std::size_t>(index)].count == 0) {
        post_message(b.screen, sjis("そのアイテムは持っていません。"));
        wait_for_acknowledgement(b.screen);
        return Outcome::goes_on;
    }
    if (b.state.active_effects >= max_active_effects && index != item_potion) {
        post_message(b.screen, sjis("アイテムは同時に３つまでしか使えません。"));
        wait_for_acknowledgement(b.screen);
        return Outcome::goes_on;
    }
    use_item(b, index);
    ++b.state.turn_count;
    b.con.turn_mark(++b.turns_begun);
    return finish_turn(b, show_selected_stock);
}

}  // namespace

Outcome item_command(Battle& b) {
    open_item_list(b.screen);
    draw_list_arrows(b.screen, 5);
    draw_count_sign(b.screen);
    show_selected_stock(b);

    // A screen reader is told the selected item and its stock as the list
    // opens, after each move and after each use or refusal.
    bool announce = true;
    for (;;) {
        if (announce) announce_selected_item(b);
        announce = false;
        switch (b.con.read_key()) {
            case key_up:
                announce = b.menu.item_index > 0;
                if (announce) move_item_selection(b, -1);
                break;
            case key_down:
                announce = b.menu.item_index < 2;
                if (announce) move_item_selection(b, +1);
                break;
            case key_enter:
            case key_right:
                if (try_item(b) == Outcome::lost) return Outcome::lost;
                announce = true;
                break;
            case key_space:
            case key_left:
                close_list(b);
                erase_target_heading(b.screen);
                erase_banner(b.screen);
                b.menu.item_index = 0;
                return Outcome::goes_on;
            default: break;
        }
    }
}

Outcome ability_command(Battle& b) {
    open_ability_list(b.screen, b.rec.skills, b.rec.hero.level);
    // A screen reader is told the selected skill as the list opens, after
    // each move and after each turn the list stays open for.
    bool announce = true;
    for (;;) {
        if (announce) announce_skill(b.screen, b.rec.skills, entry_of(b.menu.selected_skill));
        announce = false;
        switch (b.con.read_key()) {
            case key_up:
                if (b.menu.selected_skill > 0) {
                    move_list_selection(b, b.menu.selected_skill, -1);
                    set_text_attribute(b.screen, attr_normal);
                    announce = true;
                }
                break;
            case key_down:
                if (b.menu.selected_skill < last_skill_index(b.rec.hero.level)) {
                    move_list_selection(b, b.menu.selected_skill, +1);
                    set_text_attribute(b.screen, attr_normal);
                    announce = true;
                }
                break;
            case key_enter:
            case key_right: {
                const Outcome result = hero_attack(b);
                if (result == Outcome::felled) {
                    // No enemy acts in the turn an enemy falls; only Protein counts down.
                    run_protein_tick(b);
                    return Outcome::felled;
                }
                if (result == Outcome::won) return Outcome::won;
                // hero_attack has counted the turn.
                if (finish_turn(b) == Outcome::lost) return Outcome::lost;
                announce = true;
                break;
            }
            case key_space:
                close_list(b);
                b.menu.selected_skill = 0;
                return Outcome::goes_on;
            case key_left:
                close_list(b);
                b.menu.selected_skill = 0;
                return Outcome::back;
            default: break;
        }
    }
}

}  // namespace rpg
