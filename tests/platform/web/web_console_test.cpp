// The web console on a host of the test's own: a virtual clock whose timers
// wake late, keys typed at given times, the widget's answers to the width
// probe, and everything written.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/char_widths.h"
#include "platform/encoding.h"
#include "platform/web/web_console_core.h"

namespace rpg {
namespace {

constexpr std::int64_t ms = 1'000'000;

struct FakeHost : WebHost {
    std::int64_t now = 0;
    int late_ms = 0;                                          // how late every timer wakes
    std::vector<std::pair<std::int64_t, std::string>> typed;  // (time, bytes), in time order
    std::string reports;                                      // the answer to the width probe
    std::string shown;
    int columns_ = 80;
    int yields = 0;  // sleeps of 0 ms
    int sleeps = 0;
    int stall_at_sleep = -1;  // the page is held up once, in this sleep, for stall_ms
    int stall_ms = 0;

    std::string problem() override { return {}; }
    int columns() override { return columns_; }
    int rows() override { return 24; }
    std::int64_t monotonic_ns() override { return now; }
    std::int64_t now_seconds() override { return now / 1000 / ms; }
    void write(std::string_view text) override {
        shown += text;
        if (text.find("\x1b[6n") != std::string_view::npos && !reports.empty())
            typed.insert(typed.begin(), {now, reports});
    }
    std::string take_input() override {
        std::string bytes;
        while (!typed.empty() && typed.front().first <= now) {
            bytes += typed.front().second;
            typed.erase(typed.begin());
        }
        return bytes;
    }
    void wait_input(int timeout_ms) override {
        if (!typed.empty() && (timeout_ms < 0 || typed.front().first <= now + timeout_ms * ms)) {
            now = std::max(now, typed.front().first);
        } else if (timeout_ms < 0) {
            throw std::runtime_error("waits for a key that never comes");
        } else {
            now += timeout_ms * ms;
        }
    }
    // As the page sleeps: a timer, a millisecond short, for more than the
    // 4 ms a browser's nested timer waits at least; a yield for the rest.
    std::vector<std::string> said;
    void say(std::string_view utf8) override { said.emplace_back(utf8); }
    void sleep(int milliseconds) override {
        if (milliseconds == 0) ++yields;
        if (sleeps == stall_at_sleep) now += stall_ms * ms;
        ++sleeps;
        now += milliseconds > 4 ? (milliseconds - 1 + late_ms) * ms : ms / 50;
    }
};

ConsoleOptions narrow() { return {80, 19, AmbiguousWidth::narrow}; }

TEST(WebConsole, WidthsAsTheWidgetDrawsThem) {
    struct Case {
        const char* utf8;
        AmbiguousWidth ambiguous;
        int expected;
    } cases[] = {{"兵", AmbiguousWidth::narrow, 2},
                 {"●", AmbiguousWidth::narrow, 1},
                 {"●", AmbiguousWidth::wide, 2},
                 {"ｱ", AmbiguousWidth::wide, 1},
                 {"\x01", AmbiguousWidth::narrow, 0}};
    for (const Case& c : cases) EXPECT_EQ(table_char_width(c.utf8, c.ambiguous), c.expected) << c.utf8;
}

// Where the browser wakes timers late, runs of pauses still last as long as
// their sum, and the page runs in every one of them.
TEST(WebConsole, PausesKeepTheirTotalsOnLateTimers) {
    struct Case {
        int pause_ms, count, late_ms;
    } cases[] = {{50, 100, 3}, {1, 500, 1}, {17, 60, 2}, {5, 200, 6}};
    for (const Case& c : cases) {
        FakeHost host;
        host.late_ms = c.late_ms;
        WebConsoleCore con(host, narrow());
        for (int i = 0; i < c.count; ++i) con.sleep_ms(c.pause_ms);
        const std::int64_t total = std::int64_t{c.pause_ms} * c.count * ms;
        EXPECT_GE(host.now, total - ms) << c.pause_ms;
        EXPECT_LE(host.now, total + (c.late_ms + 1) * ms) << c.pause_ms;
        EXPECT_GE(host.sleeps, c.count) << c.pause_ms;
    }
}

// The page is held up now and then for longer than a frame (the first glyphs
// of a font drawn, a garbage collection): the start-up's run of 1 ms pauses
// and its longer pauses after it still end on time. A tab the browser left
// asleep for a second goes on from where it woke instead of rushing.
TEST(WebConsole, PausesCatchUpOnThePageHeldUp) {
    struct Case {
        int stall_ms;
        std::int64_t total_ms;
    } cases[] = {{60, 500}, {200, 500}, {1000, 10 + 1000 + 90 + 400}};
    for (const Case& c : cases) {
        FakeHost host;
        host.stall_at_sleep = 10;
        host.stall_ms = c.stall_ms;
        WebConsoleCore con(host, narrow());
        for (int i = 0; i < 100; ++i) con.sleep_ms(1);
        for (int i = 0; i < 4; ++i) con.sleep_ms(100);
        EXPECT_GE(host.now, c.total_ms * ms - ms) << c.stall_ms;
        EXPECT_LE(host.now, c.total_ms * ms + ms) << c.stall_ms;
    }
}

TEST(WebConsole, KeysFromTheWidgetThroughTheDecoder) {
    struct Case {
        const char* typed;
        std::vector<int> codes;
    } cases[] = {{"\x1b[A\r ", {224, 72, 13, 32}},
                 {"\x1bOB\x1b[D", {224, 80, 224, 75}},
                 {"\x1b[1;5Ax", {'x'}},  // Ctrl+up is no arrow
                 {"\x1b", {27}}};        // Escape alone, after the decoder's timeout
    for (const Case& c : cases) {
        FakeHost host;
        host.typed = {{0, c.typed}};
        WebConsoleCore con(host, narrow());
        std::vector<int> codes;
        for (std::size_t i = 0; i < c.codes.size(); ++i) codes.push_back(con.read_key());
        EXPECT_EQ(codes, c.codes) << c.typed;
        EXPECT_FALSE(con.key_waiting());
    }
}

TEST(WebConsole, ProbeTakesTheWidgetsAnswer) {
    struct Case {
        std::string reports;
        AmbiguousWidth expected;
        bool refused;
    } cases[] = {{"\x1b[1;2R\x1b[1;3R", AmbiguousWidth::narrow, false},
                 {"\x1b[1;3Rk\x1b[1;3R", AmbiguousWidth::wide, false},  // a key typed meanwhile is kept
                 {"\x1b[1;2R\x1b[1;2R", AmbiguousWidth::narrow, true},  // kanji one column wide
                 {"", AmbiguousWidth::narrow, false}};                  // no answer within 500 ms
    for (const Case& c : cases) {
        FakeHost host;
        host.reports = c.reports;
        WebConsoleCore con(host, {80, 19, AmbiguousWidth::measure});
        EXPECT_EQ(!con.startup_error().empty(), c.refused) << c.reports;
        // What a recording writes down: the width in force and the page's grid.
        const ConsoleFacts facts = con.facts();
        EXPECT_EQ(facts.ambiguous, c.expected) << c.reports;
        EXPECT_EQ(facts.columns, c.refused ? 0 : 80) << c.reports;
        EXPECT_EQ(facts.rows, c.refused ? 0 : 24) << c.reports;
        EXPECT_EQ(host.now, c.reports.empty() ? 500 * ms : 0);
        if (c.reports.find('k') != std::string::npos) EXPECT_EQ(con.read_key(), 'k');
    }
}

TEST(WebConsole, DrawsRowsAsAnsiText) {
    FakeHost host;
    WebConsoleCore con(host, narrow());
    host.shown.clear();
    con.print("AB");
    con.set_cursor(3, 0);
    con.set_attribute(attr_normal | attr_intensity);
    con.print(sjis("兵●"));
    con.set_attribute(attr_normal);
    con.set_cursor(5, 2);
    con.sleep_ms(1);
    EXPECT_EQ(host.shown, "\x1b[0m\x1b[2J\x1b[1;1HAB \x1b[1m兵● \x1b[0m\x1b[K\x1b[3;6H");
    host.shown.clear();
    con.set_cursor(0, 0);
    con.print("C");
    con.sleep_ms(1);  // only the row that changed
    EXPECT_EQ(host.shown, "\x1b[1;1HCB \x1b[1m兵● \x1b[0m\x1b[K\x1b[1;2H");
    host.shown.clear();
    con.sleep_ms(1);  // nothing changed: nothing sent
    EXPECT_EQ(host.shown, "");
}

// The console session, shared by every console of a real screen: in
// screen-reader mode the cursor is shown at the announced place at every
// update, while the game's own cursor goes on where it was, and each text is
// said once, in UTF-8, after the paint that shows it; without the mode,
// nothing of it.
TEST(WebConsole, ScreenReaderModeRestsTheCursorAndSaysTheText) {
    for (const bool reader : {true, false}) {
        SCOPED_TRACE(reader ? "with a screen reader" : "without");
        FakeHost host;
        ConsoleOptions options = narrow();
        options.screen_reader = reader;
        WebConsoleCore con(host, options);
        host.shown.clear();
        con.set_cursor(3, 1);
        con.print(sjis("たたかう"));
        con.announce(3, 1, sjis("たたかう"));
        con.set_cursor(0, 0);
        con.print("C");
        con.sleep_ms(1);
        EXPECT_EQ(host.shown.substr(host.shown.rfind("\x1b[")), reader ? "\x1b[2;4H" : "\x1b[1;2H");
        con.print("D");           // where the game's cursor stood
        con.announce(-1, 0, {});  // off the screen: the place stays
        con.sleep_ms(1);
        EXPECT_EQ(host.shown.substr(host.shown.rfind("\x1b[")), reader ? "\x1b[2;4H" : "\x1b[1;3H");
        EXPECT_NE(host.shown.find("CD"), std::string::npos);
        EXPECT_EQ(host.said, reader ? std::vector<std::string>{"たたかう"} : std::vector<std::string>{});
    }
}

TEST(WebConsole, PollingWithoutPausesLetsThePageRun) {
    FakeHost host;
    WebConsoleCore con(host, narrow());
    for (int i = 0; i < 10 * web_detail::polls_per_yield; ++i) EXPECT_FALSE(con.key_waiting());
    EXPECT_EQ(host.yields, 10);
}

TEST(WebConsole, TooSmallGridShowsTheTerminalsNotice) {
    FakeHost host;
    host.columns_ = 60;
    WebConsoleCore con(host, narrow());
    con.sleep_ms(1);
    EXPECT_NE(host.shown.find("Please make the terminal at least 80 x 19 (now 60 x 24)."), std::string::npos);
}

}  // namespace
}  // namespace rpg
