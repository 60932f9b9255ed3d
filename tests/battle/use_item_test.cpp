// An item used and a tick pass as the battle shows them: figures, markers,
// bars, messages and the waits for the player, in order.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/flow.h"
#include "screen/screen_test_support.h"

namespace rpg {
namespace {

using testing::later;
using testing::set_text;
using testing::u8;

class UseItem : public testing::ScreenTest {
protected:
    UseItem() {
        HeroStatus& hero = b.rec.hero;
        set_text(hero.name, "アレス");
        hero.max_hp = 100;
        hero.hp = 100;
        hero.attack = 30;
        hero.defense = 20;
        hero.items = {ItemStock{0, 3}, ItemStock{0, 2}, ItemStock{0, 1}};
    }
    int bar_length(int row) const {
        int n = 0;
        for (int x = 5; x <= 22; ++x)
            if (con.cell(x, row).byte == '-') ++n;
        return n;
    }

    Battle b{con};
};

TEST_F(UseItem, PotionCountsTheFigureUpThenAnnouncesAndWaits) {
    b.rec.hero.hp = 95;
    con.add_key(key_enter, later);
    use_item(b, item_potion);
    EXPECT_EQ(b.rec.hero.hp, 100);
    std::vector<std::string> figures;
    for (const auto& e : prints_on_row(14)) {
        if (e.column >= 25) continue;  // the message window
        EXPECT_EQ(e.column, 12);
        EXPECT_EQ(e.attribute, 7);  // the figure loses its brightness
        figures.push_back(e.bytes);
    }
    EXPECT_EQ(figures, (std::vector<std::string>{"96", "97", "98", "99", "100"}));
    EXPECT_TRUE(con.shows(27, 13, "アレスの体力が5回復しました。"));
    EXPECT_EQ(con.keys_left(), 0u);  // waited for acknowledgement
    // Five 20 ms steps come before the message is typed.
    std::vector<int> s = sleeps();
    ASSERT_GE(s.size(), 5u);
    EXPECT_EQ(std::vector<int>(s.begin(), s.begin() + 5), std::vector<int>(5, 20));
}

TEST_F(UseItem, ProteinAndBucklerShowTheirMarkerAndFullBar) {
    struct Case {
        int item;
        const char* marker;
        const char* message;
    };
    const Case cases[] = {{item_protein, "SA", "アレスの攻撃力がアップした。"},
                          {item_buckler, "SD", "アレスの防御力がアップした。"}};
    for (const auto& c : cases) {
        MemoryConsole fresh;
        fresh.record_events(true);
        Battle battle(fresh);
        battle.rec = b.rec;
        fresh.add_key(key_enter, later);
        use_item(battle, c.item);
        EXPECT_TRUE(fresh.shows(1, 16, c.marker));
        EXPECT_EQ(fresh.attribute_at(1, 16), 15);
        EXPECT_EQ(battle.screen.text_attribute, attr_normal);
        EXPECT_EQ(fresh.row_text(16, 5, 18), std::string(18, '-'));
        EXPECT_EQ(u8(battle.screen.message_lines[0]), c.message);
        EXPECT_EQ(fresh.keys_left(), 0u);
        // The bar fills at 5 ms a cell before the message is typed.
        std::vector<int> s;
        for (const auto& e : fresh.events())
            if (e.kind == MemoryConsole::Event::sleep) s.push_back(e.milliseconds);
        ASSERT_GE(s.size(), 18u);
        EXPECT_EQ(std::vector<int>(s.begin(), s.begin() + 18), std::vector<int>(18, 5));
    }
}

TEST_F(UseItem, OtherIndicesOnlyClearTheWindow) {
    for (int item : {-1, 3}) {
        con.clear_events();
        use_item(b, item);  // no key is scripted: nothing may wait for one
        for (const auto& e : prints()) EXPECT_EQ(e.bytes, std::string(51, ' '));
    }
}

TEST_F(UseItem, TickPassRedrawsBarsInItsOrderAndAnnouncesEachEnd) {
    for (int k = 1; k <= 3; ++k) con.add_key(key_enter, k * later);
    use_item(b, item_protein);  // row 0
    use_item(b, item_buckler);  // row 1
    use_item(b, item_protein);  // row 2
    b.state.protein[0].counter = 1;
    b.state.buckler[0].counter = 1;
    con.clear_events();
    con.add_keys({key_space, key_left}, 5 * later);  // dropped by the wait
    con.add_key(key_enter, 6 * later);
    con.add_key(key_enter, 7 * later);
    run_tick_pass(b);
    // Protein slots 2 down to 0, then the Buckler: rows 2, 0, then 1.
    std::vector<int> rows;
    for (const auto& e : prints())
        if (e.column == 5 && e.bytes == std::string(18, ' ')) rows.push_back(e.row);
    EXPECT_EQ(rows, (std::vector<int>{18, 16, 17}));
    EXPECT_EQ(bar_length(18), 18);
    EXPECT_EQ(bar_length(16), 0);
    EXPECT_EQ(bar_length(17), 0);
    EXPECT_EQ(con.row_text(16, 1, 2), "  ");
    EXPECT_EQ(con.row_text(17, 1, 2), "  ");
    EXPECT_TRUE(con.shows(1, 18, "SA"));
    EXPECT_EQ(u8(b.screen.message_lines[1]), "プロテインの効果が切れました。");
    EXPECT_EQ(u8(b.screen.message_lines[0]), "バックラーの効果が切れました。");
    EXPECT_EQ(con.keys_left(), 0u);
}

}  // namespace
}  // namespace rpg
