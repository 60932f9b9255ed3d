// The battle from its start to its end: the encounter, the battle screen, the
// command loop and the closing screen.

#include "battle/flow.h"
#include "platform/encoding.h"
#include "screen/draw.h"
#include "screen/layout.h"
#include "screen/message.h"
#include "screen/status.h"

namespace rpg {

void set_up_encounter(Battle& b, std::uint32_t seed) {
    HeroStatus& hero = b.rec.hero;
    hero.hp = to_i16(hero.max_hp);
    hero.base_attack = hero.attack;
    hero.base_defense = hero.defense;
    seed_random(b.random, seed);
    b.pawn().target = 1;
}

void draw_battle_screen(Battle& b) {
    View& v = b.screen;
    open_command_window(v);
    draw_command_labels(v);
    draw_enemy_view(v);
    draw_formation(v, b.pawn(), b.enemy_total());
    draw_message_frame(v);
    draw_hp_panel(v, b.rec.hero);
    draw_level(v, b.rec.hero.level);
    draw_effect_markers(v);
}

void show_ending(Battle& b, Outcome outcome) {
    const char* line = "にげることに成功しました。";
    if (outcome == Outcome::won) line = "バトルに勝ちました。";
    if (outcome == Outcome::lost) line = "バトルに負けました。";
    clear_message_window(b.screen);
    post_message(b.screen, sjis(line));
    post_message(b.screen, sjis("このまま終了するには何かを入力してください..."));
    // A screen reader rests on the outcome, the line below the prompt.
    announce_message_line(b.screen, 2);
    b.con.read_key();
}

int play_battle(Battle& b, std::uint32_t seed) {
    set_text_attribute(b.screen, attr_normal);
    set_up_encounter(b, seed);
    draw_battle_screen(b);
    show_ending(b, command_loop(b));
    return 0;
}

}  // namespace rpg
