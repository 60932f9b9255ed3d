// The blows of a battle as the player sees them: the hero's attack on the
// enemy group, an enemy's attack on the hero, the falls, victory with its
// experience and level-ups. The rules decide; these show the result.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "rules/blows.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/levelup.h"
#include "screen/message.h"
#include "screen/status.h"

namespace rpg {
namespace {

// Ends a blow that decided nothing: the player reads the messages, then they go.
Outcome acknowledge_blow(Battle& b) {
    wait_for_acknowledgement(b.screen);
    clear_message_window(b.screen);
    return Outcome::goes_on;
}

Outcome win_battle(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    View& v = b.screen;
    const Victory victory = claim_victory(hero, b.pawn(), b.state, b.random);
    post_message(v, sjis("戦闘に勝ちました。"));
    post_message(v, format_number_message(sjis("経験値 を得ました。"), to_i16(victory.exp_gained)));
    if (!victory.levelled) {
        wait_for_acknowledgement(v);
        return Outcome::won;
    }
    post_message(v, sjis("主人公がレベルアップしました。"));
    draw_level(v, hero.level);
    draw_hp_panel(v, hero);
    clear_upper_area(v);
    const LevelUpTable table{b.state.hero_before, hero, victory.exp_gained};
    draw_level_up_box(v, text_of(hero.name));
    draw_level_up_gains(v, table);
    draw_level_up_values(v, table);
    return Outcome::won;
}

}  // namespace

Outcome hero_attack(Battle& b) {
    EnemyStatus& enemy = b.pawn();
    View& v = b.screen;
    const SkillStatus& skill = b.rec.skills.at(static_cast<std::size_t>(b.menu.selected_skill));
    clear_message_window(v);
    const HeroBlow blow = hero_blow(enemy, b.rec.hero, skill, b.state, b.random);
    b.con.turn_mark(++b.turns_begun);  // the blow began the turn
    if (blow.evaded) {
        post_message(v, sjis("攻撃を回避されました。"));
        return acknowledge_blow(b);
    }
    post_message(v, format_number_message(sjis("相手に のダメージ!!"), blow.damage));
    if (!blow.felled) return acknowledge_blow(b);

    post_message(v, sjis("相手を倒しました。"));
    b.menu.selected_skill = 0;
    erase_enemy_glyph(v, enemy, b.enemy_total());
    if (b.state.enemies_left != 0) return Outcome::felled;
    return win_battle(b);
}

Outcome enemy_attack(Battle& b) {
    HeroStatus& hero = b.rec.hero;
    const EnemyStatus& enemy = b.pawn();
    View& v = b.screen;
    const SkillStatus& skill = b.rec.skills.at(enemy.skill);
    clear_message_window(v);
    post_message(v, format_name_message(sjis(" の攻撃!!"), text_of(enemy.name)));
    const EnemyBlow blow = enemy_blow(hero, enemy, skill, b.state, b.random);
    if (blow.evaded) {
        post_message(v, sjis("攻撃を回避しました。"));
        return acknowledge_blow(b);
    }
    hp_countdown(v, blow.hp_before, hero.hp, hero.max_hp);
    post_message(v, format_number_message(sjis("主人公に のダメージ!!"), blow.damage));
    if (blow.hero_fell) {
        post_message(v, sjis("相手に敗れました。"));
        post_message(v, sjis("GAME OVER"));
        wait_for_acknowledgement(v);
        return Outcome::lost;
    }
    return acknowledge_blow(b);
}

}  // namespace rpg
