// Battle in an empty folder: the missing-file notice.

#include <signal.h>

#include "measure.h"
#include "report.h"
#include "runs.h"
#include "support/data_folder.h"

namespace bench {

void missing_file_run() {
    const rpg::test::DataFolder empty;
    Launch launch;
    launch.program = rpg::test::battle_program();
    launch.folder = empty.path();
    WatchedProgram game(launch);
    if (!game.wait_for([&] { return game.shows_anywhere("秒後に強制終了"); }, -1, 5000)) {
        missing(Section::idle, "idle CPU: battle, missing-file notice", "the notice did not appear", "< 1%");
        return;
    }
    game.idle(200);
    const Sample before = game.sample();
    game.idle(idle_ms);
    const Sample after = game.sample();
    cpu_row("idle CPU: battle, missing-file notice", before, after, 1);
    end_run(game);
}

}  // namespace bench
