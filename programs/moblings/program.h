// SPDX-License-Identifier: MIT
// moblings, the static swarm: twelve creatures standing still at whole-number places in
// a field centred on the window, each drawn turned, all written out when the run ends.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = int; // truncated towards zero when placed

constexpr settings SETTINGS = {
    .Population = 12,
    .Timed = false,
    .Moves = false,
    .Centred = true,
    .StartRotMin = -180,
    .StartRotMax = 180,
    .RotFirst = true,
    .DrawTurned = true,
    .Report = true,
};

#endif
