// The blows of a battle: the hero's attack on the enemy group, an enemy's
// attack on the hero, the falls, victory with its experience and level-ups.

#include <limits>

#include "battle/flow.h"
#include "platform/encoding.h"
#include "rules/formulas.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/levelup.h"
#include "screen/message.h"
#include "screen/status.h"

namespace rpg {
namespace {

// Ends a blow that decided nothing: the player reads the messages, then they go.
i16 acknowledge_blow(Battle& b) {
    wait_for_acknowledgement(b);
    clear_message_window(b);
    return outcome_none;
}

// Raises the level once for every threshold the experience has passed. The
// level stops at its largest value, so the loop ends even for data whose
// threshold computes to 0.
void raise_levels(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    while (hero.exp >= hero.next_exp && hero.level < std::numeric_limits<u16>::max()) {
        ++hero.level;
        const u32 carry = hero.exp - hero.next_exp;
        level_up_growth(hero, b.random);
        next_level_exp(hero);
        hero.exp = carry;
    }
}

i16 win_battle(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    hero.attack = hero.base_attack;
    hero.defense = hero.base_defense;
    b.state.hero_before = hero;
    post_message(b, sjis("戦闘に勝ちました。"));
    const u16 gained = battle_exp(b.pawn(), b.state.enemies_defeated, b.state.turn_count, b.state.items_used, b.random);
    hero.exp += gained;
    post_message(b, format_number_message(sjis("経験値 を得ました。"), to_i16(gained)));
    if (hero.exp < hero.next_exp) {
        wait_for_acknowledgement(b);
        return outcome_won;
    }
    b.state.hero_before.exp = gained;
    raise_levels(b);
    post_message(b, sjis("主人公がレベルアップしました。"));
    hero.hp = to_i16(hero.max_hp);
    draw_level(b);
    draw_hp_panel(b);
    clear_upper_area(b);
    draw_level_up_box(b);
    draw_level_up_gains(b);
    draw_level_up_values(b);
    return outcome_won;
}

}  // namespace

i16 hero_attack(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    EnemyStatus& enemy = b.pawn();
    const SkillStatus& skill = b.rec.skills.at(static_cast<std::size_t>(b.state.selected_skill));
    ++b.state.turn_count;
    clear_message_window(b);
    if (check_hit(to_i16(enemy.speed), to_i16(hero.speed), to_i16(skill.accuracy), b.random)) {
        post_message(b, sjis("攻撃を回避されました。"));
        return acknowledge_blow(b);
    }
    const i16 damage = physical_damage(hero, enemy, skill, b.random);
    post_message(b, format_number_message(sjis("相手に のダメージ!!"), damage));
    i16& pool = enemy.hp.at(static_cast<std::size_t>(b.state.enemies_left));
    pool = to_i16(pool - damage);
    if (pool > 0) return acknowledge_blow(b);

    post_message(b, sjis("相手を倒しました。"));
    --b.state.enemies_left;
    ++b.state.enemies_defeated;
    b.state.defeated.at(static_cast<std::size_t>(enemy.target - 1)) = 1;
    b.state.selected_skill = 0;
    erase_enemy_glyph(b, enemy, b.enemy_total());
    if (b.state.enemies_left != 0) return outcome_felled;
    return win_battle(b);
}

i16 enemy_attack(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    const EnemyStatus& enemy = b.pawn();
    const SkillStatus& skill = b.rec.skills.at(enemy.skill);
    ++b.state.turn_count;
    clear_message_window(b);
    post_message(b, format_name_message(sjis(" の攻撃!!"), text_of(enemy.name)));
    if (check_hit(to_i16(hero.speed), to_i16(enemy.speed), to_i16(skill.accuracy), b.random)) {
        post_message(b, sjis("攻撃を回避しました。"));
        return acknowledge_blow(b);
    }
    const i16 damage = enemy_damage(hero, enemy, skill, b.random);
    hp_countdown(b, damage);
    post_message(b, format_number_message(sjis("主人公に のダメージ!!"), damage));
    if (hero.hp <= 0) {
        post_message(b, sjis("相手に敗れました。"));
        post_message(b, sjis("GAME OVER"));
        wait_for_acknowledgement(b);
        return outcome_lost;
    }
    return acknowledge_blow(b);
}

}  // namespace rpg
