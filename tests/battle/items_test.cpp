// The item command: refusals, turns spent on items, and effects counting down.

#include "battle_fixture.h"
#include "rules/effects.h"

namespace rpg::testing {
namespace {

class Items : public BattleTest {
protected:
    Items() {
        // Harmless enemies that always miss, so item turns are easy to count.
        b.pawn().speed = 0;
        b.rec.hero.speed = 100;
    }
    // From the command menu into the item window, down to the given item.
    void open_items(int item) {
        con.press_arrow(key_down);
        con.press_arrow(key_down);
        con.press(key_enter);
        for (int i = 0; i < item; ++i) con.press_arrow(key_down);
    }
    void answer_enemy_phase() { con.press({key_enter, key_enter, key_enter}); }
    void run_until_keys_end() { EXPECT_THROW(command_loop(b), InputClosed); }
};

TEST_F(Items, ItemWithNoStockIsRefusedWithoutATurn) {
    b.rec.hero.items[item_potion].count = 0;
    open_items(0);
    con.press(key_enter);  // use the Potion
    con.press(key_enter);  // acknowledge the refusal
    run_until_keys_end();
    EXPECT_TRUE(con.shows(27, 13, "そのアイテムは持っていません。"));
    EXPECT_EQ(b.state.turn_count, 0);
    EXPECT_EQ(b.state.items_used, 0);
}

TEST_F(Items, FourthEffectIsRefusedButThePotionIsNot) {
    b.state.active_effects = 3;
    open_items(1);
    con.press({key_enter, key_enter});  // Protein: refused, acknowledged
    run_until_keys_end();
    EXPECT_TRUE(con.shows(27, 13, "アイテムは同時に３つまでしか使えません。"));
    EXPECT_EQ(b.state.turn_count, 0);
    EXPECT_EQ(b.rec.hero.items[item_protein].count, 2);

    MemoryConsole console;
    Battle battle{console};
    make_records(battle.rec);
    set_up_encounter(battle, 3);
    battle.pawn().speed = 0;
    battle.rec.hero.speed = 100;
    battle.state.active_effects = 3;
    battle.rec.hero.hp = 50;
    console.press_arrow(key_down);
    console.press_arrow(key_down);
    console.press({key_enter, key_enter, key_enter});  // item window, Potion, acknowledge the heal
    console.press({key_enter, key_enter, key_enter});  // the enemy phase
    EXPECT_THROW(command_loop(battle), InputClosed);
    EXPECT_EQ(battle.rec.hero.hp, 70);
    EXPECT_EQ(battle.state.turn_count, 4);
    EXPECT_EQ(battle.rec.hero.items[item_potion].count, 2);
}

TEST_F(Items, MissingStockIsReportedBeforeTheEffectLimit) {
    b.state.active_effects = 3;
    b.rec.hero.items[item_protein].count = 0;
    open_items(1);
    con.press({key_enter, key_enter});
    run_until_keys_end();
    EXPECT_TRUE(con.shows(27, 13, "そのアイテムは持っていません。"));
}

TEST_F(Items, WindowStaysOpenAndShowsTheLoweredStock) {
    open_items(2);
    con.press(key_enter);  // Buckler
    con.press(key_enter);  // acknowledge its message
    answer_enemy_phase();
    con.press(key_enter);  // and again, as a new turn
    con.press(key_enter);
    answer_enemy_phase();
    run_until_keys_end();
    EXPECT_EQ(b.rec.hero.items[item_buckler].count, 0);
    EXPECT_EQ(b.state.items_used, 2);
    EXPECT_EQ(b.state.turn_count, 8);
    EXPECT_EQ(b.state.active_effects, 2);
    EXPECT_EQ(b.rec.hero.defense, 30);
    EXPECT_TRUE(con.shows(65, 10, "0"));
    EXPECT_EQ(con.attribute_at(65, 10), 15);
    EXPECT_TRUE(con.shows(62, 10, "×"));
    EXPECT_TRUE(con.shows(59, 6, "バックラー"));
    EXPECT_EQ(con.attribute_at(55, 6), 15);  // the Buckler's arrows stay bright
}

TEST_F(Items, ProteinAndBucklerOneTurnApartStandAtSevenAndNine) {
    open_items(1);
    con.press({key_enter, key_enter});  // Protein and its message
    answer_enemy_phase();
    con.press_arrow(key_down);
    con.press({key_enter, key_enter});  // Buckler and its message
    answer_enemy_phase();
    run_until_keys_end();
    EXPECT_EQ(b.state.protein[0].counter, 7);
    EXPECT_EQ(b.state.buckler[0].counter, 9);
    EXPECT_EQ(b.state.protein[0].row, 0);
    EXPECT_EQ(b.state.buckler[0].row, 1);
    EXPECT_TRUE(con.shows(1, 16, "SA"));
    EXPECT_TRUE(con.shows(1, 17, "SD"));
}

TEST_F(Items, EffectEndsInTheFirstTickPassOfItsFifthTurn) {
    b.rec.hero.items[item_potion].count = 9;
    open_items(1);
    con.press({key_enter, key_enter});  // Protein: 11, then 9 when the turn ends
    answer_enemy_phase();
    con.press_arrow(key_up);
    for (int turn = 0; turn < 4; ++turn) {  // four Potion turns: 7, 5, 3, 1
        con.press({key_enter, key_enter});
        answer_enemy_phase();
    }
    con.press({key_enter, key_enter});  // the fifth: its first tick pass ends the Protein
    con.press(key_enter);               // "プロテインの効果が切れました。"
    run_until_keys_end();               // stops at the first enemy's attack of that turn
    EXPECT_EQ(b.rec.hero.attack, 30);
    EXPECT_EQ(b.state.protein[0].counter, -1);
    EXPECT_EQ(b.state.active_effects, 0);
    EXPECT_EQ(b.state.turn_count, 22);
    EXPECT_TRUE(con.shows(27, 14, "ポーンの攻撃!!"));
    EXPECT_EQ(con.row_text(16, 1, 2), "  ");
}

TEST_F(Items, LeavingTheWindowClearsItAndGoesBackToTheMenu) {
    open_items(1);
    con.press_arrow(key_left);
    con.press_arrow(key_down);  // the menu moves again: the window is gone
    run_until_keys_end();
    EXPECT_EQ(b.menu.item_index, 0);
    EXPECT_EQ(b.menu.command_index, 3);
    for (int row : {0, 2, 4, 6, 10}) EXPECT_EQ(con.row_text(row, 54, 20), std::string(20, ' ')) << row;
    EXPECT_EQ(con.row_text(7, 24, 27), std::string(27, ' '));
}

}  // namespace
}  // namespace rpg::testing
