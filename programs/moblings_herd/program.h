// SPDX-License-Identifier: MIT
// moblings_herd: the reference with fifty slow creatures that rarely turn.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = float;

constexpr settings SETTINGS = {
    .Population = 50,
    .DefaultSpeed = 0.1f,
    .TurnChance = 0.001,
};

#endif
