// SPDX-License-Identifier: MIT
// The program entry: makes the population, opens the window and runs the frame loop
// until the window is closed. What differs between the programs is in their program.h.
#include "moblery.h"
#include "movement.h"
#include "renderer.h"
#include "setup.h"

#include <cstdlib>
#include <ctime>
#include <iostream>

int main() {
    // Start-up: every start position and rotation is drawn before SDL starts.
    int initPop = SETTINGS.Population;
    std::srand(static_cast<unsigned int>(std::time(nullptr)));
    moblery Factory;
    setup SetUp;
    renderer Rend;
    movement Move;
    Factory.Populate(initPop);
    int failed = SetUp.SDL_Setup();
    if (failed) {
        std::cout << "Error initializing SDL" << std::endl;
    } else {
        // Without a window there is no GL context to set up.
        Rend.GL_Setup();
    }
    if (SETTINGS.Timed) {
        SetUp.SetLastTime();
    }

    // Frame loop: the pass that sees the quit event still moves and draws once more.
    while (setup::active) {
        if (SETTINGS.Timed) {
            SetUp.UpdateTime();
        }
        SetUp.event();
        if (SETTINGS.Moves) {
            Move.UpdateMoves(Factory.Moblings);
        }
        Rend.Draw_All(Factory.Moblings);
    }

    // Shutdown: SetUp's destructor closes SDL as main returns.
    if (SETTINGS.Timed) {
        std::cout << "moved: " << std::endl;
    }
    if (SETTINGS.Report) {
        for (int i = 0; i < Factory.GetPopulation(); i++) {
            Factory.Moblings[i].Print();
        }
    }
    // A program that never opened its window must not report success.
    return failed ? 1 : 0;
}
