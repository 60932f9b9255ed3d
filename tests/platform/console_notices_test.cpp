// What every console shows outside the game's screen, and the player's
// RPG_AMBIGUOUS setting.

#include "platform/console_notices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/console_options.h"

namespace rpg {
namespace {

TEST(TooSmallNotice, WrapsAtBlanksWithinTheWindow) {
    struct Case {
        int columns, rows;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {60, 10, {"Please make the terminal at least 80 x 19 (now 60 x 10)."}},
        {20, 10, {"Please make the", "terminal at least 80", "x 19 (now 20 x 10)."}},
        {20, 2, {"Please make the", "terminal at least 80"}},
        {4, 3, {"Plea", "make", "the"}},  // a word wider than the window is cut
        {0, 5, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(too_small_notice(80, 19, c.columns, c.rows), c.lines) << c.columns << " x " << c.rows;
    }
}

TEST(KeptScreen, RowsFromTheFirstToTheLastThatHoldAnything) {
    struct Case {
        std::vector<std::string> rows;
        std::string kept;
    };
    const Case cases[] = {
        {{"", "  HP 60  ", "", "end", "   ", ""}, "  HP 60\r\n\r\nend\r\n"},
        {{"   ", ""}, ""},
    };
    for (const Case& c : cases) {
        const std::string kept = kept_screen(
            static_cast<int>(c.rows.size()), [&](int row) { return c.rows[static_cast<std::size_t>(row)]; }, "\r\n");
        EXPECT_EQ(kept, c.kept);
    }
}

TEST(AmbiguousSetting, WideNarrowOrMeasured) {
    EXPECT_EQ(ambiguous_setting(nullptr), AmbiguousWidth::measure);
    EXPECT_EQ(ambiguous_setting(""), AmbiguousWidth::measure);
    EXPECT_EQ(ambiguous_setting("wide"), AmbiguousWidth::wide);
    EXPECT_EQ(ambiguous_setting("narrow"), AmbiguousWidth::narrow);
    EXPECT_EQ(ambiguous_setting("Wide"), std::nullopt);
    EXPECT_EQ(ambiguous_setting("2"), std::nullopt);
}

}  // namespace
}  // namespace rpg
