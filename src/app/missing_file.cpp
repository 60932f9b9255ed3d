#include "app/missing_file.h"

#include <cstdint>

#include "platform/encoding.h"

namespace rpg {

int fatal_missing_file(Console& con) {
    con.line_print(sjis("ファイルが存在しないため情報の初期化に失敗しました。"));
    con.line_print(sjis("ファイルが実行ファイルと同じディレクトリ内にあるか確認してください。"));
    con.line_print(sjis("ファイルが見つからない場合はもう一度ダウンロードしてください。"));
    con.line_print(sjis(" 30 秒後に強制終了しますので手動で閉じないでください。"));
    // The notice stays for 30 seconds; the wait sleeps in short steps rather
    // than spinning on the clock.
    const std::int64_t noted = con.now_seconds();
    while (con.now_seconds() < noted + 30) con.sleep_ms(50);
    return -1;
}

}  // namespace rpg
