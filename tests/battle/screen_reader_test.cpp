// Where a screen reader is sent in each state of the game, and what it is
// told: the point must be where the thing named stands on the screen.

#include "battle_fixture.h"
#include "field/field.h"
#include "screen/levelup.h"

namespace rpg::testing {
namespace {

struct Case {
    const char* state;
    // What is played on a battle set up with the fixture's records.
    void (*play)(Battle& b, MemoryConsole& con);
    int column;
    int row;
    const char* said;   // what the reader is told, as UTF-8
    const char* shown;  // what the screen shows from the point on
};

// The battle from its start, on key codes pressed as the game waits for
// them (an arrow's second code alone moves as the arrow), until they run out.
template <int... keys>
void battle_on(Battle& b, MemoryConsole& con) {
    (con.press(keys), ...);
    EXPECT_THROW(play_battle(b, 20261207), InputClosed);
}

void no_potion_left(Battle& b, MemoryConsole& con) {
    b.rec.hero.items[item_potion].count = 0;
    battle_on<key_down, key_down, key_enter, key_enter>(b, con);
}

void level_up(Battle& b, MemoryConsole&) {
    HeroStatus after = b.rec.hero;
    after.level = 4;
    after.max_hp = 130;
    after.exp = 50;
    const LevelUpTable table{b.rec.hero, after, 50};
    draw_level_up_box(b.screen, text_of(after.name));
    draw_level_up_values(b.screen, table);
}

void ending(Battle& b, MemoryConsole&) {
    draw_battle_screen(b);
    EXPECT_THROW(show_ending(b, Outcome::won), InputClosed);
}

// The field on open ground, the hero one step right of where it stood.
void field_step(Battle&, MemoryConsole& con) {
    Field field(con);
    for (auto& row : field.field_map) row.fill(0);
    field.hero().map_x = 10;
    field.hero().map_y = 5;
    con.set_cursor(10, 5);
    con.print(sjis("●"));
    move_hero(field, key_right);
}

const Case cases[] = {
    {"the menu as it opens", battle_on<>, 10, 1, "たたかう", "たたかう"},
    {"the menu after two moves down", battle_on<key_down, key_down>, 6, 7, "アイテム", "アイテム"},
    {"the last command, a column further", battle_on<key_down, key_down, key_down>, 5, 10, "にげる", "にげる"},
    {"the target banner as it comes", battle_on<key_enter>, 34, 9, "ポーン 1", "ポーン"},
    {"the target banner, the next enemy", battle_on<key_enter, key_right>, 34, 9, "ポーン 2", "ポーン"},
    {"the ability list as it opens", battle_on<key_enter, key_enter>, 62, 2, "剣の一撃", "剣の一撃"},
    {"the ability list, one down", battle_on<key_enter, key_enter, key_down>, 60, 4, "フレイム", "フレイム"},
    {"back from the ability list to the banner", battle_on<key_enter, key_enter, key_left>, 34, 9, "ポーン 1",
     "ポーン"},
    {"the item list as it opens", battle_on<key_down, key_down, key_enter>, 59, 2, "ポーション 3", "ポーション"},
    {"the item list, one down", battle_on<key_down, key_down, key_enter, key_down>, 59, 4, "プロテイン 2",
     "プロテイン"},
    {"back from the item list to the menu", battle_on<key_down, key_down, key_enter, key_space>, 6, 7, "アイテム",
     "アイテム"},
    {"the newest message once typed", no_potion_left, 27, 13, "そのアイテムは持っていません。",
     "そのアイテムは持っていません。"},
    {"the level-up screen's new values", level_up, 69, 2,
     "レベル 4、体力 130、攻撃力 30、防御力 20、魔法攻撃力 10、魔法防御力 12、素早さ 15、経験値 50", "4"},
    {"the ending's line, below the prompt", ending, 27, 14, "", "バトルに勝ちました。"},
    {"the hero in the field, after a step", field_step, 12, 5, "", "●"},
};

TEST(ScreenReader, RestsWhereTheStateNamesWhatIsSelectedOrNew) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        MemoryConsole con;
        Battle b{con};
        make_records(b.rec);
        c.play(b, con);
        const MemoryConsole::Announcement& last = con.last_announcement();
        EXPECT_EQ(last.column, c.column);
        EXPECT_EQ(last.row, c.row);
        EXPECT_EQ(utf8_from_sjis(last.sjis), c.said);
        EXPECT_TRUE(con.shows(c.column, c.row, c.shown)) << "the row there: " << con.row_text(c.row, c.column);
    }
}

// A selection is told when it changes, not again for a key that moves
// nothing; a message once, when it is typed.
TEST(ScreenReader, TellsEachChangeOnce) {
    MemoryConsole con;
    Battle b{con};
    make_records(b.rec);
    con.record_events(true);
    for (int key : {key_up, key_down, key_down, key_up, key_up, key_up}) con.press(key);
    EXPECT_THROW(play_battle(b, 1), InputClosed);
    std::vector<std::string> said;
    for (const MemoryConsole::Announcement& a : con.announcements()) said.push_back(utf8_from_sjis(a.sjis));
    EXPECT_EQ(said, (std::vector<std::string>{"たたかう", "ぼうぎょ", "アイテム", "ぼうぎょ", "たたかう"}));
}

}  // namespace
}  // namespace rpg::testing
