// The item and ability commands: two menus in the list window that stay open
// across turns, so that the player can act again at once.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "rules/effects.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/lists.h"
#include "screen/message.h"

namespace rpg {
namespace {

inline constexpr u16 attr_bright = 15;

// Moves the bright arrows of a list from the selected entry to the one
// `step` away; the item list also shows the new item's stock.
void move_list_selection(Battle& b, i16& index, int step, bool show_count) {
    set_text_attribute(b, attr_normal);
    draw_list_arrows(b, static_cast<i16>(index + 1));
    index = static_cast<i16>(index + step);
    set_text_attribute(b, attr_bright);
    draw_list_arrows(b, static_cast<i16>(index + 1));
    if (show_count) draw_item_count(b, static_cast<i16>(index + 1));
    set_text_attribute(b, attr_normal);
}

void close_list(Battle& b) {
    for (i16 k = 1; k <= 5; ++k) clear_list_row(b, k);
    clear_list_title(b);
}

// Tries to use the selected item. A refusal is a message and costs no turn.
i16 try_item(Battle& b) {
    const i16 index = b.state.item_index;
    if (b.rec.hero.items[static_cast<std::size_t>(index)].count == 0) {
        post_message(b, sjis("そのアイテムは持っていません。"));
        wait_for_acknowledgement(b);
        return outcome_none;
    }
    if (b.state.active_effects >= max_active_effects && index != item_potion) {
        post_message(b, sjis("アイテムは同時に３つまでしか使えません。"));
        wait_for_acknowledgement(b);
        return outcome_none;
    }
    use_item(b, static_cast<i16>(index + 1));
    ++b.state.turn_count;
    tick_pass(b);
    set_text_attribute(b, attr_bright);
    draw_item_count(b, static_cast<i16>(index + 1));
    set_text_attribute(b, attr_normal);
    if (enemy_phase(b) == outcome_lost) return outcome_lost;
    tick_pass(b);
    return outcome_none;
}

}  // namespace

i16 item_command(Battle& b) {
    open_item_list(b);
    draw_list_arrows(b, 5);
    put_at(b, 62, b.screen.list_top + 10, sjis("×"));
    set_text_attribute(b, attr_bright);
    draw_item_count(b, 1);
    set_text_attribute(b, attr_normal);

    for (;;) {
        switch (b.con.read_key()) {
            case key_up:
                if (b.state.item_index > 0) move_list_selection(b, b.state.item_index, -1, true);
                break;
            case key_down:
                if (b.state.item_index < 2) move_list_selection(b, b.state.item_index, +1, true);
                break;
            case key_enter:
            case key_right:
                if (try_item(b) == outcome_lost) return outcome_lost;
                break;
            case key_space:
            case key_left:
                close_list(b);
                erase_target_heading(b);
                erase_banner(b);
                b.state.item_index = 0;
                return outcome_none;
            default: break;
        }
    }
}

i16 ability_command(Battle& b) {
    open_ability_list(b);
    for (;;) {
        switch (b.con.read_key()) {
            case key_up:
                if (b.state.selected_skill > 0) move_list_selection(b, b.state.selected_skill, -1, false);
                break;
            case key_down:
                if (b.state.selected_skill < last_skill_index(b.rec.hero.level))
                    move_list_selection(b, b.state.selected_skill, +1, false);
                break;
            case key_enter:
            case key_right: {
                i16 result = hero_attack(b);
                if (result == outcome_felled) {
                    // No enemy acts in the turn an enemy falls; only Protein counts down.
                    protein_tick(b);
                    return outcome_felled;
                }
                if (result == outcome_won) return outcome_won;
                tick_pass(b);
                if (enemy_phase(b) == outcome_lost) return outcome_lost;
                tick_pass(b);
                break;
            }
            case key_space:
                close_list(b);
                b.state.selected_skill = 0;
                return outcome_none;
            case key_left:
                close_list(b);
                b.state.selected_skill = 0;
                return outcome_back;
            default: break;
        }
    }
}

}  // namespace rpg
