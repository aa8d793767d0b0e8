// SPDX-License-Identifier: MIT
// moblings_wander: twenty untimed creatures turning wherever they are, new headings
// mirrored near the walls; nothing brings a stray back.
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
};

#endif
