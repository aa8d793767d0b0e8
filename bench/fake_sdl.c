/* SPDX-License-Identifier: MIT */
/* A stand-in for SDL 1.2 in the frame counter's test: its one function only counts how
 * often it is called, so the test can tell whether the counter passed every swap on. */
long fake_sdl_swaps(void);
void SDL_GL_SwapBuffers(void);

static long swaps_seen;

void SDL_GL_SwapBuffers(void) {
    swaps_seen++;
}

long fake_sdl_swaps(void) {
    return swaps_seen;
}
