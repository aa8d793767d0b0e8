// SPDX-License-Identifier: MIT
// SDL start-up, the event pump and the frame clock.
#include "setup.h"

#include "SDL.h"

#include <iostream>

int setup::active = 0;
unsigned int setup::current_time = 0;
unsigned int setup::last_time = 0;

setup::~setup() {
    SDL_Quit();
}

int setup::SDL_Setup() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::cout << "error init-ing sdl video" << std::endl;
        return 1;
    }
    // Read before a mode is set, so that the depth is the display's own.
    const SDL_VideoInfo* info = SDL_GetVideoInfo();

    // Minimums: the window may get more, and a refused attribute goes unreported.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    if (SDL_SetVideoMode(WIDTH, HEIGHT, info->vfmt->BitsPerPixel, SDL_OPENGL) == nullptr) {
        std::cout << "error setting video mode" << std::endl;
        return 1;
    }
    active = 1;
    return 0;
}

void setup::SetLastTime() {
    last_time = SDL_GetTicks();
}

void setup::UpdateTime() {
    // Unsigned arithmetic carries the difference across the wrap of the tick counter.
    current_time = SDL_GetTicks() - last_time;
    last_time = SDL_GetTicks();
}

void setup::event() {
    SDL_Event evt;
    while (SDL_PollEvent(&evt)) {
        if (evt.type == SDL_QUIT) {
            active = 0;
        }
    }
}
