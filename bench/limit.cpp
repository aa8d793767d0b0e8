// SPDX-License-Identifier: MIT
// The fastest an SDL 1.2 OpenGL program can show the frames a program of ours must show:
// the programs' window, opened exactly as setup.cpp opens it, then every frame drawn as
// renderer.cpp draws it, the same number of shapes in the same projection, turned or not,
// until the window is closed. The shapes stand still at fixed places: no movement rules,
// no random draws, no frame clock. What a program costs beyond this is ours to spend.
//
//     limit [SHAPES [turned] [centred]]
//
// Without shapes it only clears and swaps, the limit of SDL and OpenGL themselves.
#include "SDL.h"
#include <GL/gl.h>
#include <GL/glu.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace {

const int WIDTH = 800;
const int HEIGHT = 600;
const int CENTREX = WIDTH / 2;
const int CENTREY = HEIGHT / 2;

struct shape {
    float X, Y, Rot;
};

struct drawing {
    int Count = 0;
    bool Turned = false;
    bool Centred = false;
};

// A grid of cells over the field, a shape in the middle of each, row by row: spread as a
// population is, and no shape hides another, so each one costs its full share of pixels.
// The angles are spread over the circle, none of them zero: a driver may skip a turn by
// nothing.
std::vector<shape> Places(int count, bool centred) {
    std::vector<shape> shapes;
    shapes.reserve(count);
    if (count == 0) {
        return shapes;
    }
    const int columns = static_cast<int>(std::ceil(std::sqrt(count * double(WIDTH) / HEIGHT)));
    const int rows = (count + columns - 1) / columns;
    const double left = centred ? -CENTREX : 0;
    const double bottom = centred ? -CENTREY : 0;
    for (int i = 0; i < count; i++) {
        const int column = i % columns;
        const int row = i / columns;
        shapes.push_back({
            static_cast<float>(left + (column + 0.5) * WIDTH / columns),
            static_cast<float>(bottom + (row + 0.5) * HEIGHT / rows),
            static_cast<float>((i + 0.5) * 360 / count),
        });
    }
    return shapes;
}

// What the command line asks to draw; nothing when it asks for anything else.
std::optional<drawing> Parse(int argc, char** argv) {
    drawing asked;
    if (argc < 2) {
        return asked;
    }
    const std::string_view number = argv[1];
    const char* last = number.data() + number.size();
    const auto [end, error] = std::from_chars(number.data(), last, asked.Count);
    if (error != std::errc() || end != last || asked.Count < 0) {
        return std::nullopt;
    }
    for (int i = 2; i < argc; i++) {
        const std::string_view word = argv[i];
        if (word == "turned" && !asked.Turned) {
            asked.Turned = true;
        } else if (word == "centred" && !asked.Centred) {
            asked.Centred = true;
        } else {
            return std::nullopt;
        }
    }
    return asked;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<drawing> asked = Parse(argc, argv);
    if (!asked) {
        (void)std::fputs("usage: limit [SHAPES [turned] [centred]]\n", stderr);
        return 2;
    }
    const std::vector<shape> shapes = Places(asked->Count, asked->Centred);

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::puts("limit: SDL_Init failed");
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
    if (SDL_SetVideoMode(WIDTH, HEIGHT, info->vfmt->BitsPerPixel, SDL_OPENGL) == nullptr) {
        std::puts("limit: SDL_SetVideoMode failed");
        SDL_Quit();
        return 1;
    }
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (asked->Centred) {
        glOrtho(-CENTREX, CENTREX, -CENTREY, CENTREY, -10, 10);
    } else {
        glOrtho(-10, WIDTH + 10, -10, HEIGHT + 10, -10, 10);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    bool running = true;
    while (running) {
        SDL_Event evt;
        while (SDL_PollEvent(&evt)) {
            if (evt.type == SDL_QUIT) {
                running = false;
            }
        }
        // Draw_All's calls, one for one: any other call would be a cost the programs do not
        // pay, or leave out one they do.
        glLoadIdentity();
        gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        for (const shape& s : shapes) {
            glPushMatrix();
            glTranslatef(s.X, s.Y, 0);
            if (asked->Turned) {
                glRotatef(s.Rot, 0, 0, 1);
            }
            glBegin(GL_QUADS);
            glColor3f(0, 0, 1);
            glVertex2f(-3, -3);
            glVertex2f(-3, 3);
            glVertex2f(4, 4);
            glVertex2f(3, -3);
            glEnd();
            glPopMatrix();
        }
        glFlush();
        SDL_GL_SwapBuffers();
    }
    SDL_Quit();
    return 0;
}
