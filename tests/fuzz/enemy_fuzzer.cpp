// The pawn's file (the kind that fights): any bytes either load into an enemy
// kind the game can fight, or are refused with a message naming the file.

#include <cstdint>
#include <string>

#include "data/loaders.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rpg;
    const GameRecords& bundled = fuzz::bundled_records();
    const auto file = fuzz::write_input("Pawn_Status_Info.txt", data, size);
    GameRecords records = bundled;
    EnemyStatus& pawn = records.enemies[kind_pawn];
    pawn = EnemyStatus{};
    std::string error;
    switch (load_enemy_kind(pawn, file, error)) {
        case LoadResult::missing: fuzz::fault("the enemy file exists but was reported missing");
        case LoadResult::invalid: fuzz::check_refusal(error, "Pawn_Status_Info.txt"); return 0;
        case LoadResult::ok: break;
    }
    if (text_of(pawn.name).size() >= pawn.name.size() || text_of(pawn.glyph).size() >= pawn.glyph.size()) {
        fuzz::fault("a name or glyph fills its field without a terminating NUL");
    }
    // The battle judges the pawn, the kind that fights; the field does not.
    if (check_game_data(records, DataUser::field, error) != LoadResult::ok)
        fuzz::fault("the field judged the pawn: " + error);
    if (check_game_data(records, DataUser::battle, error) != LoadResult::ok) {
        fuzz::check_refusal(error, "Pawn_Status_Info.txt");
        return 0;
    }
    if (pawn.skill >= skill_count) fuzz::fault("a skill index outside the table was accepted");
    if (pawn.defense == 0 || pawn.magic_defense == 0) fuzz::fault("an enemy with a defence of 0 was accepted");
    pawn.hp.fill(to_i16(pawn.max_hp));  // as the loader of all kinds fills the pool
    fuzz::play_battle(records, static_cast<std::uint32_t>(size));
    return 0;
}
