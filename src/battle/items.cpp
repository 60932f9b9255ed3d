// An item used and the timed effects counting down, as the battle shows them.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "screen/draw.h"
#include "screen/message.h"
#include "screen/status.h"

namespace rpg {
namespace {

std::string_view marker_of(EffectKind kind) { return kind == EffectKind::protein ? "SA" : "SD"; }

}  // namespace

void use_item(Battle& b, int item) {
    HeroStatus& hero = b.rec.hero;
    clear_message_window(b.screen);
    const ItemUse use = apply_item(b.state, hero, item);
    const std::string_view name = text_of(hero.name);
    switch (item) {
        case item_potion:
            hp_countup(b.screen, use.hp_before, hero.hp, hero.max_hp);
            post_message(b.screen, format_number_message(format_name_message(sjis(" の体力が 回復しました。"), name),
                                                         use.healed));
            break;
        case item_protein:
        case item_buckler: {
            const bool protein = item == item_protein;
            if (use.effect_row) {
                draw_effect_marker(b.screen, *use.effect_row,
                                   marker_of(protein ? EffectKind::protein : EffectKind::buckler));
                draw_effect_bar(b.screen, effect_start_counter, *use.effect_row);
            }
            const std::string& text = protein ? sjis(" の攻撃力がアップした。") : sjis(" の防御力がアップした。");
            post_message(b.screen, format_name_message(text, name));
            break;
        }
        default: return;  // not an item: only the window and the use count change
    }
    wait_for_acknowledgement(b.screen);
}

void show_ticks(Battle& b, const std::vector<EffectTick>& ticks) {
    for (const EffectTick& tick : ticks) {
        draw_effect_bar(b.screen, tick.counter, tick.row);
        if (tick.counter != 0) continue;
        if (tick.ended_row) erase_effect_marker(b.screen, *tick.ended_row);
        post_message(b.screen, tick.kind == EffectKind::protein ? sjis("プロテインの効果が切れました。")
                                                                : sjis("バックラーの効果が切れました。"));
        wait_for_acknowledgement(b.screen);
    }
}

void run_tick_pass(Battle& b) { show_ticks(b, tick_pass(b.state, b.rec.hero)); }

void run_protein_tick(Battle& b) { show_ticks(b, protein_tick(b.state, b.rec.hero)); }

}  // namespace rpg
