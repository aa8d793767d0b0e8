/* SPDX-License-Identifier: MIT */
/* Runs that repeat on any machine, given to an SDL 1.2 program from beneath it: preloaded,
 * it stands in front of SDL_GetTicks, SDL_GL_SwapBuffers and SDL_PollEvent.
 *
 *   FRAMECLOCK_STEP_MS=MS  SDL_GetTicks reads as if every frame took exactly MS ms: the
 *                          real tick count at its first read, moved on by MS at each buffer
 *                          swap and at no other time. A timed program's steps then depend
 *                          on the frames it has drawn, not on how fast the machine drew them.
 *   FRAMECLOCK_FRAMES=N    the run draws exactly N frames: as the Nth pass drains its
 *                          events it finds the quit event that closing the window posts,
 *                          and that pass, which still moves and draws, is the last.
 *
 *   LD_PRELOAD=libframeclock.so FRAMECLOCK_STEP_MS=16 FRAMECLOCK_FRAMES=600 program
 *
 * The tools check what they are given before anything runs; a value that is no whole
 * number from 1 up here stops the program before its first frame, rather than letting it
 * run a run that nobody asked for.
 */
#define _GNU_SOURCE
#include "SDL.h"

#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

typedef Uint32 (*ticks_fn)(void);
typedef void (*swap_fn)(void);
typedef int (*poll_fn)(SDL_Event*);
typedef int (*push_fn)(SDL_Event*);

static unsigned long step_ms; /* 0: the real clock */
static unsigned long frames;  /* 0: as many as the run takes */
static unsigned long swaps;
static int started;        /* the clock has been read */
static Uint32 start_ticks; /* what it read then */
static unsigned long start_swaps;
static int quit_posted;

static void fail(const char* msg, size_t len) {
    if (write(2, msg, len) < 0) {
        /* nothing more can be done about it */
    }
    abort();
}
#define FAIL(text) fail("frameclock: " text "\n", sizeof "frameclock: " text "\n" - 1)

static void* next(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (!found)
        FAIL("no SDL 1.2 function to stand in front of");
    return found;
}

static unsigned long count(const char* name) {
    const char* text = getenv(name);
    if (!text || !*text)
        return 0;
    char* end;
    errno = 0;
    unsigned long value = strtoul(text, &end, 10);
    if (*end || errno || value == 0 || text[0] < '0' || text[0] > '9')
        FAIL("FRAMECLOCK_STEP_MS and FRAMECLOCK_FRAMES must be whole numbers from 1");
    return value;
}

__attribute__((constructor)) static void frameclock_start(void) {
    step_ms = count("FRAMECLOCK_STEP_MS");
    frames = count("FRAMECLOCK_FRAMES");
}

Uint32 SDL_GetTicks(void) {
    static ticks_fn real;
    if (!real)
        real = (ticks_fn)next("SDL_GetTicks");
    if (!step_ms)
        return real();
    if (!started) {
        started = 1;
        start_ticks = real();
        start_swaps = swaps;
    }
    /* Unsigned, so it wraps after 49 days as SDL's own count does. */
    return start_ticks + (Uint32)(step_ms * (swaps - start_swaps));
}

void SDL_GL_SwapBuffers(void) {
    static swap_fn real;
    if (!real)
        real = (swap_fn)next("SDL_GL_SwapBuffers");
    real();
    swaps++;
}

int SDL_PollEvent(SDL_Event* event) {
    static poll_fn real;
    if (!real)
        real = (poll_fn)next("SDL_PollEvent");
    if (frames && !quit_posted && swaps + 1 >= frames) {
        quit_posted = 1;
        SDL_Event quit = {0};
        quit.type = SDL_QUIT;
        ((push_fn)next("SDL_PushEvent"))(&quit);
    }
    return real(event);
}
