// The Windows console's pure parts: key codes from key presses, the width of
// two-byte characters from where the console's cursor went, and the writes
// that keep every two-byte character at exactly two cells.

#include "platform/console_cells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cell_grid.h"
#include "platform/char_widths.h"
#include "platform/console.h"
#include "platform/encoding.h"

namespace rpg::console_cells {
namespace {

TEST(ConsoleCells, KeyPressesGiveTheGameCodesAndOtherKeysNothing) {
    struct Case {
        std::uint16_t virtual_key;
        char16_t character;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {vk_up, 0, {224, 72}},
        {vk_down, 0, {224, 80}},
        {vk_left, 0, {224, 75}},
        {vk_right, 0, {224, 77}},
        {vk_return, u'\r', {13}},
        {vk_space, u' ', {32}},
        {'P', u'P', {80}},  // a capital acts as an arrow's code, as typed
        {'P', u'p', {112}},
        {'M', u'M', {77}},
        {0x1B, 0, {}},         // Escape (wine gives no character)
        {0x1B, 0x1B, {}},      // Escape
        {0x70, 0, {}},         // F1
        {0x24, 0, {224, 71}},  // Home and End, for a replay
        {0x23, 0, {224, 79}},
        {0xBE, u'.', {46}},  // the replay's keys, as typed
        {0xDD, u']', {93}},
        {0xBB, u'+', {43}},
        {0x10, 0, {}},    // Shift alone
        {'P', 0x10, {}},  // Ctrl+P
        {'1', u'1', {}},  // a digit
        {0, 0, {}},
    };
    for (const Case& c : cases) {
        const KeyCodes got = key_codes_for(c.virtual_key, c.character);
        EXPECT_EQ(std::vector<int>(got.codes, got.codes + got.count), c.codes)
            << "virtual key " << c.virtual_key << ", character " << static_cast<int>(c.character);
    }
}

TEST(ConsoleCells, CellsMeasuredFromTheCursorBeforeAndAfter) {
    struct Case {
        int before_column, before_row, after_column, after_row, width, cells;
    };
    const Case cases[] = {
        {0, 0, 2, 0, 80, 2},  {0, 0, 1, 0, 80, 1}, {10, 3, 12, 3, 80, 2},
        {79, 0, 1, 1, 80, 2},                       // wrapped onto the next row
        {78, 0, 0, 1, 80, 2}, {0, 0, 0, 0, 80, 0},  // did not move: no answer
        {0, 0, 3, 0, 80, 0},  {5, 0, 4, 0, 80, 0}, {0, 1, 0, 0, 80, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(measured_cells(c.before_column, c.before_row, c.after_column, c.after_row, c.width), c.cells)
            << c.before_column << "," << c.before_row << " -> " << c.after_column << "," << c.after_row;
    }
}

TEST(ConsoleCells, FillersFollowWhatTheConsoleCountsAndTheScreenDraws) {
    const std::u16string none;
    const std::u16string blank = u" ";
    const std::u16string zero_width = u"\u200B";
    struct Case {
        const char* console;
        int kanji_cells, symbol_cells;
        bool wine;
        AmbiguousWidth ambiguous;
        std::u16string kanji_filler, symbol_filler;
    };
    const Case cases[] = {
        {"Japanese console", 2, 2, false, AmbiguousWidth::measure, none, none},
        {"symbols one cell", 2, 1, false, AmbiguousWidth::measure, none, blank},
        {"could not measure", 0, 0, false, AmbiguousWidth::measure, none, none},
        {"narrow asked, console takes two", 2, 2, false, AmbiguousWidth::narrow, none, none},
        {"wide asked, console takes one", 2, 1, false, AmbiguousWidth::wide, none, zero_width},
        {"wine", 1, 1, true, AmbiguousWidth::measure, zero_width, blank},
        {"wine, symbols drawn wide", 1, 1, true, AmbiguousWidth::wide, zero_width, zero_width},
        {"wine, narrow", 1, 1, true, AmbiguousWidth::narrow, zero_width, blank},
    };
    for (const Case& c : cases) {
        const CellWidths w = decide_cell_widths(c.kanji_cells, c.symbol_cells, c.wine, c.ambiguous);
        EXPECT_EQ(filler(w.wide_counted, w.wide_drawn), c.kanji_filler) << c.console;
        EXPECT_EQ(filler(w.symbol_counted, w.symbol_drawn), c.symbol_filler) << c.console;
    }
}

TEST(ConsoleCells, WideCharactersAreKanjiKanaAndFullWidthFormsButNotSymbols) {
    for (char32_t c : {U'兵', U'た', U'ア', U'＿', U'￣', U'／', U'　'})
        EXPECT_TRUE(is_wide_character(c)) << static_cast<unsigned>(c);
    for (char32_t c : {U'●', U'■', U'×', U'Α', U'─', U'→', U'ｱ', U'A'})
        EXPECT_FALSE(is_wide_character(c)) << static_cast<unsigned>(c);
}

// Under wine: kanji followed by a zero width space, symbols by a blank.
const CellWidths wine_widths = decide_cell_widths(1, 1, true, AmbiguousWidth::measure);

TEST(ConsoleCells, RowIsWrittenWithFillersOneRunPerLook) {
    CellGrid grid(20, 2);
    grid.set_cursor(2, 0);
    grid.write(sjis("兵●A"));
    grid.set_attribute(15);
    grid.write(sjis("■"));
    grid.set_attribute(7);
    grid.write("z");
    const std::vector<ConsoleRun> runs = console_runs(console_pieces(grid, 0, 20), {}, wine_widths);
    const std::vector<ConsoleRun> expected = {
        {0, 7, u"  兵\u200B● A"},
        {7, 15, u"■ "},
        {9, 7, u"z" + std::u16string(10, u' ')},
    };
    EXPECT_EQ(runs, expected);
}

TEST(ConsoleCells, OnlyTheChangedSpanOfARowIsWrittenAgain) {
    CellGrid grid(20, 1);
    grid.write(sjis("兵兵兵兵兵"));
    const std::vector<RowPiece> before = console_pieces(grid, 0, 20);
    EXPECT_TRUE(console_runs(before, before, wine_widths).empty());

    grid.set_cursor(4, 0);
    grid.write(sjis("●"));
    grid.set_cursor(8, 0);
    grid.write("xy");
    const std::vector<ConsoleRun> expected = {{4, 7, u"● 兵\u200Bxy"}};
    EXPECT_EQ(console_runs(console_pieces(grid, 0, 20), before, wine_widths), expected);

    // A row cut by a narrow window ends on a blank, not half a character.
    const std::vector<ConsoleRun> cut = {{0, 7, u"兵\u200B兵\u200B "}};
    EXPECT_EQ(console_runs(console_pieces(grid, 0, 5), {}, wine_widths), cut);
}

}  // namespace
}  // namespace rpg::console_cells
