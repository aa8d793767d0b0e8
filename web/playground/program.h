// SPDX-License-Identifier: MIT
// The playground: one more build of the same classes, whose settings are not constants of
// the build but a variable that its page fills in before the run starts and changes while
// the run goes on, between two passes. The classes read it in the same ordinary ifs. The
// type of a creature's places is the build's: PLAYGROUND_POSITION, float or int.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = PLAYGROUND_POSITION;

extern settings SETTINGS;

#endif
