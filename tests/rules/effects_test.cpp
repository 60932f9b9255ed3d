#include "rules/effects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screen/battle.h"
#include "screen/screen_test_support.h"

namespace rpg {
namespace {

using testing::later;
using testing::u8;

class Effects : public testing::ScreenTest {
protected:
    Effects() {
        b.rec.hero.attack = 30;
        b.rec.hero.defense = 20;
    }
    // What use_item does around a start: the caller counts the effect.
    void begin_protein() {
        b.state.active_effects = to_i16(b.state.active_effects + 1);
        start_protein(b);
    }
    void begin_buckler() {
        b.state.active_effects = to_i16(b.state.active_effects + 1);
        start_buckler(b);
    }
    // One acknowledgement key for each message that will wait.
    void script_acknowledgements(int n) {
        for (int i = 1; i <= n; ++i) con.add_key(key_enter, later * (next_key_ += 1));
    }
    int bar_length(int row) const {
        int n = 0;
        for (int x = 5; x <= 22; ++x)
            if (con.cell(x, row).byte == '-') ++n;
        return n;
    }
    int flags_set() const {
        int n = 0;
        for (i16 f : b.state.effect_rows) n += f;
        return n;
    }

private:
    std::int64_t next_key_ = 0;
};

// ---------------------------------------------------------------- starting

TEST_F(Effects, ProteinTakesTheFirstSlotAndRow) {
    begin_protein();
    EXPECT_EQ(b.rec.hero.attack, 35);
    EXPECT_EQ(b.rec.hero.defense, 20);
    EXPECT_EQ(b.state.protein[0].counter, 11);
    EXPECT_EQ(b.state.protein[0].row, 0);
    EXPECT_EQ(b.state.protein[1].counter, -1);
    EXPECT_EQ(b.state.effect_rows[0], 1);
    EXPECT_TRUE(con.shows(1, 16, "SA"));
    EXPECT_EQ(con.attribute_at(1, 16), 15);
    EXPECT_EQ(con.attribute_at(2, 16), 15);
    EXPECT_EQ(b.screen.text_attribute, attr_normal);
    EXPECT_TRUE(sleeps().empty());
}

TEST_F(Effects, BoostsStack) {
    begin_protein();
    begin_protein();
    EXPECT_EQ(b.rec.hero.attack, 40);
    EXPECT_EQ(b.state.protein[1].counter, 11);
    EXPECT_EQ(b.state.protein[1].row, 1);
    EXPECT_TRUE(con.shows(1, 17, "SA"));
}

TEST_F(Effects, ProteinBesideABucklerInRowZeroTakesRowOne) {
    begin_buckler();
    begin_protein();
    EXPECT_EQ(b.state.protein[0].counter, 11);  // slot 0 is free and taken
    EXPECT_EQ(b.state.protein[0].row, 1);
    EXPECT_TRUE(con.shows(1, 17, "SA"));
    EXPECT_TRUE(con.shows(1, 16, "SD"));
}

TEST_F(Effects, NoStartWithoutAFreeSlotOrRow) {
    for (int i = 0; i < 3; ++i) begin_protein();
    con.clear_events();
    start_protein(b);  // the item command never lets this happen
    start_buckler(b);
    EXPECT_EQ(b.rec.hero.attack, 45);
    EXPECT_EQ(b.rec.hero.defense, 20);
    EXPECT_TRUE(prints().empty());
}

// ---------------------------------------------------------------- ending

TEST_F(Effects, EndFreesTheRowAndBlanksTheMarker) {
    begin_protein();  // row 0
    begin_buckler();  // row 1
    begin_protein();  // row 2
    b.state.buckler[0].counter = 0;
    end_buckler(b);
    EXPECT_EQ(b.rec.hero.defense, 20);
    EXPECT_EQ(b.state.buckler[0].counter, -1);
    EXPECT_EQ(b.state.buckler[0].row, 0);
    EXPECT_EQ(b.state.effect_rows[1], 0);
    EXPECT_EQ(b.state.active_effects, 2);
    EXPECT_EQ(con.row_text(17, 1, 2), "  ");
    EXPECT_TRUE(con.shows(1, 16, "SA"));
    EXPECT_TRUE(con.shows(1, 18, "SA"));
    // The next effect takes the freed row 1.
    begin_buckler();
    EXPECT_EQ(b.state.buckler[0].row, 1);
    EXPECT_TRUE(con.shows(1, 17, "SD"));
    EXPECT_EQ(flags_set(), 3);
}

TEST_F(Effects, EndWithoutARunOutSlotDoesNothing) {
    begin_protein();
    con.clear_events();
    end_protein(b);
    end_buckler(b);
    EXPECT_EQ(b.rec.hero.attack, 35);
    EXPECT_EQ(b.state.active_effects, 1);
    EXPECT_TRUE(prints().empty());
}

// ---------------------------------------------------------------- tick passes

TEST_F(Effects, TickCountsDownAndRedrawsEachBarInOrder) {
    begin_protein();  // slot 0, row 0
    begin_buckler();  // slot 0, row 1
    begin_protein();  // slot 1, row 2
    con.clear_events();
    tick_pass(b);
    EXPECT_EQ(b.state.protein[0].counter, 10);
    EXPECT_EQ(b.state.protein[1].counter, 10);
    EXPECT_EQ(b.state.buckler[0].counter, 10);
    // Protein slots 2 down to 0, then the Buckler: rows 2, 0, then 1.
    std::vector<int> rows;
    for (const auto& e : prints())
        if (e.column == 5 && e.bytes == std::string(18, ' ')) rows.push_back(e.row);
    EXPECT_EQ(rows, (std::vector<int>{18, 16, 17}));
    for (int row = 16; row <= 18; ++row) EXPECT_EQ(bar_length(row), 18);
    EXPECT_TRUE(sleeps().empty());
    tick_pass(b);
    for (int row = 16; row <= 18; ++row) EXPECT_EQ(bar_length(row), 16);
}

TEST_F(Effects, ProteinHalfLeavesBucklersAlone) {
    begin_protein();
    begin_buckler();
    protein_tick(b);
    EXPECT_EQ(b.state.protein[0].counter, 10);
    EXPECT_EQ(b.state.buckler[0].counter, 11);
}

TEST_F(Effects, RunOutEffectEndsWithItsMessageAndWaits) {
    begin_protein();
    b.state.protein[0].counter = 1;
    con.add_keys({key_space, key_left}, later);  // dropped by the wait
    script_acknowledgements(1);
    tick_pass(b);
    EXPECT_EQ(b.state.protein[0].counter, -1);
    EXPECT_EQ(b.rec.hero.attack, 30);
    EXPECT_EQ(b.state.active_effects, 0);
    EXPECT_EQ(flags_set(), 0);
    EXPECT_EQ(con.row_text(16, 1, 2), "  ");
    EXPECT_EQ(bar_length(16), 0);
    EXPECT_EQ(u8(b.screen.message_lines[0]), "プロテインの効果が切れました。");
    EXPECT_EQ(con.keys_left(), 0u);
}

TEST_F(Effects, ProteinAndBucklerEndingTogetherEndOneAfterTheOther) {
    begin_buckler();
    begin_protein();
    b.state.protein[0].counter = 1;
    b.state.buckler[0].counter = 1;
    script_acknowledgements(2);
    tick_pass(b);
    EXPECT_EQ(u8(b.screen.message_lines[1]), "プロテインの効果が切れました。");
    EXPECT_EQ(u8(b.screen.message_lines[0]), "バックラーの効果が切れました。");
    EXPECT_EQ(con.keys_left(), 0u);
    EXPECT_EQ(b.state.active_effects, 0);
    EXPECT_EQ(b.rec.hero.attack, 30);
    EXPECT_EQ(b.rec.hero.defense, 20);
}

TEST_F(Effects, ProteinFromOneTurnAndBucklerFromTheNext) {
    // Each full turn runs two tick passes.
    begin_protein();
    tick_pass(b);
    tick_pass(b);
    begin_buckler();
    tick_pass(b);
    tick_pass(b);
    EXPECT_EQ(b.state.protein[0].counter, 7);
    EXPECT_EQ(b.state.buckler[0].counter, 9);
    // The Protein runs out one full turn before the Buckler.
    script_acknowledgements(2);
    int passes = 0;
    int protein_end = 0, buckler_end = 0;
    while (b.state.active_effects > 0 && passes < 40) {
        tick_pass(b);
        ++passes;
        if (!protein_end && b.state.protein[0].counter == -1) protein_end = passes;
        if (!buckler_end && b.state.buckler[0].counter == -1) buckler_end = passes;
    }
    EXPECT_EQ(protein_end, 7);
    EXPECT_EQ(buckler_end, 9);
}

}  // namespace
}  // namespace rpg
