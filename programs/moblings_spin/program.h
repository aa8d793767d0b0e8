// SPDX-License-Identifier: MIT
// moblings_spin: twenty untimed creatures turning wherever they are, new headings
// mirrored near the walls, each shape drawn turned by its rotation.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = float;

constexpr settings SETTINGS = {
    .Population = 20,
    .Timed = false,
    .TurnAnywhere = true,
    .WallBand = true,
    .StartRotMin = -10,
    .StartRotMax = 10,
    .DrawTurned = true,
};

#endif
