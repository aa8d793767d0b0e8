// SPDX-License-Identifier: MIT
// An experiment's worker: makes the runs the page hands it, one at a time, each a
// new instance of the playground's classes beneath no page (web/worker.cpp), run as fast
// as it goes for exactly the frames asked for, and keeps the measures of every K-th frame,
// never the positions. The page holds all its workers with Pause: a run answers between
// two slices of passes, a few milliseconds apart.
//
// From the page: {run: {id, script, settings, seed, step, frames, every, centre}} (settings:
// every field's value, in the order of include/settings.h; step: ms a pass on the
// program's clock, or null), {pause: true}, {pause: false}.
// To the page: {progress: frames} now and then, {done: id, rows, frames} (rows: a
// Float64Array of five measures a measured frame, NaN where a frame has no step), or
// {failed: id, why}.
import {advance, measuring, NAMES} from './measures.js';

const SLICE = 8;           // ms of passes between two looks at the page's messages
const PROGRESS_EVERY = 100; // ms
const compiled = {};        // each build's module, compiled once for every run

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
  let frames = 0;
  let clock = 0;
  let start = null, before = null, now = null;
  let rows = new Float64Array(NAMES.length * 64);
  let measured = 0;
  let sliceEnd = 0;
  let reported = performance.now();
  let module = null;
  let ended = false;

  function keep(row) {
    if ((measured + 1) * NAMES.length > rows.length) {
      const more = new Float64Array(rows.length * 2);
      more.set(rows);
      rows = more;
    }
    NAMES.forEach((name, m) => {
      rows[measured * NAMES.length + m] = row[name] === null ? NaN : row[name];
    });
    measured++;
  }

  function fail(why) {
    if (!ended) {
      ended = true;
      postMessage({failed: job.id, why: String(why)});
    }
  }

  function frameDrawn(placed) {
    const k = frames++;
    // Two copies taken in turn: the frame before is all a step needs.
    if (now === null || now === start) {
      now = new Float32Array(placed.length);
    }
    now.set(placed);
    if (start === null) {
      start = now;
    }
    if (k % job.every === 0) {
      keep(advance(measuring(k, now, k ? before : null, start, job.centre[0], job.centre[1]),
                   Infinity));
    }
    [before, now] = [now, before];
    if (job.step !== null) {
      clock += job.step;
    }
    if (frames + 1 === job.frames) {
      module._web_request_quit();
    }
    if (frames >= job.frames || performance.now() < sliceEnd) {
      return true;
    }
    const t = performance.now();
    if (t - reported >= PROGRESS_EVERY) {
      reported = t;
      postMessage({progress: job.id, frames: frames});
    }
    return false;
  }

  function slice(wake) {
    if (paused) {
      held = () => slice(wake);
      return;
    }
    sliceEnd = performance.now() + SLICE;
    wake();
  }

  build(job.script).then(([factory, wasm]) => factory({
    seed: job.seed,
    drawing: false,
    ticks: () => Math.floor(clock),
    frameDrawn: frameDrawn,
    waitForPass: (wake) => soon(() => slice(wake)),
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
      sliceEnd = performance.now() + SLICE;
    },
    onExit: (status) => {
      if (ended) {
        return;
      }
      if (status !== 0 || frames !== job.frames) {
        fail('the program ended with status ' + status + ' after ' + frames + ' frames');
        return;
      }
      ended = true;
      const kept = rows.slice(0, measured * NAMES.length);
      postMessage({done: job.id, rows: kept, frames: frames}, [kept.buffer]);
    },
    onAbort: (what) => fail(what),
  })).catch(fail);
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
