// SPDX-License-Identifier: MIT
// moblings_timed, the reference: five creatures walk at a speed scaled by the length of
// each frame, turn at random inside the field and steer home from outside it.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = float; // how a creature's coordinates are stored

constexpr settings SETTINGS = {};

#endif
