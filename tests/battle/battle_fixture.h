#pragma once
// A battle on the in-memory console with records made in the test, so every
// test starts from a known hero, pawn and skill table and a fixed seed.

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

#include "battle/flow.h"
#include "fixed_text.h"
#include "platform/encoding.h"
#include "platform/memory/memory_console.h"
#include "rules/formulas.h"

namespace rpg::testing {

inline void make_records(GameRecords& rec) {
    HeroStatus& hero = rec.hero;
    set_text(hero.name, "アレス");
    hero.max_hp = 120;
    hero.attack = 30;
    hero.defense = 20;
    hero.magic_attack = 10;
    hero.magic_defense = 12;
    hero.speed = 15;
    hero.next_exp = 300;
    hero.exp = 0;
    hero.level = 3;
    hero.items = {ItemStock{0, 3}, ItemStock{0, 2}, ItemStock{0, 2}};

    const char* names[] = {"ポーン", "ナイト", "ビショップ", "ルーク", "クイーン", "キング"};
    for (int i = 0; i < enemy_kind_count; ++i) {
        EnemyStatus& e = rec.enemies[static_cast<std::size_t>(i)];
        set_text(e.name, names[i]);
        e.kind = static_cast<u16>(i + 1);
        set_text(e.glyph, "兵");
        e.max_hp = 40;
        e.attack = 12;
        e.defense = 10;
        e.magic_attack = 5;
        e.magic_defense = 8;
        e.speed = 10;
        e.skill = 0;
        if (i < 4) e.hp.fill(static_cast<i16>(e.max_hp));
    }
    const char* skills[] = {"剣の一撃", "フレイム", "大回転斬り", "地獄の炎", "絶対服従"};
    for (int i = 0; i < skill_count; ++i) {
        SkillStatus& s = rec.skills[static_cast<std::size_t>(i)];
        set_text(s.name, skills[i]);
        s.power = static_cast<u16>(i + 1);
        s.accuracy = static_cast<u16>(2 + i);
    }
}

// Makes every blow land: the defender's evade roll can never beat the attacker's.
inline void never_evade(EnemyStatus& pawn, HeroStatus& hero) {
    pawn.speed = 0;
    hero.speed = 0;
}

class BattleTest : public ::testing::Test {
protected:
    BattleTest() {
        make_records(b.rec);
        set_up_encounter(b, 20261207);
    }

    MemoryConsole con;
    Battle b{con};
};

}  // namespace rpg::testing
