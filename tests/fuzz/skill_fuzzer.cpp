// A skill file (the first skill: the hero's first choice and the bundled
// pawn's own skill): any bytes either load, or are refused with a message
// naming the file.

#include <cstdint>
#include <string>

#include "data/loaders.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rpg;
    const GameRecords& bundled = fuzz::bundled_records();
    const auto file = fuzz::write_input("SwordCut.txt", data, size);
    GameRecords records = bundled;
    SkillStatus& skill = records.skills[skill_sword_cut];
    skill = SkillStatus{};
    std::string error;
    switch (load_skill(skill, file, error)) {
        case LoadResult::missing: fuzz::fault("the skill file exists but was reported missing");
        case LoadResult::invalid: fuzz::check_refusal(error, "SwordCut.txt"); return 0;
        case LoadResult::ok: break;
    }
    if (text_of(skill.name).size() >= skill.name.size()) fuzz::fault("a skill name without a terminating NUL");
    records.enemies[kind_pawn].skill = skill_sword_cut;
    fuzz::play_battle(records, static_cast<std::uint32_t>(size));
    return 0;
}
