// SPDX-License-Identifier: MIT
// The fastest an SDL 1.2 OpenGL program can show the frames a program of ours must show:
// the programs' window, opened by the programs' own setup, then every frame drawn as
// renderer.cpp draws it, each shape by its own Draw_Mobling, the same number of shapes in the same
// projection, turned or not, until the window is closed. The shapes stand still at fixed places: no
// movement rules, no random draws, no frame clock. What a program costs beyond this is ours to
// spend.
//
//     limit [SHAPES [turned] [centred]]
//
// Without shapes it only clears and swaps, the limit of SDL and OpenGL themselves.
#include "renderer.h"
#include "setup.h"

#include "SDL.h"
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 0;
    bool turned = false, centred = false;
    for (int i = 2; i < argc; i++) {
        turned = turned || std::strcmp(argv[i], "turned") == 0;
        centred = centred || std::strcmp(argv[i], "centred") == 0;
    }
    if (count < 0 || argc > 2 + turned + centred) {
        (void)std::fputs("usage: limit [SHAPES [turned] [centred]]\n", stderr);
        return 2;
    }
    setup SetUp;
    renderer Rend;
    if (SetUp.SDL_Setup() != 0) {
        return 1;
    }
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (centred) {
        glOrtho(-CENTREX, CENTREX, -CENTREY, CENTREY, -10, 10);
    } else {
        glOrtho(-10, WIDTH + 10, -10, HEIGHT + 10, -10, 10);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // A shape in the middle of each cell of a grid over the field, as spread as a
    // population, none hiding another, so each costs its full share of pixels. No angle is
    // zero: a driver may skip a turn by nothing.
    const int columns = count ? static_cast<int>(std::ceil(std::sqrt(count * 4.0 / 3))) : 1;
    const int rows = (count + columns - 1) / columns;
    const double left = centred ? -CENTREX : 0, bottom = centred ? -CENTREY : 0;
    while (setup::active) {
        SetUp.event();
        // Draw_All's calls, one for one: any other call would be a cost the programs do not
        // pay, or leave out one they do.
        glLoadIdentity();
        gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < count; i++) {
            glPushMatrix();
            glTranslatef(static_cast<float>(left + (i % columns + 0.5) * WIDTH / columns),
                         static_cast<float>(bottom + (i / columns + 0.5) * HEIGHT / rows), 0);
            if (turned) {
                glRotatef(static_cast<float>((i + 0.5) * 360 / count), 0, 0, 1);
            }
            Rend.Draw_Mobling();
            glPopMatrix();
        }
        glFlush();
        SDL_GL_SwapBuffers();
    }
    return 0;
}
