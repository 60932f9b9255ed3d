// The battle program: one battle against three pawns, then it ends.

#include "app/program.h"
#include "battle/flow.h"

namespace {

int play_battle(rpg::Terminal& terminal, const rpg::StartUp& start, std::string& error) {
    rpg::Battle battle(terminal);
    return rpg::run_battle_program(battle, start.data_folder, error, start.options.seed);
}

}  // namespace

int main(int argc, char** argv) {
    const rpg::ProgramInfo info{
        "battle",
        "One turn-based battle of the hero against three pawns, in the terminal.",
        "Keys: the arrow keys move, Enter (or the right arrow) chooses, space goes\n"
        "back to the command menu, the left arrow goes back one level in the item\n"
        "and ability lists. While a message is typed, Enter, the right or the down\n"
        "arrow shows it at once. The closing screen ends on any key.\n"
        "\n"
        "Data files: Hero_Status_Info.txt; Pawn_, Knight_, Bishop_, Rook_, Queen_ and\n"
        "King_Status_Info.txt; SwordCut.txt, Flame.txt, BigRevolveSword.txt,\n"
        "HellFlame.txt and AbsoluteObedience.txt (Shift-JIS text).\n",
        80,
        19,
    };
    return rpg::run_program(info, argc, argv, play_battle);
}
