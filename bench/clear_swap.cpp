// SPDX-License-Identifier: MIT
// The fastest an SDL 1.2 OpenGL program can show frames on this machine: the programs'
// window, opened exactly as setup.cpp opens it, then nothing but a clear and a swap per
// frame until the window is closed. The frame-rate benchmark measures every program
// against this.
#include "SDL.h"
#include <GL/gl.h>

#include <cstdio>

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::puts("clear_swap: SDL_Init failed");
        return 1;
    }
    // The same request as the programs make: a different pixel format or depth buffer
    // could change what the driver does on every swap.
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (SDL_SetVideoMode(800, 600, info->vfmt->BitsPerPixel, SDL_OPENGL) == nullptr) {
        std::puts("clear_swap: SDL_SetVideoMode failed");
        SDL_Quit();
        return 1;
    }
    glClearColor(0, 0, 0, 0);

    bool running = true;
    while (running) {
        SDL_Event evt;
        while (SDL_PollEvent(&evt)) {
            if (evt.type == SDL_QUIT) {
                running = false;
            }
        }
        glClear(GL_COLOR_BUFFER_BIT);
        SDL_GL_SwapBuffers();
    }
    SDL_Quit();
    return 0;
}
