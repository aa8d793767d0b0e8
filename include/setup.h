// SPDX-License-Identifier: MIT
// The window, the event pump and the frame clock: everything the program asks of SDL
// besides drawing. Also home of the constants every other source shares.
#ifndef SETUP_H_
#define SETUP_H_

#include <cstdlib>

// The field and the window have the same size in world units and pixels.
const int WIDTH = 800;
const int HEIGHT = 600;
const int CENTREX = WIDTH / 2;
const int CENTREY = HEIGHT / 2;
const double PI = 3.1415926535;
// Slightly below the exact pi/180, since PI is cut short; headings depend on this value.
const double DEGTORAD = PI / 180;

// One uniform random number in [0, 1). Every random choice of the program draws one,
// from the single sequence seeded in main.
inline double RandomUnit() {
    return std::rand() / 2147483648.0;
}

class setup {
  public:
    static int active;                // the frame loop runs while this is non-zero
    static unsigned int current_time; // milliseconds the previous frame took
    static unsigned int last_time;    // SDL tick at which the running frame's measurement began

    setup() = default;
    ~setup(); // shuts SDL down, whatever state start-up reached

    // Starts SDL's video and opens the 800 x 600 OpenGL window; 0 on success, 1 on failure
    // (after writing a line that says which step failed).
    int SDL_Setup();
    // Starts the frame clock just before the first frame.
    void SetLastTime();
    // Stores the length of the previous frame in current_time and starts the next one.
    void UpdateTime();
    // Drains every pending event without waiting; a quit event clears active.
    void event();
};

#endif
