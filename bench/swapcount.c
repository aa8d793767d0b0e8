/* SPDX-License-Identifier: MIT */
/* Counts the frames an SDL 1.2 program shows, from outside it: preloaded, it wraps
 * SDL_GL_SwapBuffers, notes the time of the first and the last swap, and when the
 * process ends appends one line to the file named by SWAPCOUNT_FILE:
 *
 *   swapcount pid=<pid> swaps=<n> start_ns=<t> first_ns=<t> last_ns=<t> end_ns=<t>
 *             cpu_first_ns=<t> cpu_last_ns=<t>
 *
 * (all on one line). Times are CLOCK_MONOTONIC nanoseconds, the clock every process on
 * the machine shares, so the caller can set them against its own. cpu_* is the CPU time
 * the whole process (every thread, the GL driver's included) had used at the first and
 * the last swap: the cost of a frame, which other load on the machine barely changes.
 * Before the first swap, first_ns, last_ns and cpu_* are -1. Appending one line per process, rather
 * than writing a fixed file, keeps a helper process that inherits the environment from overwriting
 * the program's figures.
 *
 *   LD_PRELOAD=libswapcount.so SWAPCOUNT_FILE=/tmp/f program
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef void (*swap_fn)(void);

static swap_fn real_swap;
static long long swaps;
static long long start_ns;
static long long first_ns = -1;
static long long last_ns = -1;
static long long cpu_first_ns = -1;
static long long cpu_last_ns = -1;

static long long clock_ns(clockid_t clock) {
    struct timespec ts;
    clock_gettime(clock, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static long long now_ns(void) {
    return clock_ns(CLOCK_MONOTONIC);
}

__attribute__((constructor)) static void swapcount_start(void) {
    start_ns = now_ns();
}

/* The time is taken after the real swap returns: that is when the frame is shown. The
 * process's CPU clock is a system call, a microsecond against the millisecond or more
 * that a frame takes. */
void SDL_GL_SwapBuffers(void) {
    if (!real_swap) {
        real_swap = (swap_fn)dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
        if (!real_swap) {
            /* Preloaded into something that is no SDL 1.2 program: say so once. */
            static const char msg[] = "swapcount: no SDL_GL_SwapBuffers to wrap\n";
            if (write(2, msg, sizeof msg - 1) < 0) {
                /* nothing more can be done about it */
            }
            abort();
        }
    }
    real_swap();
    long long t = now_ns();
    long long cpu = clock_ns(CLOCK_PROCESS_CPUTIME_ID);
    if (swaps == 0) {
        first_ns = t;
        cpu_first_ns = cpu;
    }
    last_ns = t;
    cpu_last_ns = cpu;
    swaps++;
}

__attribute__((destructor)) static void swapcount_report(void) {
    const char* path = getenv("SWAPCOUNT_FILE");
    if (!path || !*path)
        return;
    char line[320];
    int len = snprintf(line, sizeof line,
                       "swapcount pid=%ld swaps=%lld start_ns=%lld first_ns=%lld last_ns=%lld "
                       "end_ns=%lld cpu_first_ns=%lld cpu_last_ns=%lld\n",
                       (long)getpid(), swaps, start_ns, first_ns, last_ns, now_ns(), cpu_first_ns,
                       cpu_last_ns);
    /* One write to an O_APPEND file: lines of several processes never interleave. */
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (len > 0 && write(fd, line, (size_t)len) < 0) {
        /* the caller will find no line for this process and say so */
    }
    close(fd);
}
