// The missing-file notice in a window smaller than the game: it still ends
// the program with status 255 after its half minute, the terminal is given
// back, and the notice stays readable in the shell. Each case takes 30
// seconds (label "slow").

#include <gtest/gtest.h>

#include <string>

#include "e2e/slow/notice_ending.h"
#include "support/pty_session.h"
#include "support/scenario.h"
#include "support/screen_checks.h"

namespace rpg::test {
namespace {

const char* const notice[] = {
    "ファイルが存在しないため情報の初期化に失敗しました。",
    "ファイルが実行ファイルと同じディレクトリ内にあるか確認してください。",
    "ファイルが見つからない場合はもう一度ダウンロードしてください。",
    " 30 秒後に強制終了しますので手動で閉じないでください。",
};

// The screen's text, rows joined, without blanks: a line wrapped at the edge
// of the window reads whole again.
std::string joined(const PtySession& g) {
    std::string out;
    for (int row = 0; row < g.rows(); ++row) out += g.text(row);
    std::erase(out, ' ');
    return out;
}

std::string without_blanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

struct SmallWindow {
    const char* name;
    bool field;
    int columns;
    int rows;
    bool room_for_the_game;  // else the window asks to be made larger
};

void PrintTo(const SmallWindow& c, std::ostream* os) { *os << c.name; }

class NoticeInASmallWindow : public ::testing::TestWithParam<SmallWindow> {};

TEST_P(NoticeInASmallWindow, EndsWith255AfterThirtySecondsAndStaysReadable) {
    const SmallWindow& c = GetParam();
    Scenario s;
    s.remove("King_Status_Info.txt");
    Launch launch = c.field ? s.field() : s.battle();
    launch.columns = c.columns;
    launch.rows = c.rows;
    PtySession g(launch);
    const auto started = PtySession::Clock::now();
    if (c.room_for_the_game) {
        // Every line whole, wrapped between two characters where it is
        // longer than the window is wide, one after the other.
        ASSERT_TRUE(g.wait_until_quiet([&] { return joined(g).find(without_blanks(notice[3])) != std::string::npos; }))
            << g.dump();
        std::string all;
        for (const char* line : notice) all += without_blanks(line);
        EXPECT_EQ(joined(g), all) << g.dump();
    } else {
        ASSERT_TRUE(g.wait_until_quiet([&] { return joined(g).find("Pleasemaketheterminal") != std::string::npos; }))
            << g.dump();
    }

    expect_notice_ended(g, started);
    const std::string screen = joined(g);
    for (const char* line : notice) EXPECT_NE(screen.find(without_blanks(line)), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Notice, NoticeInASmallWindow,
                         ::testing::Values(SmallWindow{"Battle50x15", false, 50, 15, false},
                                           SmallWindow{"Field60x20", true, 60, 20, true}),
                         [](const ::testing::TestParamInfo<SmallWindow>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
}  // namespace rpg::test
