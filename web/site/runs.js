// SPDX-License-Identifier: MIT
// An experiment's worker: makes the runs the page hands it, one at a time, each a new
// instance of the playground's classes beneath no page (web/worker.cpp), run as a page runs
// it (program.js) but as fast as it goes, for exactly the frames asked for, and keeps the
// measures of every K-th frame, never the positions. The page holds all its workers with
// Pause: a run answers between two slices of passes, a few milliseconds apart.
//
// From the page: {run: {id, script, settings, seed, step, frames, every, centre, speed}}
// (settings: every field's value, in the order of include/settings.h; step: ms a pass on
// the program's clock, or null; speed: a timed program's, else null), {pause: true},
// {pause: false}.
// To the page: {progress: id, frames} now and then, {held: id} as a pause holds the run,
// {done: id, rows, clock, frames} (rows:
// a Float64Array of five measures a measured frame, NaN where a frame has no step; clock:
// a timed program's seconds at each, else null), or {failed: id, why}.
import {advance, measuring, NAMES} from './measures.js';
import {program} from './program.js';

const SLICE = 8;           // ms of passes between two looks at the page's messages
const PROGRESS_EVERY = 100; // ms
const compiled = {};        // each build's module, compiled once for every run

// Python's round(): a half goes to the even neighbour.
function roundEven(x) {
  const r = Math.round(x);
  return Math.abs(x % 1) === 0.5 && r % 2 !== 0 ? r - 1 : r;
}

// A growing array of doubles.
function column(width) {
  let values = new Float64Array(width * 64), used = 0;
  return {
    push(...row) {
      if (used + width > values.length) {
        const more = new Float64Array(values.length * 2);
        more.set(values);
        values = more;
      }
      values.set(row, used);
      used += width;
    },
    taken: () => values.slice(0, used),
  };
}

let paused = false;
let held = null;            // the next slice of the run, while paused

const later = new MessageChannel();
let next = null;
later.port1.onmessage = () => {
  const go = next;
  next = null;
  go();
};
function soon(go) {
  next = go;
  later.port2.postMessage(null);
}

async function build(script) {
  if (!compiled[script]) {
    compiled[script] = Promise.all([
      import('./' + script + '_runs.js').then((m) => m.default),
      WebAssembly.compileStreaming(fetch(script + '_runs.wasm')),
    ]);
  }
  return compiled[script];
}

function make(job) {
  const run = program(job.seed, job.step, frameDrawn, () => soon(slice));
  let start = null, before = null, now = null;
  const rows = column(NAMES.length);
  const seconds = job.speed === null ? null : column(1);
  let ms = 0;               // the whole milliseconds a timed program's clock counted
  let sliceEnd = 0;
  let reported = performance.now();
  let module = null;
  let ended = false;

  function fail(why) {
    if (!ended) {
      ended = true;
      postMessage({failed: job.id, why: String(why)});
    }
  }

  function measure(k) {
    return advance(measuring(k, now, k ? before : null, start, job.centre[0], job.centre[1]),
                   Infinity);
  }

  function frameDrawn(k, placed) {
    // Two copies taken in turn: the frame before is all a step needs.
    if (now === null || now === start) {
      now = new Float32Array(placed.length);
    }
    now.set(placed);
    if (start === null) {
      start = now;
    }
    const row = k % job.every === 0 ? measure(k) : null;
    if (row) {
      rows.push(row.inside, row.outside, row['mean-distance'], row['mean-from-start'],
                row['mean-step'] ?? NaN);
    }
    // A timed program's clock, which its steps give back as the desktop reads it: each
    // frame's step is its speed times the whole milliseconds the clock counted for it.
    if (seconds && k > 0) {
      ms += roundEven((row || measure(k))['mean-step'] / job.speed);
    }
    if (seconds && row) {
      seconds.push(ms / 1000);
    }
    [before, now] = [now, before];
    // The pass that drains the quit event draws the last frame, as on the desktop.
    if (k + 2 === job.frames) {
      module._web_request_quit();
    }
    if (k + 1 >= job.frames || performance.now() < sliceEnd) {
      return true;
    }
    const t = performance.now();
    if (t - reported >= PROGRESS_EVERY) {
      reported = t;
      postMessage({progress: job.id, frames: k + 1});
    }
    return false;
  }

  function slice() {
    if (paused) {
      held = slice;
      postMessage({held: job.id});
      return;
    }
    sliceEnd = performance.now() + SLICE;
    run.pass();
  }

  build(job.script).then(([factory, wasm]) => factory(Object.assign(run.module, {
    drawing: false,
    print: () => {},
    printErr: () => {},
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm), fail);
      return {};
    },
    onRuntimeInitialized: function () {
      module = this;
      job.settings.forEach((value, i) => module._web_set_setting(i, value));
      if (job.frames === 1) {
        module._web_request_quit();
      }
      // A run begun while the page holds the others waits with them from its first pass.
      sliceEnd = paused ? 0 : performance.now() + SLICE;
    },
    onExit: (status) => {
      if (ended) {
        return;
      }
      const frames = run.frames();
      if (status !== 0 || frames !== job.frames) {
        fail('the program ended with status ' + status + ' after ' + frames + ' frames');
        return;
      }
      ended = true;
      const kept = rows.taken(), clock = seconds && seconds.taken();
      postMessage({done: job.id, rows: kept, clock: clock, frames: frames},
                  [kept.buffer].concat(clock ? [clock.buffer] : []));
    },
    onAbort: (what) => fail(what),
  }))).catch(fail);
}

onmessage = (event) => {
  const message = event.data;
  if (message.run) {
    make(message.run);
  } else if ('pause' in message) {
    paused = message.pause;
    if (!paused && held) {
      const go = held;
      held = null;
      soon(go);
    }
  }
};
