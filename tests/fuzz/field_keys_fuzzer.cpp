// A walk on the field driven by arbitrary keys at arbitrary moments, on the
// sample map with the virtual clock, while the pawn gives chase. The input
// is pairs of bytes: a delay before the key (its top bit: the next byte is
// the raw code) and the key. The first two bytes may move the hero's start
// anywhere on the map, walls included, as a hero file may. Whatever the keys,
// both figures stay on the map, every byte lands on the 54 x 19 field, no
// pause runs backwards, and the same input walks the same way twice.

#include <cstdint>
#include <string>

#include "field/field.h"
#include "fuzz_support.h"
#include "platform/encoding.h"

namespace {

using namespace rpg;

struct Walk {
    std::string screen;
    std::int64_t clock_ms = 0;
    int hero_x = 0, hero_y = 0, enemy_x = 0, enemy_y = 0;
    bool operator==(const Walk&) const = default;
};

const Field& sample_field() {
    static MemoryConsole unused;
    static const Field field = [] {
        Field loaded(unused);
        loaded.records = fuzz::bundled_records();
        if (!load_map(loaded, fuzz::sample_folder() / "test.txt")) fuzz::fault("the sample map");
        return loaded;
    }();
    return field;
}

Walk walk(const std::uint8_t* data, std::size_t size) {
    static constexpr int game_codes[] = {key_up, key_down, key_left, key_right, key_arrow_prefix, key_enter, key_space};
    fuzz::GuardedConsole con(map_columns, map_rows);
    Field field(con);
    field.records = sample_field().records;
    field.field_map = sample_field().field_map;
    if (size >= 2 && data[0] >= 128) {
        field.hero().map_x = static_cast<u16>(data[0] % 27 * 2);
        field.hero().map_y = static_cast<u16>(data[1] % map_rows);
    }
    std::int64_t at = 0;
    long keys = 0;
    for (std::size_t i = 2; i + 1 < size; i += 2) {
        at += (data[i] & 0x7F) * 5;
        const int code = (data[i] & 0x80) != 0 ? data[i + 1] : game_codes[data[i + 1] % std::size(game_codes)];
        con.add_key(code, at);
        ++keys;
    }
    draw_map(field);
    con.set_cursor(field.hero().map_x, field.hero().map_y);
    con.print(sjis("●"));
    place_field_enemy(field);
    // Enough passes for every key and some chasing after the last.
    run_field(field, static_cast<long>(at / 10) + keys + 60);
    const HeroStatus& hero = field.hero();
    const EnemyStatus& pawn = field.enemy();
    if (hero.map_x > 52 || hero.map_y > 18 || pawn.map_x > 52 || pawn.map_y > 18) fuzz::fault("a figure left the map");
    if (con.keys_left() != 0) fuzz::fault("keys were left unread at the end of the walk");
    return {con.area_snapshot(), con.now_ms(), hero.map_x, hero.map_y, pawn.map_x, pawn.map_y};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;  // a walk of minutes is no deeper than one of seconds
    const Walk first = walk(data, size);
    if (!(walk(data, size) == first)) fuzz::fault("the same keys walked two different ways");
    return 0;
}
