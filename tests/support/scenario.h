#pragma once
// A run of the game with data of its own: a fresh copy of the bundled data
// files, edited where the run needs a certain outcome, and the launch of
// either program on it.

#include "support/data_folder.h"
#include "support/pty_session.h"

namespace rpg::test {

class Scenario : public DataFolder {
public:
    Scenario() : DataFolder(assets_folder()) {}

    // The battle or the field program in this folder, on an 80 x 24 terminal.
    Launch battle() const;
    Launch field() const;

    // The hero always hits and is never hit, every blow fells a pawn, and
    // every escape succeeds: the hero's speed beats the pawns' speed of 0 in
    // every roll, and the pawns have 1 hit point.
    void make_hero_unbeatable() const;
    // Every pawn's blow lands, hard enough to hurt a defending hero, and the
    // hero has 1 hit point.
    void make_hero_helpless() const;
};

}  // namespace rpg::test
