#include "rules/effects.h"

#include <array>
#include <string_view>

#include "platform/encoding.h"
#include "screen/draw.h"
#include "screen/message.h"
#include "screen/status.h"

namespace rpg {
namespace {

using Slots = std::array<EffectSlot, 3>;

constexpr int marker_column = 1;
constexpr int first_marker_row = 16;

// Takes the first free slot and the first free status-panel row, raises the
// stat and shows the marker. The item command makes sure both are free; if
// either were not, nothing is started.
void start_effect(Battle& b, Slots& slots, u16& stat, std::string_view marker) {
    EffectSlot* slot = nullptr;
    for (EffectSlot& s : slots) {
        if (s.counter == -1) {
            slot = &s;
            break;
        }
    }
    int row = -1;
    for (int i = 0; i < max_active_effects; ++i) {
        if (b.state.effect_rows[static_cast<std::size_t>(i)] == 0) {
            row = i;
            break;
        }
    }
    if (slot == nullptr || row < 0) return;

    stat = to_u16(stat + effect_boost);
    slot->counter = effect_start_counter;
    slot->row = to_u16(row);
    move_cursor(b, marker_column, first_marker_row + row);
    set_highlight(b);
    put(b, marker);
    set_text_attribute(b, attr_normal);
    b.state.effect_rows[static_cast<std::size_t>(row)] = 1;
}

// Ends the first run-out effect of one kind: the boost goes, the slot and its
// row are freed and the marker is blanked.
void end_effect(Battle& b, Slots& slots, u16& stat) {
    for (EffectSlot& slot : slots) {
        if (slot.counter != 0) continue;
        stat = to_u16(stat - effect_boost);
        slot.counter = -1;
        if (slot.row < b.state.effect_rows.size()) b.state.effect_rows[slot.row] = 0;
        put_at(b, marker_column, first_marker_row + slot.row, "  ");
        slot.row = 0;
        b.state.active_effects = to_i16(b.state.active_effects - 1);
        return;
    }
}

// Counts the running effects of one kind down, slot 2 first, and ends each one
// that runs out, announcing it and waiting for the player.
void tick_kind(Battle& b, bool protein) {
    Slots& slots = protein ? b.state.protein : b.state.buckler;
    for (int i = 2; i >= 0; --i) {
        EffectSlot& slot = slots[static_cast<std::size_t>(i)];
        if (slot.counter == -1) continue;
        slot.counter = to_i16(slot.counter - 1);
        draw_effect_bar(b, slot.counter, slot.row);
        if (slot.counter != 0) continue;
        if (protein) {
            end_protein(b);
            post_message(b, sjis("プロテインの効果が切れました。"));
        } else {
            end_buckler(b);
            post_message(b, sjis("バックラーの効果が切れました。"));
        }
        wait_for_acknowledgement(b);
    }
}

}  // namespace

void start_protein(Battle& b) { start_effect(b, b.state.protein, b.rec.hero.attack, "SA"); }

void start_buckler(Battle& b) { start_effect(b, b.state.buckler, b.rec.hero.defense, "SD"); }

void end_protein(Battle& b) { end_effect(b, b.state.protein, b.rec.hero.attack); }

void end_buckler(Battle& b) { end_effect(b, b.state.buckler, b.rec.hero.defense); }

void protein_tick(Battle& b) { tick_kind(b, true); }

void tick_pass(Battle& b) {
    tick_kind(b, true);
    tick_kind(b, false);
}

}  // namespace rpg
