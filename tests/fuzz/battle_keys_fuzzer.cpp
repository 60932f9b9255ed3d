// A whole battle driven by arbitrary key codes: the first four bytes seed
// the generator, the fifth picks the data (the sample set, a strong hero, a
// weak one, one enemy left), the rest are keys. Whatever the keys, the
// battle ends only won, lost or escaped, in a state that fits the ending;
// no item stock wraps below zero; every byte lands on the 80 x 19 screen;
// no pause runs backwards; and the same input plays the same battle twice,
// call for call (the second time only traced: what it draws is compared, not
// checked again).

#include <array>
#include <cstdint>
#include <string>

#include "battle/flow.h"
#include "fuzz_support.h"

namespace {

using namespace rpg;

constexpr int screen_columns = 80;
constexpr int screen_rows = 19;

enum Variant { sample_data, strong_hero, weak_hero, one_enemy_left, variant_count };

GameRecords prepare(const GameRecords& sample, int variant) {
    GameRecords records = sample;
    HeroStatus& hero = records.hero;
    switch (variant) {
        case strong_hero:
            hero.max_hp = 900;
            hero.attack = 400;
            hero.defense = 300;
            hero.magic_defense = 300;
            hero.speed = 300;
            hero.level = 5;  // every skill open
            break;
        case weak_hero:
            hero.max_hp = 1;
            hero.attack = 1;
            hero.defense = 1;
            hero.speed = 0;
            hero.items[item_potion].count = 0;
            hero.items[item_protein].count = 1;
            hero.items[item_buckler].count = 0;
            break;
        default: break;
    }
    return records;
}

void after_set_up(Battle& b, int variant) {
    if (variant != one_enemy_left) return;
    // Two of the three have fallen; the one at the third position stands.
    b.state.enemies_left = 1;
    b.state.enemies_defeated = 2;
    defeated_flag(b.state, 1) = 1;
    defeated_flag(b.state, 2) = 1;
    b.pawn().target = 3;
}

struct Run {
    int outcome = -1;  // -1: the keys ran out before the battle was decided
    std::uint64_t trace = 0;
    std::int64_t clock_ms = 0;
    HeroStatus hero;
    BattleState state;
    MenuState menu;
};

Run play(const GameRecords& records, std::uint32_t seed, int variant, const std::uint8_t* keys, std::size_t size,
         fuzz::GuardedConsole::Drawing drawing) {
    fuzz::GuardedConsole con(screen_columns, screen_rows, drawing);
    fuzz::script_keys(con, keys, size);
    Battle b{con};
    b.rec = records;
    set_up_encounter(b, seed);
    after_set_up(b, variant);
    Run run;
    try {
        draw_battle_screen(b);
        const Outcome outcome = command_loop(b);
        run.outcome = static_cast<int>(outcome);
        show_ending(b, outcome);
    } catch (const InputClosed&) {
        // The keys ran out; what was played so far is checked all the same.
    }
    run.trace = con.trace();
    run.clock_ms = con.now_ms();
    run.hero = b.rec.hero;
    run.state = b.state;
    run.menu = b.menu;
    return run;
}

void check(const Run& run, const HeroStatus& start, int total) {
    constexpr int escaped = static_cast<int>(Outcome::escaped);
    constexpr int won = static_cast<int>(Outcome::won);
    constexpr int lost = static_cast<int>(Outcome::lost);
    const BattleState& s = run.state;
    if (run.outcome != -1 && run.outcome != escaped && run.outcome != won && run.outcome != lost)
        fuzz::fault("the battle ended with outcome " + std::to_string(run.outcome));
    if (s.enemies_left + s.enemies_defeated != total || s.enemies_left < 0)
        fuzz::fault("enemies left and defeated no longer add up to the encounter");
    if (run.outcome == won && s.enemies_left != 0) fuzz::fault("won with enemies standing");
    if (run.outcome == lost && run.hero.hp > 0) fuzz::fault("lost with the hero standing");
    if (run.outcome == escaped && (run.menu.command_index != 3 || s.enemies_left == 0 || run.hero.hp <= 0))
        fuzz::fault("escaped other than by a successful run");
    int used = 0;
    for (std::size_t i = 0; i < start.items.size(); ++i) {
        if (run.hero.items[i].count > start.items[i].count) fuzz::fault("an item stock wrapped below zero");
        used += start.items[i].count - run.hero.items[i].count;
    }
    if (used != s.items_used) fuzz::fault("items used and stocks disagree");
    if (s.active_effects < 0 || s.active_effects > 3) fuzz::fault("more effects than the three slots");
}

bool same(const Run& a, const Run& b) {
    return a.outcome == b.outcome && a.trace == b.trace && a.clock_ms == b.clock_ms && a.hero.hp == b.hero.hp &&
           a.hero.exp == b.hero.exp && a.hero.level == b.hero.level && a.state.turn_count == b.state.turn_count &&
           a.state.enemies_left == b.state.enemies_left;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const GameRecords& bundled = fuzz::bundled_records();
    const std::uint32_t seed = static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
                               static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    const int variant = data[4] % variant_count;
    const GameRecords records = prepare(bundled, variant);
    using Drawing = fuzz::GuardedConsole::Drawing;
    const Run first = play(records, seed, variant, data + 5, size - 5, Drawing::checked);
    check(first, records.hero, 3);
    const Run second = play(records, seed, variant, data + 5, size - 5, Drawing::traced);
    if (!same(first, second)) fuzz::fault("the same seed and keys played two different battles");
    return 0;
}
