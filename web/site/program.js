// SPDX-License-Identifier: MIT
// The running of a program's module, whoever runs it: a page and the playground in their
// canvas, or an experiment's worker with no page at all. It gives the module the run's
// seed, which time(0) reads, and its frame clock, which SDL_GetTicks reads: moved on by
// exactly the fixed step at each swap, as the desktop's --step moves it, and by nothing
// else but what the runner gives it (a page's own time, for a timed program on the page's
// clock). It counts the frames drawn, hands each one's placed shapes to the runner, and
// holds the program between two passes until the runner lets it run the next.
//
// frameDrawn(frame, placed, view) is called as each frame is drawn (frame from 0; placed:
// x, y, rotation of each shape, valid only during the call; view: the projection's left,
// right, bottom and top) and returns whether the program runs its next pass at once;
// waits(), if given, when the program then waits for pass().
export function program(seed, step, frameDrawn, waits) {
  let frames = 0;
  let clock = 0;           // ms the program's clock reads
  let timed = false;       // the program has read it
  let wake = null;         // runs the program's next pass, while it waits for one
  const run = {
    step: step,            // ms a pass on the program's clock, or null
    frames: () => frames,
    timed: () => timed,
    waiting: () => wake !== null,
    // The clock moves on by `ms`, where the run has no fixed step.
    elapse(ms) {
      clock += ms;
    },
    // Runs the program's next pass, which it is waiting for.
    pass() {
      const go = wake;
      wake = null;
      go();
    },
    // What the program's module reads, to which a runner adds its own (Emscripten's
    // Module object).
    module: {
      seed: seed,
      drawing: true,       // whether the pass the program runs now is drawn
      ticks() {
        timed = true;
        return Math.floor(clock);
      },
      frameDrawn(placed, view) {
        frames++;
        // As the desktop's --step: the clock moves on at the swap, and at no other time.
        if (run.step !== null) {
          clock += run.step;
        }
        return frameDrawn(frames - 1, placed, view);
      },
      waitForPass(next) {
        wake = next;
        if (waits) {
          waits();
        }
      },
      printErr(line) {
        console.warn(line);
      },
    },
  };
  return run;
}
