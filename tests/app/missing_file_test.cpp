// The missing-file notice: its four lines, then 30 seconds without reading a key.

#include "app/missing_file.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"
#include "platform/memory/memory_console.h"

namespace rpg {
namespace {

TEST(MissingFile, NoticeWaitsThirtySecondsWithoutReadingKeys) {
    MemoryConsole con(80, 25);
    con.record_events(true);
    con.add_key(key_enter, 0);
    con.set_cursor(0, 2);
    EXPECT_EQ(fatal_missing_file(con), -1);

    EXPECT_TRUE(con.shows(0, 2, "ファイルが存在しないため情報の初期化に失敗しました。"));
    EXPECT_TRUE(con.shows(0, 3, "ファイルが実行ファイルと同じディレクトリ内にあるか確認してください。"));
    EXPECT_TRUE(con.shows(0, 4, "ファイルが見つからない場合はもう一度ダウンロードしてください。"));
    EXPECT_TRUE(con.shows(0, 5, " 30 秒後に強制終了しますので手動で閉じないでください。"));
    EXPECT_EQ(con.row_text(6), std::string(80, ' '));
    EXPECT_EQ(con.grid().cursor_row(), 6);

    EXPECT_EQ(con.now_ms(), 30000);
    EXPECT_EQ(con.keys_left(), 1u);
    int prints = 0;
    for (const auto& event : con.events()) {
        if (event.kind == MemoryConsole::Event::print) {
            ++prints;
        } else {
            EXPECT_GT(event.milliseconds, 0);
            EXPECT_LE(event.milliseconds, 100);
        }
    }
    EXPECT_EQ(prints, 8);  // four lines, each a text and a line break
}

TEST(MissingFile, WaitEndsWhenTheWholeSecondHasMovedOnThirty) {
    MemoryConsole con(80, 25);
    con.sleep_ms(700);  // the notice starts 0.7 s into a second
    fatal_missing_file(con);
    EXPECT_EQ(con.now_seconds(), 1'700'000'000 + 30);
    EXPECT_GE(con.now_ms(), 30000);
    EXPECT_LT(con.now_ms(), 30050);
}

}  // namespace
}  // namespace rpg
