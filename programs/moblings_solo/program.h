// SPDX-License-Identifier: MIT
// moblings_solo: one untimed creature in a field centred on the window, turning by small
// angles, drawn turned, saying after each turn test which way the draw fell.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = float;

constexpr settings SETTINGS = {
    .Population = 1,
    .Timed = false,
    .TurnAnywhere = true,
    .Centred = true,
    .StartRotMin = -10,
    .StartRotMax = 10,
    .TurnRotMin = -10,
    .TurnRotMax = 10,
    .DrawTurned = true,
    .SayCue = true,
};

#endif
