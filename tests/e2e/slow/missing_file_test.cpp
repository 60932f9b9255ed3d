// The missing-file notice: four lines, then the program ends by itself with
// status 255 half a minute later, keys or not, and the notice stays on the
// normal screen, with nothing typed meanwhile left for the shell. Each case
// takes 30 seconds (label "slow").

#include <memory>

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

struct MissingCase {
    const char* name;
    bool field;
    const char* missing;
};

void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.name; }

class MissingFile : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingFile, ShowsTheNoticeAndEndsWith255AfterThirtySeconds) {
    Scenario s;
    s.remove(GetParam().missing);
    PtySession g(GetParam().field ? s.field() : s.battle());
    const auto started = PtySession::Clock::now();
    ASSERT_TRUE(g.wait_until_quiet([&] { return has(g, 0, 3, notice[3]); })) << g.dump();
    for (int row = 0; row < 4; ++row) EXPECT_TRUE(shows(g, 0, row, notice[row]));
    EXPECT_TRUE(blank(g, 0, 5, 80)) << "nothing else is drawn";

    // Keys do not cut the wait short.
    g.settle(1000);
    g.enter();
    g.send("q");
    g.send("\x1b[B");

    // The terminal is given back with the notice still readable on it, and
    // without the keys typed meanwhile, which the shell would run.
    expect_notice_ended(g, started);
    EXPECT_EQ(g.unread_input(), "");
    const std::string screen = g.screen_text();
    for (const char* line : notice) EXPECT_NE(screen.find(line), std::string::npos) << line << "\n" << g.dump();
}

INSTANTIATE_TEST_SUITE_P(Notice, MissingFile,
                         ::testing::Values(MissingCase{"BattleWithoutTheKing", false, "King_Status_Info.txt"},
                                           MissingCase{"FieldWithoutTheLastSkill", true, "AbsoluteObedience.txt"}),
                         [](const ::testing::TestParamInfo<MissingCase>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
}  // namespace rpg::test
