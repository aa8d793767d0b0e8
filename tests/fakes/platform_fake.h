// SPDX-License-Identifier: MIT
// A stand-in for SDL, OpenGL, GLU and the C library's rand(), linked into the unit tests
// in place of the real libraries. It records every call with its arguments and answers
// with what the test scripted: start-up failures, tick readings, pending events, draws.
#ifndef PLATFORM_FAKE_H_
#define PLATFORM_FAKE_H_

#include "SDL.h"

#include <deque>
#include <ostream>
#include <string>
#include <vector>

namespace fake {

struct Call {
    std::string Name;
    std::vector<double> Args;
    bool operator==(const Call& other) const { return Name == other.Name && Args == other.Args; }
};
void PrintTo(const Call& call, std::ostream* out);

extern std::vector<Call> Calls;      // every faked call, in order
extern bool Recording;               // false: calls are answered but not recorded
extern int InitResult;               // what SDL_Init returns
extern bool VideoModeFails;          // SDL_SetVideoMode returns null
extern int BitsPerPixel;             // the display depth SDL_GetVideoInfo reports
extern std::deque<Uint32> Ticks;     // SDL_GetTicks readings, one per call
extern std::deque<SDL_Event> Events; // pending events, taken by SDL_PollEvent
extern std::deque<int> Draws;        // rand() results; once empty, the real generator's

// Back to a fresh platform: no calls, everything succeeds, nothing pending.
void Reset();
// The recorded calls with this name, in order.
std::vector<Call> CallsOf(const std::string& name);
SDL_Event QuitEvent();
SDL_Event KeyEvent(SDLKey key);

} // namespace fake

#endif
