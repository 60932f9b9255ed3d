// Whole battles on the memory console with its virtual clock.

#include <chrono>
#include <cstdint>
#include <string>

#include "battle/flow.h"
#include "data/loaders.h"
#include "measure.h"
#include "platform/memory/memory_console.h"
#include "report.h"
#include "runs.h"
#include "support/data_folder.h"

namespace bench {

void headless_run() {
    constexpr int defend_turns = 100;
    constexpr int battles = 20;
    rpg::GameRecords records;
    std::string error;
    if (rpg::load_game_data(records, rpg::test::assets_folder(), error) != rpg::LoadResult::ok) {
        missing(Section::headless, "headless battle", "the bundled data did not load: " + error, "");
        return;
    }
    // Pawns that always miss and fall at the first blow; a hero that needs
    // little experience for its next level.
    rpg::EnemyStatus& pawn = records.enemies[rpg::kind_pawn];
    pawn.max_hp = 1;
    pawn.hp.fill(1);
    pawn.speed = 0;
    records.hero.attack = 200;
    records.hero.next_exp = 5;

    int wins = 0;
    std::int64_t virtual_ms = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < battles; ++n) {
        rpg::MemoryConsole console;
        rpg::Battle b(console);
        b.rec = records;
        rpg::set_up_encounter(b, static_cast<std::uint32_t>(n + 1));
        // Defend turn after turn (Enter on "ぼうぎょ", then one acknowledgement
        // for each of the three pawns' attacks), then three blows, then the end.
        console.press_arrow(rpg::key_down);
        for (int t = 0; t < defend_turns; ++t) {
            console.press({rpg::key_enter, rpg::key_enter, rpg::key_enter, rpg::key_enter});
        }
        console.press_arrow(rpg::key_up);
        for (int k = 0; k < 3; ++k) console.press({rpg::key_enter, rpg::key_enter, rpg::key_enter});
        console.press(rpg::key_enter);
        const rpg::u16 level = b.rec.hero.level;
        try {
            rpg::draw_battle_screen(b);
            const rpg::Outcome outcome = rpg::command_loop(b);
            rpg::show_ending(b, outcome);
            if (outcome == rpg::Outcome::won && b.rec.hero.level > level && console.keys_left() == 0) ++wins;
        } catch (const rpg::InputClosed&) {
            // the script did not fit the battle: not counted as won
        }
        virtual_ms += console.now_ms();
    }
    const double wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int turns = battles * (defend_turns + 3);
    const double speedup = static_cast<double>(virtual_ms) / (wall_s * 1000);
    add(Section::headless, format("headless: whole battle (%d turns, won, level-up)", defend_turns + 3),
        format("%.2f ms per battle (%d of %d won as scripted)", wall_s * 1000 / battles, wins, battles),
        "won with a level-up", wins == battles);
    add(Section::headless, "headless: speed",
        format("%.0f turns/s; %.0fx faster than its own pauses", turns / wall_s, speedup),
        ">= 1000x faster than its pauses", speedup >= 1000);
}

}  // namespace bench
