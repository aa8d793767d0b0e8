// SPDX-License-Identifier: MIT
/* A known SDL 1.2 + OpenGL program to check the harness itself against: it
 * draws a fixed picture (a rectangle and one creature-sized quad in the
 * -10..810 x -10..610 projection), reports every key it receives and says
 * "quit" when SDL delivers SDL_QUIT. If the harness's key presses, close
 * requests or screenshots stop reaching a real SDL window, the tests that
 * rely on them would pass for the wrong reason; this catches that. */
#include "SDL.h"
#include <GL/gl.h>
#include <stdio.h>

static void quad(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3)
{
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y1);
    glVertex2f(x2, y2);
    glVertex2f(x3, y3);
    glEnd();
}

int main(int argc, char **argv)
{
    (void)argc;
    (void)argv;
    setvbuf(stdout, NULL, _IOLBF, 0); /* the test reads keys while we run */
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        printf("init failed\n");
        return 1;
    }
    if (!SDL_SetVideoMode(800, 600, 0, SDL_OPENGL)) {
        printf("video mode failed\n");
        SDL_Quit();
        return 1;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 810, -10, 610, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    int running = 1;
    while (running) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT)
                running = 0;
            else if (e.type == SDL_KEYDOWN)
                printf("key %s\n", SDL_GetKeyName(e.key.keysym.sym));
        }
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(0, 0, 1);
        quad(100, 100, 100, 200, 300, 200, 300, 100);
        quad(600 - 3, 450 - 3, 600 - 3, 450 + 3, 600 + 4, 450 + 4, 600 + 3, 450 - 3);
        SDL_GL_SwapBuffers();
        SDL_Delay(10);
    }
    printf("quit\n");
    SDL_Quit();
    return 0;
}
