// Measuring how wide the terminal draws characters: reading its cursor
// reports out of the input, and what the answers mean.

#include "platform/width_probe.h"

#include "platform/char_widths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rpg {
namespace {

TEST(CursorReportReader, TakesReportsOutAndLeavesKeysInOrder) {
    struct Case {
        const char* name;
        std::vector<std::string> chunks;  // as read() returns them
        std::vector<CursorReport> reports;
        std::string other;  // every other byte, held back ones included at the end
    };
    const Case cases[] = {
        {"two reports", {"\x1b[1;2R\x1b[1;3R"}, {{1, 2}, {1, 3}}, ""},
        {"keys before, between and after", {"a\x1b[A\x1b[12;3R\r\x1b[1;30Rq"}, {{12, 3}, {1, 30}}, "a\x1b[A\rq"},
        {"split over reads", {"\x1b", "[2", "4;", "1", "R", "x"}, {{24, 1}}, "x"},
        {"an escape key and then a report", {"\x1b\x1b[1;2R"}, {{1, 2}}, "\x1b"},
        {"function keys are not reports", {"\x1bOP\x1b[1;5A\x1b[15~"}, {}, "\x1bOP\x1b[1;5A\x1b[15~"},
        {"a report cut short by a key", {"\x1b[1;a\x1b[3;4R"}, {{3, 4}}, "\x1b[1;a"},
        {"no digits", {"\x1b[;2R"}, {}, "\x1b[;2R"},
        {"too many digits", {"\x1b[1234567;2R"}, {}, "\x1b[1234567;2R"},
        {"an unfinished report is handed on at the end", {"k\x1b[1;"}, {}, "k\x1b[1;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CursorReportReader reader;
        std::string other;
        for (const std::string& chunk : c.chunks) reader.feed(chunk, other);
        reader.finish(other);
        EXPECT_EQ(reader.reports(), c.reports);
        EXPECT_EQ(other, c.other);
    }
}

TEST(DecideWidths, FromWhereTheCursorLanded) {
    struct Case {
        WidthProbe probe;
        int library_width;
        AmbiguousWidth expected;
        bool refused;
    };
    const Case cases[] = {
        {{2, 3}, 1, AmbiguousWidth::narrow, false},  // an ordinary terminal
        {{3, 3}, 1, AmbiguousWidth::wide, false},    // set up for Japanese
        {{2, 3}, 2, AmbiguousWidth::narrow, false},  // the answer beats the C library
        {{0, 0}, 1, AmbiguousWidth::narrow, false},  // no answer: the C library's width
        {{0, 0}, 2, AmbiguousWidth::wide, false},
        {{7, 3}, 1, AmbiguousWidth::narrow, false},  // an answer that makes no sense
        {{3, 0}, 1, AmbiguousWidth::wide, false},    // only the first answer came
        {{2, 2}, 1, AmbiguousWidth::narrow, true},   // full-width characters drawn narrow
        {{2, 1}, 1, AmbiguousWidth::narrow, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.probe.after_ambiguous << ", " << c.probe.after_full_width << ", library "
                                        << c.library_width);
        WidthDecision decision = decide_terminal_widths(c.probe, c.library_width);
        EXPECT_EQ(decision.problem.empty(), !c.refused) << decision.problem;
        if (!c.refused) {
            EXPECT_EQ(decision.ambiguous, c.expected);
        }
    }
}

TEST(AmbiguousWidthCharacters, TheGamesNarrowSymbolsAndKanjiCountAsciiAndHalfWidthKanaDoNot) {
    for (char32_t c : {U'●', U'■', U'×', U'○', U'α', U'─', U'兵'})
        EXPECT_TRUE(outside_ascii_and_half_width_kana(c)) << std::hex << static_cast<unsigned>(c);
    for (char32_t c : {U'ｱ', U'ﾟ', U'a', U'~'})
        EXPECT_FALSE(outside_ascii_and_half_width_kana(c)) << std::hex << static_cast<unsigned>(c);
}

}  // namespace
}  // namespace rpg
