#include "rules/effects.h"

#include <array>

namespace rpg {
namespace {

using Slots = std::array<EffectSlot, 3>;

Slots& slots_of(BattleState& state, EffectKind kind) {
    return kind == EffectKind::protein ? state.protein : state.buckler;
}

u16& stat_of(HeroStatus& hero, EffectKind kind) { return kind == EffectKind::protein ? hero.attack : hero.defense; }

// Counts the running effects of one kind down, slot 2 first, and ends each one
// that runs out.
void tick_kind(BattleState& state, HeroStatus& hero, EffectKind kind, std::vector<EffectTick>& ticks) {
    Slots& slots = slots_of(state, kind);
    for (int i = 2; i >= 0; --i) {
        EffectSlot& slot = slots[static_cast<std::size_t>(i)];
        if (slot.counter == -1) continue;
        slot.counter = to_i16(slot.counter - 1);
        EffectTick tick{kind, slot.row, slot.counter, std::nullopt};
        if (slot.counter == 0) tick.ended_row = end_effect(state, hero, kind);
        ticks.push_back(tick);
    }
}

}  // namespace

std::optional<u16> start_effect(BattleState& state, HeroStatus& hero, EffectKind kind) {
    EffectSlot* slot = nullptr;
    for (EffectSlot& s : slots_of(state, kind)) {
        if (s.counter == -1) {
            slot = &s;
            break;
        }
    }
    int row = -1;
    for (int i = 0; i < max_active_effects; ++i) {
        if (state.effect_rows[static_cast<std::size_t>(i)] == 0) {
            row = i;
            break;
        }
    }
    if (slot == nullptr || row < 0) return std::nullopt;

    u16& stat = stat_of(hero, kind);
    stat = to_u16(stat + effect_boost);
    slot->counter = effect_start_counter;
    slot->row = to_u16(row);
    state.effect_rows[static_cast<std::size_t>(row)] = 1;
    return slot->row;
}

std::optional<u16> end_effect(BattleState& state, HeroStatus& hero, EffectKind kind) {
    for (EffectSlot& slot : slots_of(state, kind)) {
        if (slot.counter != 0) continue;
        u16& stat = stat_of(hero, kind);
        stat = to_u16(stat - effect_boost);
        slot.counter = -1;
        if (slot.row < state.effect_rows.size()) state.effect_rows[slot.row] = 0;
        const u16 row = slot.row;
        slot.row = 0;
        state.active_effects = to_i16(state.active_effects - 1);
        return row;
    }
    return std::nullopt;
}

std::vector<EffectTick> protein_tick(BattleState& state, HeroStatus& hero) {
    std::vector<EffectTick> ticks;
    tick_kind(state, hero, EffectKind::protein, ticks);
    return ticks;
}

std::vector<EffectTick> tick_pass(BattleState& state, HeroStatus& hero) {
    std::vector<EffectTick> ticks;
    tick_kind(state, hero, EffectKind::protein, ticks);
    tick_kind(state, hero, EffectKind::buckler, ticks);
    return ticks;
}

ItemUse apply_item(BattleState& state, HeroStatus& hero, int item) {
    ItemUse use;
    use.hp_before = hero.hp;
    state.items_used = to_i16(state.items_used + 1);
    switch (item) {
        case item_potion: {
            ItemStock& stock = hero.items[item_potion];
            stock.count = to_u16(stock.count - 1);
            // Up to 20 points, none of them above the maximum.
            while (use.healed < potion_heal && hero.hp + 1 <= hero.max_hp) {
                hero.hp = to_i16(hero.hp + 1);
                use.healed = to_i16(use.healed + 1);
            }
            break;
        }
        case item_protein:
        case item_buckler: {
            state.active_effects = to_i16(state.active_effects + 1);
            ItemStock& stock = hero.items[static_cast<std::size_t>(item)];
            stock.count = to_u16(stock.count - 1);
            use.effect_row =
                start_effect(state, hero, item == item_protein ? EffectKind::protein : EffectKind::buckler);
            break;
        }
        default: break;
    }
    return use;
}

}  // namespace rpg
