#include "screen/lists.h"

#include <string>

#include "platform/encoding.h"
#include "rules/effects.h"
#include "screen/draw.h"
#include "screen/message.h"
#include "screen/status.h"

namespace rpg {
namespace {

constexpr int window_column = 54;
constexpr int window_width = 20;
constexpr int left_arrow_column = 55;
constexpr int right_arrow_column = 71;
constexpr int item_name_column = 59;
constexpr int count_column = 65;

int entry_row(const Battle& b, i16 k) { return b.screen.list_top + 2 * k; }

const std::string& item_name(int k) {
    switch (k) {
        case 1: return sjis("ポーション");
        case 2: return sjis("プロテイン");
        default: return sjis("バックラー");
    }
}

int skill_name_column(int k) {
    switch (k) {
        case 1:
        case 4: return 62;
        case 2:
        case 5: return 60;
        default: return 59;
    }
}

// One entry slides down from row 0 to its own row 2k, one row per frame;
// list_top carries the movement and stands at 1 when the entry has arrived.
// Entry 1 is the selected one when a list opens: its arrows are bright.
void slide_entry(Battle& b, i16 k, bool skills) {
    b.screen.list_top = to_i16(-2 * k);
    const int frames = 2 * k + 1;
    for (int f = 0; f < frames; ++f) {
        if (k == 1) {
            set_highlight(b);
            draw_list_arrows(b, k);
            set_text_attribute(b, attr_normal);
        } else {
            draw_list_arrows(b, k);
        }
        if (skills) {
            draw_skill_name(b, k);
        } else {
            draw_item_name(b, k);
        }
        pause(b, 1);
        if (f != frames - 1) clear_list_row(b, k);
        b.screen.list_top = to_i16(b.screen.list_top + 1);
    }
}

}  // namespace

int last_skill_index(u16 level) {
    if (level < 12) return 1;
    if (level < 18) return 2;
    if (level < 25) return 3;
    return 4;
}

void draw_list_arrows(Battle& b, i16 k) {
    put_at(b, left_arrow_column, entry_row(b, k), sjis("＜"));
    put_at(b, right_arrow_column, entry_row(b, k), sjis("＞"));
}

void draw_item_name(Battle& b, i16 k) {
    if (k < 1 || k > 3) return;
    put_at(b, item_name_column, entry_row(b, k), item_name(k));
}

void draw_skill_name(Battle& b, i16 k) {
    if (k < 1 || k > skill_count) return;
    put_at(b, skill_name_column(k), entry_row(b, k), text_of(b.rec.skills[static_cast<std::size_t>(k - 1)].name));
}

void draw_item_count(Battle& b, i16 k) {
    if (k < 1 || k > 3) return;
    put_at(b, count_column, b.screen.list_top + 10, decimal(b.rec.hero.items[static_cast<std::size_t>(k - 1)].count));
}

void clear_list_row(Battle& b, i16 k) { put_at(b, window_column, entry_row(b, k), blanks(window_width)); }

void draw_item_title(Battle& b) { put_at(b, window_column, 0, "________Item________"); }

void draw_ability_title(Battle& b) { put_at(b, window_column, 0, "______Ability_______"); }

void clear_list_title(Battle& b) { put_at(b, window_column, 0, blanks(window_width)); }

void open_item_list(Battle& b) {
    set_text_attribute(b, attr_normal);
    for (i16 k = 3; k >= 1; --k) slide_entry(b, k, false);
    b.screen.list_top = to_i16(b.screen.list_top - 1);
    draw_item_title(b);
}

void open_ability_list(Battle& b) {
    set_text_attribute(b, attr_normal);
    // The lowest entry goes first, so that each one passes only through rows
    // above those already placed.
    for (i16 k = to_i16(last_skill_index(b.rec.hero.level) + 1); k >= 1; --k) slide_entry(b, k, true);
    b.screen.list_top = to_i16(b.screen.list_top - 1);
    draw_ability_title(b);
}

void use_item(Battle& b, i16 kind) {
    HeroStatus& hero = b.rec.hero;
    clear_message_window(b);
    b.state.items_used = to_i16(b.state.items_used + 1);
    const std::string_view name = text_of(hero.name);

    switch (kind) {
        case 1: {
            ItemStock& stock = hero.items[item_potion];
            stock.count = to_u16(stock.count - 1);
            const i16 before = hero.hp;
            // The figure counts up in the normal look, one point every 20 ms.
            for (int i = 0; i < potion_heal; ++i) {
                if (hero.hp + 1 > hero.max_hp) break;
                move_cursor(b, b.screen.left_origin + 11, 14);
                hero.hp = to_i16(hero.hp + 1);
                put(b, decimal(hero.hp));
                redraw_hp_bar(b);
                pause(b, 20);
            }
            const i16 healed = to_i16(hero.hp - before);
            post_message(b, format_number_message(format_name_message(sjis(" の体力が 回復しました。"), name), healed));
            break;
        }
        case 2:
        case 3: {
            const bool protein = kind == 2;
            b.state.active_effects = to_i16(b.state.active_effects + 1);
            ItemStock& stock = hero.items[protein ? item_protein : item_buckler];
            stock.count = to_u16(stock.count - 1);
            if (protein) {
                start_protein(b);
            } else {
                start_buckler(b);
            }
            for (const EffectSlot& slot : protein ? b.state.protein : b.state.buckler) {
                if (slot.counter == effect_start_counter) {
                    draw_effect_bar(b, effect_start_counter, slot.row);
                    break;
                }
            }
            const std::string& text = protein ? sjis(" の攻撃力がアップした。") : sjis(" の防御力がアップした。");
            post_message(b, format_name_message(text, name));
            break;
        }
        default: return;  // not an item: only the window and the use count change
    }
    wait_for_acknowledgement(b);
}

}  // namespace rpg
