// The hero file: any bytes either load into a hero the program can play
// with, or are refused with a message naming the file: the battle judges the
// hero's stats, the field its map position.

#include <cstdint>
#include <string>

#include "data/loaders.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rpg;
    const GameRecords& bundled = fuzz::bundled_records();
    fuzz::write_input("Hero_Status_Info.txt", data, size);
    GameRecords records = bundled;
    records.hero = HeroStatus{};
    std::string error;
    switch (load_hero(records.hero, fuzz::scratch_folder(), error)) {
        case LoadResult::missing: fuzz::fault("the hero file exists but was reported missing");
        case LoadResult::invalid: fuzz::check_refusal(error, "Hero_Status_Info.txt"); return 0;
        case LoadResult::ok: break;
    }
    const HeroStatus& hero = records.hero;
    if (text_of(hero.name).size() >= hero.name.size()) {
        fuzz::fault("the hero's name fills its field without a terminating NUL");
    }
    if (check_game_data(records, DataUser::field, error) == LoadResult::ok) {
        if (hero.map_x > 52 || hero.map_y > 18) fuzz::fault("a hero off the map was accepted");
    } else {
        fuzz::check_refusal(error, "Hero_Status_Info.txt");
    }
    error.clear();
    if (check_game_data(records, DataUser::battle, error) != LoadResult::ok) {
        fuzz::check_refusal(error, "Hero_Status_Info.txt");
        return 0;
    }
    if (hero.defense == 0 || hero.magic_defense == 0) fuzz::fault("a hero with a defence of 0 was accepted");
    fuzz::play_battle(records, static_cast<std::uint32_t>(size));
    return 0;
}
