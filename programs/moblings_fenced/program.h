// SPDX-License-Identifier: MIT
// moblings_fenced: twenty untimed creatures that turn only inside the field, their new
// headings mirrored near its walls; one that leaves the field walks on for ever.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = float;

constexpr settings SETTINGS = {
    .Population = 20,
    .Timed = false,
    .WallBand = true,
    .StartRotMin = -10,
    .StartRotMax = 10,
};

#endif
