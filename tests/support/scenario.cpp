#include "support/scenario.h"

namespace rpg::test {

Launch Scenario::battle() const {
    Launch launch;
    launch.program = battle_program();
    launch.folder = path();
    return launch;
}

Launch Scenario::field() const {
    Launch launch;
    launch.program = field_program();
    launch.folder = path();
    return launch;
}

void Scenario::make_hero_unbeatable() const {
    set_number(hero_file, hero::speed, 10);
    set_number(hero_file, hero::attack, 100);
    set_number(pawn_file, enemy::speed, 0);
    set_number(pawn_file, enemy::max_hp, 1);
}

void Scenario::make_hero_helpless() const {
    set_number(hero_file, hero::speed, 0);
    set_number(hero_file, hero::max_hp, 1);
    set_number(pawn_file, enemy::speed, 0);
    set_number(pawn_file, enemy::attack, 200);  // hurts even a defending hero
}

}  // namespace rpg::test
