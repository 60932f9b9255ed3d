#pragma once
// The benchmark's runs, each on programs of its own; they add their figures
// to the table (report.h).

namespace bench {

// Battle with the bundled data: start-up, the wait at the command menu, the
// menu's key latency, the item list.
void battle_menu_run();
// Battle in an empty folder: the missing-file notice.
void missing_file_run();
// Field with the bundled data: the wipe and, when `whole`, the idle loop and hero steps.
void field_run(bool whole);
// A battle won at once with a level-up.
void level_up_run();
// Whole battles on the memory console with its virtual clock.
void headless_run();
// Seeks in the replay of a battle and of a field walk.
void seek_run();
// The bare echo the key latency is compared with (bench_game --echo).
int run_echo();

}  // namespace bench
