#include <gtest/gtest.h>

#include <set>
#include <string>

#include "screen/message.h"
#include "screen_test_support.h"

namespace rpg {
namespace {

using testing::later;
using testing::u8;
using Event = MemoryConsole::Event;

class MessageWindow : public testing::ScreenTest {
protected:
    // The rows that received the 51-blank erase from column 27.
    std::set<int> erased_rows() const {
        std::set<int> rows;
        for (const auto& e : prints())
            if (e.column == 27 && e.bytes == std::string(51, ' ')) rows.insert(e.row);
        return rows;
    }
    // A post whose typing takes no time: a skip key waits from the start.
    void post_now(std::string_view utf8) {
        con.add_key(key_enter, con.now_ms());
        post_message(v, sjis(utf8));
    }
};

// ---------------------------------------------------------------- frame

// ---------------------------------------------------------------- scrolling

TEST_F(MessageWindow, FirstMessageDrawsBlanksBelowAndTypesOnRow13) {
    post_message(v, "Hi!");
    // Rows 17 to 14 get a single blank each at column 27, nothing is erased.
    std::vector<Event> p = prints();
    ASSERT_EQ(p.size(), 4u + 3u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p[static_cast<std::size_t>(i)].row, 17 - i);
        EXPECT_EQ(p[static_cast<std::size_t>(i)].column, 27);
        EXPECT_EQ(p[static_cast<std::size_t>(i)].bytes, " ");
    }
    // Then one byte at a time on row 13, each followed by 50 ms.
    EXPECT_EQ(p[4].bytes, "H");
    EXPECT_EQ(p[4].row, 13);
    EXPECT_EQ(p[4].column, 27);
    EXPECT_EQ(p[5].bytes, "i");
    EXPECT_EQ(p[6].bytes, "!");
    EXPECT_EQ(sleeps(), (std::vector<int>{50, 50, 50}));
    std::vector<Event> all = con.events();
    EXPECT_EQ(all[4].kind, Event::print);
    EXPECT_EQ(all[5].kind, Event::sleep);
    EXPECT_EQ(all[6].kind, Event::print);
    EXPECT_TRUE(con.shows(27, 13, "Hi!"));
    EXPECT_EQ(v.message_lines[0], "Hi!");
}

TEST_F(MessageWindow, EachPostErasesOnlyRowsThatShowText) {
    // Post i (1 to 6): the rows blanked before the lines are redrawn.
    const std::vector<std::set<int>> expected = {
        {}, {13}, {13, 14}, {13, 14, 15}, {13, 14, 15, 16}, {13, 14, 15, 16, 17},
    };
    const std::vector<std::string> texts = {
        "first message, the longest of all", "second", "third", "fourth", "fifth", "sixth"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        con.clear_events();
        post_now(texts[i]);
        EXPECT_EQ(erased_rows(), expected[i]) << "post " << i + 1;
    }
    // Newest on top; the first message has left the window and nothing of it
    // stays on row 17 behind the shorter second one.
    EXPECT_EQ(con.row_text(13, 27, 51), "sixth" + std::string(46, ' '));
    EXPECT_EQ(con.row_text(14, 27, 51), "fifth" + std::string(46, ' '));
    EXPECT_EQ(con.row_text(15, 27, 51), "fourth" + std::string(45, ' '));
    EXPECT_EQ(con.row_text(16, 27, 51), "third" + std::string(46, ' '));
    EXPECT_EQ(con.row_text(17, 27, 51), "second" + std::string(45, ' '));
    EXPECT_EQ(v.message_lines[4], "second");
}

TEST_F(MessageWindow, ClearBlanksEveryRowAndTheNextPostErasesNothing) {
    for (const char* text : {"a", "bb", "ccc"}) post_now(text);
    con.clear_events();
    clear_message_window(v);
    EXPECT_EQ(erased_rows(), (std::set<int>{13, 14, 15, 16, 17}));
    EXPECT_TRUE(sleeps().empty());
    for (const auto& line : v.message_lines) EXPECT_EQ(line, " ");
    for (int row = 13; row <= 17; ++row) EXPECT_TRUE(looks_blank(row, 27, 77)) << row;

    con.clear_events();
    post_now("new");
    EXPECT_TRUE(erased_rows().empty());
    EXPECT_TRUE(con.shows(27, 13, "new"));
}

TEST_F(MessageWindow, TheWindowKeepsItsOwnCopy) {
    std::string text = sjis("相手を倒しました。");
    post_message(v, text);
    text.assign("overwritten");
    EXPECT_EQ(u8(v.message_lines[0]), "相手を倒しました。");
    // A line of the window itself may be posted again.
    post_message(v, v.message_lines[0]);
    EXPECT_EQ(u8(v.message_lines[0]), "相手を倒しました。");
    EXPECT_EQ(u8(v.message_lines[1]), "相手を倒しました。");
}

// ---------------------------------------------------------------- typing and skip keys

const std::string ten_wide = "戦闘に勝ちました。！";  // ten full-width characters, 20 bytes

TEST_F(MessageWindow, EnterAfterTheFirstCharacterShowsTheRestAtOnce) {
    ASSERT_EQ(sjis(ten_wide).size(), 20u);  // 20 pauses of 50 ms without a key
    // The key arrives while the second character is being typed: it is read
    // after the next byte and every later pause is dropped.
    con.add_key(key_enter, 100);
    post_message(v, sjis(ten_wide));
    EXPECT_EQ(sleeps(), (std::vector<int>{50, 50}));
    EXPECT_TRUE(con.shows(27, 13, ten_wide));
    EXPECT_EQ(con.keys_left(), 0u);  // the Enter never reaches the menu
}

TEST_F(MessageWindow, OnlyEnterRightAndDownSkipButEveryKeyIsConsumed) {
    for (int code : {key_enter, key_right, key_down, key_space, key_left, key_up, int{'a'}}) {
        con.clear_events();
        con.add_key(code, con.now_ms());
        post_message(v, "abcd");
        const bool skips = code == key_enter || code == key_right || code == key_down;
        EXPECT_EQ(sleeps(), skips ? std::vector<int>{} : std::vector<int>(4, 50)) << code;
        EXPECT_EQ(con.keys_left(), 0u) << code;
    }
}

TEST_F(MessageWindow, ArrowPrefixIsDroppedAndItsDownCodeSkips) {
    con.add_arrow(key_down, 0);
    post_message(v, "abcd");
    // 224 is read after "a" (one pause follows), 80 after "b".
    EXPECT_EQ(sleeps(), (std::vector<int>{50}));
    EXPECT_EQ(con.keys_left(), 0u);
}

TEST_F(MessageWindow, ArrowSplitByTheMessageEndLeavesItsSecondCode) {
    con.add_arrow(key_down, 0);
    post_message(v, "a");
    ASSERT_EQ(con.keys_left(), 1u);
    EXPECT_EQ(con.read_key(), key_down);
}

TEST_F(MessageWindow, EveryWaitingKeyIsReadWhileTyping) {
    // A key is read after each byte, so two waiting keys are both taken by a
    // message of two or more bytes, even after the first has skipped.
    con.add_keys({key_enter, key_enter}, 0);
    con.add_key(key_enter, later);
    post_message(v, "ab");
    EXPECT_EQ(con.keys_left(), 1u);
    EXPECT_TRUE(sleeps().empty());
}

// ---------------------------------------------------------------- builders

struct NumberCase {
    const char* utf8_template;
    i16 value;
    const char* expected;
};

TEST(FormatNumberMessage, PutsTheNumberInPlaceOfTheFirstBlank) {
    const NumberCase cases[] = {
        {"相手に のダメージ!!", 12, "相手に12のダメージ!!"},
        {"経験値 を得ました。", 0, "経験値0を得ました。"},
        {"主人公に のダメージ!!", 32767, "主人公に32767のダメージ!!"},
        {" の攻撃!!", 7, "7の攻撃!!"},                                       // a leading blank puts the digits first
        {"相手に のダメージ!!", -5, "相手に-5のダメージ!!"},                 // a negative number keeps its sign
        {"相手に のダメージ!!", to_i16(40000), "相手に-25536のダメージ!!"},  // 16-bit value
        {"a b c", 1, "a1b c"},                                               // later blanks stay
        {"no-blank", 42, "no-blank42"},                                      // no blank: the number goes at the end
        {" ", 9, "9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(format_number_message(sjis(c.utf8_template), c.value)), c.expected) << c.utf8_template;
}

struct NameCase {
    const char* utf8_template;
    const char* utf8_name;
    const char* expected;
};

TEST(FormatNameMessage, PutsTheNameInPlaceOfTheFirstBlank) {
    const NameCase cases[] = {
        {" の攻撃!!", "ポーン", "ポーンの攻撃!!"},
        {" の攻撃力がアップした。", "アレス", "アレスの攻撃力がアップした。"},
        {" の体力が 回復しました。", "アレス", "アレスの体力が 回復しました。"},  // the second blank stays
        {"name", "X", "nameX"},
        {"before after", "", "beforeafter"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(format_name_message(sjis(c.utf8_template), sjis(c.utf8_name))), c.expected) << c.utf8_template;
    // Two blanks: the name takes the first, then the number the next.
    std::string text = format_number_message(format_name_message(sjis(" の体力が 回復しました。"), sjis("アレス")), 20);
    EXPECT_EQ(u8(text), "アレスの体力が20回復しました。");
}

}  // namespace
}  // namespace rpg
