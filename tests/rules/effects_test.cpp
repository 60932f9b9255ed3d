#include "rules/effects.h"

#include <gtest/gtest.h>

#include <vector>

namespace rpg {
namespace {

class Effects : public ::testing::Test {
protected:
    Effects() {
        hero.attack = 30;
        hero.defense = 20;
        hero.max_hp = 100;
        hero.hp = 100;
        hero.items = {ItemStock{0, 3}, ItemStock{0, 2}, ItemStock{0, 2}};
    }
    // What the item use does around a start: the effect is counted.
    std::optional<u16> begin(EffectKind kind) {
        state.active_effects = to_i16(state.active_effects + 1);
        return start_effect(state, hero, kind);
    }
    int rows_in_use() const {
        int n = 0;
        for (i16 f : state.effect_rows) n += f;
        return n;
    }

    BattleState state;
    HeroStatus hero;
};

constexpr EffectKind protein = EffectKind::protein;
constexpr EffectKind buckler = EffectKind::buckler;

// ---------------------------------------------------------------- starting and ending

TEST_F(Effects, StartsTakeTheFirstFreeSlotAndRowAndStack) {
    EXPECT_EQ(begin(protein), 0);
    EXPECT_EQ(begin(buckler), 1);
    EXPECT_EQ(begin(protein), 2);
    EXPECT_EQ(hero.attack, 40);
    EXPECT_EQ(hero.defense, 25);
    EXPECT_EQ(state.protein[1].counter, 11);
    EXPECT_EQ(state.protein[1].row, 2);
    // A Protein beside a Buckler in row 0 takes row 1 even with slot 0 free.
    BattleState fresh;
    HeroStatus h;
    fresh.effect_rows[0] = 1;
    EXPECT_EQ(start_effect(fresh, h, protein), 1);
    EXPECT_EQ(fresh.protein[0].row, 1);
    // No start without a free row (the item command never lets it happen).
    EXPECT_EQ(start_effect(state, hero, buckler), std::nullopt);
    EXPECT_EQ(hero.defense, 25);
}

TEST_F(Effects, EndFreesTheRowForTheNextStart) {
    begin(protein);                                             // row 0
    begin(buckler);                                             // row 1
    begin(protein);                                             // row 2
    EXPECT_EQ(end_effect(state, hero, buckler), std::nullopt);  // none has run out
    state.buckler[0].counter = 0;
    EXPECT_EQ(end_effect(state, hero, buckler), 1);
    EXPECT_EQ(hero.defense, 20);
    EXPECT_EQ(state.buckler[0].counter, -1);
    EXPECT_EQ(state.buckler[0].row, 0);
    EXPECT_EQ(state.active_effects, 2);
    EXPECT_EQ(rows_in_use(), 2);
    EXPECT_EQ(begin(buckler), 1);
}

// ---------------------------------------------------------------- tick passes

TEST_F(Effects, TickPassCountsDownProteinSlotsFromTwoThenBucklers) {
    begin(protein);  // slot 0, row 0
    begin(buckler);  // slot 0, row 1
    begin(protein);  // slot 1, row 2
    const std::vector<EffectTick> ticks = tick_pass(state, hero);
    ASSERT_EQ(ticks.size(), 3u);
    const u16 rows[] = {2, 0, 1};
    const EffectKind kinds[] = {protein, protein, buckler};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ticks[i].row, rows[i]) << i;
        EXPECT_EQ(ticks[i].kind, kinds[i]) << i;
        EXPECT_EQ(ticks[i].counter, 10) << i;
        EXPECT_FALSE(ticks[i].ended_row) << i;
    }
    // The Protein half leaves the Buckler alone.
    EXPECT_EQ(protein_tick(state, hero).size(), 2u);
    EXPECT_EQ(state.protein[0].counter, 9);
    EXPECT_EQ(state.buckler[0].counter, 10);
}

TEST_F(Effects, EffectsRunningOutEndInThePassProteinFirst) {
    begin(buckler);  // row 0
    begin(protein);  // row 1
    state.protein[0].counter = 1;
    state.buckler[0].counter = 1;
    const std::vector<EffectTick> ticks = tick_pass(state, hero);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[0].kind, protein);
    EXPECT_EQ(ticks[0].counter, 0);
    EXPECT_EQ(ticks[0].ended_row, 1);
    EXPECT_EQ(ticks[1].kind, buckler);
    EXPECT_EQ(ticks[1].ended_row, 0);
    EXPECT_EQ(state.active_effects, 0);
    EXPECT_EQ(rows_in_use(), 0);
    EXPECT_EQ(hero.attack, 30);
    EXPECT_EQ(hero.defense, 20);
}

TEST_F(Effects, ProteinFromOneTurnAndBucklerFromTheNext) {
    // Each full turn runs two tick passes.
    begin(protein);
    tick_pass(state, hero);
    tick_pass(state, hero);
    begin(buckler);
    tick_pass(state, hero);
    tick_pass(state, hero);
    EXPECT_EQ(state.protein[0].counter, 7);
    EXPECT_EQ(state.buckler[0].counter, 9);
    // The Protein runs out one full turn before the Buckler.
    int protein_end = 0, buckler_end = 0;
    for (int pass = 1; pass <= 12; ++pass) {
        for (const EffectTick& tick : tick_pass(state, hero)) {
            if (!tick.ended_row) continue;
            (tick.kind == protein ? protein_end : buckler_end) = pass;
        }
    }
    EXPECT_EQ(protein_end, 7);
    EXPECT_EQ(buckler_end, 9);
}

// ---------------------------------------------------------------- items

TEST_F(Effects, ItemsSpendStockCountTheUseAndAct) {
    struct Case {
        int item;
        i16 hp;
        i16 healed;
        u16 attack, defense;
        std::array<u16, 3> stock;
    };
    const Case cases[] = {
        {item_potion, 95, 5, 30, 20, {2, 2, 2}},   // never above the maximum
        {item_potion, 10, 20, 30, 20, {2, 2, 2}},  // at most 20
        {item_potion, 93, 7, 30, 20, {2, 2, 2}},   // max_hp - 7 restores 7
        {item_potion, 100, 0, 30, 20, {2, 2, 2}},  // spent at full hit points
        {item_protein, 50, 0, 35, 20, {3, 1, 2}},
        {item_buckler, 50, 0, 30, 25, {3, 2, 1}},
        {3, 50, 0, 30, 20, {3, 2, 2}},  // not an item: only counted
    };
    for (const Case& c : cases) {
        BattleState s;
        HeroStatus h = hero;
        h.hp = c.hp;
        const ItemUse use = apply_item(s, h, c.item);
        EXPECT_EQ(s.items_used, 1) << c.item;
        EXPECT_EQ(use.hp_before, c.hp) << c.item;
        EXPECT_EQ(use.healed, c.healed) << c.item << " " << c.hp;
        EXPECT_EQ(h.hp, c.hp + c.healed) << c.item;
        EXPECT_EQ(h.attack, c.attack) << c.item;
        EXPECT_EQ(h.defense, c.defense) << c.item;
        for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(h.items[k].count, c.stock[k]) << c.item << " " << k;
        const bool effect = c.item == item_protein || c.item == item_buckler;
        EXPECT_EQ(s.active_effects, effect ? 1 : 0) << c.item;
        EXPECT_EQ(use.effect_row, effect ? std::optional<u16>(0) : std::nullopt) << c.item;
    }
}

}  // namespace
}  // namespace rpg
