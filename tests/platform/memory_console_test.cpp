// The test console: scripted keys on a virtual clock.

#include "platform/memory/memory_console.h"

#include <gtest/gtest.h>

#include "platform/encoding.h"

namespace rpg {
namespace {

TEST(MemoryConsole, KeysArriveAtTheirTime) {
    MemoryConsole console;
    console.add_key(key_enter, 100);
    EXPECT_FALSE(console.key_waiting());
    console.sleep_ms(99);
    EXPECT_FALSE(console.key_waiting());
    console.sleep_ms(1);
    EXPECT_TRUE(console.key_waiting());
    EXPECT_EQ(console.read_key(), key_enter);
    EXPECT_FALSE(console.key_waiting());
}

TEST(MemoryConsole, ReadingWaitsForALaterKeyOnTheClock) {
    MemoryConsole console;
    console.add_key('a', 500);
    EXPECT_EQ(console.read_key(), 'a');
    EXPECT_EQ(console.now_ms(), 500);
    // A key that was already waiting does not turn the clock back.
    console.add_key('b', 200);
    EXPECT_EQ(console.read_key(), 'b');
    EXPECT_EQ(console.now_ms(), 500);
}

TEST(MemoryConsole, KeysKeepTimeOrderAndArrowsComeAsTwoCodes) {
    MemoryConsole console;
    console.add_key('z', 300);
    console.add_arrow(key_down, 100);
    console.add_keys({'x', 'y'}, 100);
    EXPECT_EQ(console.keys_left(), 5u);
    const int expected[] = {key_arrow_prefix, key_down, 'x', 'y', 'z'};
    for (int code : expected) EXPECT_EQ(console.read_key(), code);
}

TEST(MemoryConsole, ExhaustedScriptEndsTheInput) {
    MemoryConsole console;
    console.add_key(key_space);
    console.read_key();
    EXPECT_THROW(console.read_key(), InputClosed);
}

TEST(MemoryConsole, SleepsAdvanceTheClockAndAreRecorded) {
    MemoryConsole console;
    console.record_events(true);
    console.set_cursor(3, 4);
    console.set_attribute(15);
    console.print("ab");
    console.sleep_ms(50);
    console.sleep_ms(-5);  // nothing negative
    EXPECT_EQ(console.now_ms(), 50);
    EXPECT_EQ(console.total_sleep_ms(), 50);
    const auto& events = console.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, MemoryConsole::Event::print);
    EXPECT_EQ(events[0].column, 3);
    EXPECT_EQ(events[0].row, 4);
    EXPECT_EQ(events[0].attribute, 15);
    EXPECT_EQ(events[0].bytes, "ab");
    EXPECT_EQ(events[1].kind, MemoryConsole::Event::sleep);
    EXPECT_EQ(events[1].milliseconds, 50);
    EXPECT_EQ(events[2].milliseconds, 0);
}

TEST(MemoryConsole, EventsAreOffUnlessAskedFor) {
    MemoryConsole console;
    console.print("x");
    console.sleep_ms(10);
    EXPECT_TRUE(console.events().empty());
}

TEST(MemoryConsole, SecondsComeFromTheVirtualClock) {
    MemoryConsole console;
    console.set_epoch_seconds(1000);
    EXPECT_EQ(console.now_seconds(), 1000);
    console.sleep_ms(1999);
    EXPECT_EQ(console.now_seconds(), 1001);
    console.sleep_ms(1);
    EXPECT_EQ(console.now_seconds(), 1002);
}

TEST(MemoryConsole, ScreenHelpersReadShiftJisCells) {
    MemoryConsole console;
    console.set_cursor(3, 2);
    console.print(sjis("たたかう"));
    console.set_attribute(15);
    console.print(sjis("●"));
    EXPECT_TRUE(console.shows(3, 2, "たたかう●"));
    EXPECT_FALSE(console.shows(4, 2, "たたかう"));
    EXPECT_FALSE(console.shows(3, 3, "たたかう"));
    EXPECT_EQ(console.row_text(2, 3, 8), "たたかう");
    EXPECT_EQ(console.attribute_at(11, 2), 15);
    EXPECT_EQ(console.attribute_at(10, 2), 7);
    EXPECT_EQ(console.cell(3, 2).byte, static_cast<std::uint8_t>(sjis("た")[0]));
    // A text that would run past the right edge is not shown there.
    console.set_cursor(78, 5);
    console.print(sjis("た"));
    EXPECT_TRUE(console.shows(78, 5, "た"));
    EXPECT_FALSE(console.shows(78, 5, "たた"));
}

TEST(MemoryConsole, ScreenTextTrimsEachRow) {
    MemoryConsole console(10, 3);
    console.set_cursor(2, 1);
    console.print("hi ");
    EXPECT_EQ(console.screen_text(), "\n  hi\n\n");
}

TEST(MemoryConsole, LinePrintBreaksTheLine) {
    MemoryConsole console;
    console.set_cursor(5, 5);
    console.line_print("ab");
    EXPECT_EQ(console.grid().cursor_column(), 0);
    EXPECT_EQ(console.grid().cursor_row(), 6);
}

}  // namespace
}  // namespace rpg
