/* SPDX-License-Identifier: MIT */
/* Swaps a known number of times through the stand-in SDL, for the frame counter's test:
 *
 *   swap_driver SWAPS SLEEP_MS BUSY_MS [fork]
 *
 * sleeps SLEEP_MS before the first swap (time passes, no CPU is used) and keeps the CPU
 * busy for BUSY_MS between the first and the second; with "fork", a child process that
 * inherits everything (as a library's helper process would) swaps once more and exits
 * normally. Prints how many swaps reached the stand-in SDL and the child's pid (0 without
 * one). */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

long fake_sdl_swaps(void);
void SDL_GL_SwapBuffers(void);

static double cpu_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 || (argc == 5 && strcmp(argv[4], "fork") != 0)) {
        fprintf(stderr, "usage: %s SWAPS SLEEP_MS BUSY_MS [fork]\n", argv[0]);
        return 2;
    }
    long swaps = strtol(argv[1], NULL, 10);
    long sleep_ms = strtol(argv[2], NULL, 10);
    double busy_ms = strtod(argv[3], NULL);

    struct timespec pause = {sleep_ms / 1000, (sleep_ms % 1000) * 1000000L};
    nanosleep(&pause, NULL);
    for (long i = 0; i < swaps; i++) {
        SDL_GL_SwapBuffers();
        if (i == 0) {
            double until = cpu_ms() + busy_ms;
            volatile unsigned long spin = 0;
            while (cpu_ms() < until)
                spin++;
        }
    }

    long child = 0;
    if (argc == 5) {
        fflush(stdout);
        pid_t pid = fork();
        if (pid < 0)
            return 1;
        if (pid == 0) {
            SDL_GL_SwapBuffers();
            exit(0);
        }
        waitpid(pid, NULL, 0);
        child = pid;
    }
    printf("forwarded=%ld child=%ld\n", fake_sdl_swaps(), child);
    return 0;
}
