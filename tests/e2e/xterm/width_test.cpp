// The programs on a real terminal emulator that draws the East-Asian
// ambiguous characters ("●", "■", "×") two columns wide, and on an ordinary
// one: each measures the terminal at start, and the screen stands exactly
// where the game lays it out, one byte per column, in both.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/xterm/xterm_terminal.h"
#include "support/pty_session.h"
#include "support/scenario.h"
#include "support/screen_checks.h"

namespace rpg::test {
namespace {

struct Mode {
    const char* name;
    bool cjk_width;
};

void PrintTo(const Mode& m, std::ostream* os) { *os << m.name; }

std::string trimmed(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// The rows of libvterm's screen laid out as in_columns() lays out xterm's.
std::vector<std::string> reference_rows(const PtySession& g, int rows) {
    std::vector<std::string> out;
    for (int row = 0; row < rows; ++row) {
        std::string line;
        for (int column = 0; column < g.columns(); ++column) {
            const Cell c = g.cell(column, row);
            line += c.width == 0 ? " " : c.text;
        }
        out.push_back(trimmed(line));
    }
    return out;
}

std::vector<std::string> xterm_rows(const XTerm::Rows& rows, bool cjk_width, std::size_t count) {
    std::vector<std::string> out;
    for (std::size_t row = 0; row < count; ++row) {
        out.push_back(row < rows.size() ? trimmed(in_columns(rows[row], cjk_width)) : std::string());
    }
    return out;
}

std::string differences(const std::vector<std::string>& got, const std::vector<std::string>& expected) {
    std::string out;
    for (std::size_t row = 0; row < expected.size(); ++row) {
        const std::string shown = row < got.size() ? got[row] : "(none)";
        if (shown == expected[row]) continue;
        out +=
            "row " + std::to_string(row) + "\n  shown:    \"" + shown + "\"\n  expected: \"" + expected[row] + "\"\n";
    }
    return out;
}

class OnXTerm : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        if (!xterm_available()) GTEST_SKIP() << "xterm, Xvfb or xdotool is not installed";
        display = std::make_unique<VirtualDisplay>();
        ASSERT_TRUE(display->started()) << "Xvfb did not start";
    }
    std::unique_ptr<XTerm> open(const Launch& launch) {
        auto term = std::make_unique<XTerm>(*display, XTermLaunch{launch.program, launch.folder, GetParam().cjk_width});
        EXPECT_TRUE(term->started()) << "no xterm window";
        return term;
    }
    // Waits until xterm shows `expected` in its first rows.
    void expect_shows(XTerm& term, const std::vector<std::string>& expected) {
        XTerm::Rows rows;
        const bool cjk = GetParam().cjk_width;
        const bool matched = term.wait_until_quiet(
            [&](const XTerm::Rows& r) { return xterm_rows(r, cjk, expected.size()) == expected; }, rows);
        EXPECT_TRUE(matched) << differences(xterm_rows(rows, cjk, expected.size()), expected);
    }

    std::unique_ptr<VirtualDisplay> display;
};

TEST_P(OnXTerm, FieldShowsTheMapAsTheFileLaysItOutWithBothFigures) {
    Scenario s;
    const int hero_x = std::stoi(s.text_value(hero_file, hero::map_x));
    const int hero_y = std::stoi(s.text_value(hero_file, hero::map_y));
    const std::string glyph = s.value_bytes(pawn_file, 2);
    const std::string map = s.read(map_file);
    std::vector<std::string> expected;
    std::size_t pos = 0;
    for (int row = 0; row < 19; ++row) {
        const std::size_t end = map.find('\n', pos);
        std::string line = map.substr(pos, end - pos);
        pos = end + 1;
        line.resize(53, ' ');
        if (row == hero_y) line.replace(static_cast<std::size_t>(hero_x), 2, "\x81\x9C");  // "●"
        if (row == 3) line.replace(8, 2, glyph);                                           // the pawn's start
        expected.push_back(trimmed(sjis_in_columns(line)));
    }
    for (int row = 19; row < 24; ++row) expected.emplace_back();
    auto term = open(s.field());
    if (!term->started()) return;
    expect_shows(*term, expected);
}

TEST_P(OnXTerm, BattleStartScreenAndItemWindowStandAsOnAnOrdinaryTerminal) {
    // The reference: the same screens on libvterm, whose layout the other
    // end-to-end tests check cell by cell.
    Scenario s;
    s.set_number(hero_file, hero::potions, 3);
    PtySession reference(s.battle());
    ASSERT_TRUE(
        reference.wait_until_quiet([&] { return has(reference, 5, 10, "にげる") && has(reference, 4, 18, "+"); }, 30))
        << reference.dump();
    const std::vector<std::string> start_screen = reference_rows(reference, 19);
    reference.down();
    reference.down();
    reference.enter();
    ASSERT_TRUE(reference.wait_until_quiet([&] { return has(reference, 55, 10, "＜     × 3"); })) << reference.dump();
    const std::vector<std::string> item_window = reference_rows(reference, 19);
    ASSERT_NE(item_window[10].find("×"), std::string::npos);

    auto term = open(s.battle());
    if (!term->started()) return;
    {
        SCOPED_TRACE("start-up screen");
        expect_shows(*term, start_screen);
    }
    term->key("Down");
    term->key("Down");
    term->key("Return");
    {
        SCOPED_TRACE("item window");
        expect_shows(*term, item_window);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, OnXTerm,
                         ::testing::Values(Mode{"AmbiguousTwoColumnsWide", true}, Mode{"Ordinary", false}),
                         [](const ::testing::TestParamInfo<Mode>& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace rpg::test
