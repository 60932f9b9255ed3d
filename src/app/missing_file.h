#pragma once
// The notice a program shows when a data file is missing at start-up.

#include "platform/console.h"

namespace rpg {

// Prints the four lines of the missing-file notice at the cursor, waits until
// 30 seconds have passed and returns the exit status, -1.
int fatal_missing_file(Console& con);

}  // namespace rpg
