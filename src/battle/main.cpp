// The battle program: one battle against three pawns, then it ends.

#include "app/program.h"
#include "battle/flow.h"

namespace {

int fight(rpg::Console& con, const rpg::StartUp& start, const rpg::GameRecords& records, std::string&) {
    rpg::Battle battle(con);
    battle.rec = records;
    return rpg::play_battle(battle, start.seed);
}

}  // namespace

const rpg::ProgramInfo rpg::program_info{
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
    "instead of the clock, so that a run can be replayed\n",
    80,
    19,
    rpg::DataUser::battle,
};

int main(int argc, char** argv) { return rpg::run_program(rpg::program_info, argc, argv, fight); }
