// The field map: any bytes load (the map file has no values to refuse) and
// the field is drawn and walked on: the hero tries every direction from a
// place the input chooses, while the pawn gives chase.

#include <cstdint>
#include <string>

#include "field/field.h"
#include "fuzz_support.h"
#include "platform/memory/memory_console.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rpg;
    const GameRecords& bundled = fuzz::bundled_records();
    const auto file = fuzz::write_input("test.txt", data, size);
    MemoryConsole con;
    Field field(con);
    field.records = bundled;
    if (!load_map(field, file)) fuzz::fault("the map file exists but could not be loaded");
    // Anywhere on the map, walls included, as a hero file may put it.
    field.hero().map_x = static_cast<u16>((size % 27) * 2);
    field.hero().map_y = static_cast<u16>((size / 27) % 19);
    draw_map(field);
    place_field_enemy(field);
    const int arrows[] = {key_up, key_left, key_down, key_right};
    std::int64_t at = 0;
    for (int step = 0; step < 24; ++step) {
        const int direction = arrows[(step + (size > 0 ? data[0] : 0)) % 4];
        for (int repeat = 0; repeat < 1 + step % 3; ++repeat) {
            con.add_arrow(direction, at);
            at += 30;
        }
    }
    run_field(field, 150);
    const HeroStatus& hero = field.hero();
    const EnemyStatus& pawn = field.enemy();
    if (hero.map_x > 52 || hero.map_y > 18 || pawn.map_x > 52 || pawn.map_y > 18) {
        fuzz::fault("a figure left the map");
    }
    return 0;
}
