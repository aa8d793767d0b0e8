// SPDX-License-Identifier: MIT
// Runs the page's program in its canvas, as a desktop runs it in a window, and lets the
// reader hold it, step it and speed it up. What the program writes appears in #output,
// Close posts the quit event that closing the window posts, and #status says "running"
// (or "paused"), then "ended with status N".
//
// The run is named by its seed: ?seed=SECOND makes time(0) read SECOND, as a desktop run
// with its clock stopped at SECOND, and the web platform draws the C library's numbers as
// Linux draws them, so the page runs the very run the desktop runs for that seed.
// ?frames=N runs to frame N as fast as it goes and pauses there. ?step=MS gives a timed
// program's frame clock exactly MS milliseconds a pass, at any pace, as the desktop's
// --step gives it, so that its run too is the desktop's frame for frame; the untimed
// programs never read that clock, and only carry the step on in their link.
//
// The program's own time is the page's to give: an untimed program's time is its frames,
// so at speed 4 it runs four passes of its loop for each frame the browser shows (the
// browser shows the last), at 0.25 one pass every fourth frame, and so does a timed
// program with a fixed step; on the page's clock a timed program runs a pass a frame, and
// its frame clock reads the milliseconds it has run, times the speed. As fast as it goes,
// the passes run in tasks of a few milliseconds, one after another, and the browser shows
// the last pass of a task now and then; a timed program's clock then keeps the page's
// time. While paused, neither moves.
//
// It is a module: the page's other scripts import what they use of it, and a page starts
// its program by run(). Scripts from outside the page (the tests, the benchmarks) read the
// run through window.Page.

import {program} from './program.js';

const page = (function () {
  function element(id) {
    return document.getElementById(id);
  }
  var query = new URLSearchParams(location.search);
  var notices = [];

  // A whole number from `least` to `most` in the address, or null (and a notice) when
  // it is not one.
  function wholeNumber(name, least, most) {
    var text = query.get(name);
    if (text === null) {
      return null;
    }
    if (/^[0-9]+$/.test(text) && Number(text) >= least && Number(text) <= most) {
      return Number(text);
    }
    notices.push(name + '=' + text + ' is not a whole number from ' + least + ' to ' +
                 most + ', so it was left out');
    return null;
  }

  var given = wholeNumber('seed', 0, 4294967295);
  var seed = given === null ? Math.floor(Date.now() / 1000) : given;
  var stopAt = wholeNumber('frames', 1, Number.MAX_SAFE_INTEGER);
  // The run: its seed, its clock with the fixed step, if any, and its frames.
  var running = program(seed, wholeNumber('step', 1, 1000), frameDrawn);

  // -- what the program drew ----------------------------------------------------------
  // Every frame's placed shapes, x, y, rotation (NaN: unturned) each, kept in large
  // blocks: a run of an hour holds millions of numbers. What is kept is bounded, so that a
  // run of any size and length keeps the page's memory bounded: past KEPT_MOST numbers
  // (128 MB) the oldest blocks are let go, whole frames at a time, and the positions
  // download says which frames it holds. That is over half a million frames of twenty
  // creatures, and a hundred of 100,000.
  var BLOCK = 1 << 18;
  var KEPT_MOST = 1 << 25;
  var blocks = [new Float32Array(BLOCK)];
  var frameIn = [0];       // the first frame each block holds
  var used = 0;            // numbers in the last block
  var counts = [];         // numbers placed in each frame kept, from frame `dropped` on
  var dropped = 0;         // frames let go
  var kept = BLOCK;        // numbers the blocks can hold

  function keep(placed) {
    if (used + placed.length > blocks[blocks.length - 1].length) {
      var size = Math.max(BLOCK, placed.length);
      // A block let go that is large enough is taken again: a new one at every frame of
      // a crowd kept the collector busy for a frame now and then.
      var block = null;
      if (kept + size > KEPT_MOST) {
        while (kept + size > KEPT_MOST && blocks.length > 1) {
          var old = blocks.shift();
          kept -= old.length;
          block = old.length >= size ? old : block;
          frameIn.shift();
          counts.splice(0, frameIn[0] - dropped);
          dropped = frameIn[0];
        }
        showHeld();
      }
      blocks.push(block || new Float32Array(size));
      frameIn.push(dropped + counts.length);
      kept += blocks[blocks.length - 1].length;
      used = 0;
    }
    blocks[blocks.length - 1].set(placed, used);
    used += placed.length;
    counts.push(placed.length);
  }

  // What the positions download holds, where the oldest frames have been let go.
  function showHeld() {
    var held = element('positions-held');
    if (held) {
      held.textContent = dropped ? 'frames ' + dropped + ' on; the ' + dropped +
                                   ' before them were let go to bound the memory' : '';
    }
  }

  // Calls visit(frame, creature, x, y, rotation) for every shape of every frame kept.
  function eachPlaced(visit) {
    var b = 0, at = 0;
    for (var k = 0; k < counts.length; k++) {
      if (at + counts[k] > blocks[b].length) {
        b++;
        at = 0;
      }
      var block = blocks[b];
      for (var i = 0; i * 3 < counts[k]; i++) {
        visit(dropped + k, i, block[at + 3 * i], block[at + 3 * i + 1], block[at + 3 * i + 2]);
      }
      at += counts[k];
    }
  }

  // C's %.*g, which the desktop tools write numbers with, rounding a tie to even as C
  // does: every float is a decimal with finitely many digits, and toFixed(100) gives them
  // all.
  function g(value, digits) {
    if (value === 0 || !isFinite(value) || Math.abs(value) >= 1e21) {
      return String(value);
    }
    var text = Math.abs(value).toFixed(100);
    var point = text.indexOf('.');
    var all = text.slice(0, point) + text.slice(point + 1);
    var lead = all.search(/[1-9]/);
    var exponent = point - lead - 1;
    var kept = all.slice(lead, lead + digits).split('').map(Number);
    var rest = all.slice(lead + digits);
    if (rest[0] > '5' || (rest[0] === '5' &&
                          (/[1-9]/.test(rest.slice(1)) || kept[digits - 1] % 2 === 1))) {
      var i = digits - 1;
      for (; i >= 0 && kept[i] === 9; i--) {
        kept[i] = 0;
      }
      if (i < 0) {
        kept.unshift(1);
        kept.pop();
        exponent++;
      } else {
        kept[i]++;
      }
    }
    var sign = value < 0 ? '-' : '';
    var figures = kept.join('');
    if (exponent < -4 || exponent >= digits) {
      var power = Math.abs(exponent);
      return sign + (figures[0] + '.' + figures.slice(1)).replace(/\.?0+$/, '') + 'e' +
             (exponent < 0 ? '-' : '+') + (power < 10 ? '0' : '') + power;
    }
    var whole = exponent >= 0 ? figures.slice(0, exponent + 1) : '0';
    var fraction = exponent >= 0 ? figures.slice(exponent + 1)
                                 : '0'.repeat(-exponent - 1) + figures;
    fraction = fraction.replace(/0+$/, '');
    return sign + whole + (fraction ? '.' + fraction : '');
  }

  // The shortest text that reads back as the same single-precision number.
  function exact(value) {
    // toPrecision rounds as %.*g rounds but for a tie, which it rounds away from zero, and
    // from 1e-4 to 1e6 writes what %g writes but for the zeros %g drops. g() takes four
    // times as long, which the download of a run of 100,000 frames feels.
    var size = Math.abs(value);
    var digits, text;
    for (digits = 6; digits < 10 && size >= 1e-4 && size < 1e6; digits++) {
      text = value.toPrecision(digits);
      if (Math.fround(Number(text)) === value) {
        // A tie ends in a 5 one digit further on; anything else is no tie.
        if (value.toPrecision(digits + 1).slice(-1) !== '5') {
          return text.indexOf('.') < 0 ? text : text.replace(/\.?0+$/, '');
        }
        break;
      }
    }
    for (digits = 6; digits < 10; digits++) {
      text = g(value, digits);
      if (Math.fround(Number(text)) === value) {
        return text;
      }
    }
    return String(value);
  }

  // frame,creature,x,y,rotation: the columns of the desktop's trails CSV.
  function positionsCsv() {
    var parts = ['frame,creature,x,y,rotation\r\n'];
    var rows = [];
    eachPlaced(function (k, i, x, y, rotation) {
      rows.push(k + ',' + i + ',' + exact(x) + ',' + exact(y) + ',' +
                (isNaN(rotation) ? '' : exact(rotation)) + '\r\n');
      if (rows.length === 10000) {
        parts.push(rows.join(''));
        rows = [];
      }
    });
    parts.push(rows.join(''));
    return parts;
  }

  // -- what it wrote --------------------------------------------------------------------
  // Every line, up to LINES_MOST of the newest, so that a program that writes a line a pass,
  // run as fast as it goes for an hour, keeps the page's memory bounded.
  var lines = [];
  var LINES_MOST = 1 << 21;
  var letGo = 0;           // the oldest lines, let go
  // Laying the panel out again costs about a millisecond for each hundred lines it holds,
  // so it holds a terminal's scrollback, not everything, and is brought up to date a few
  // times a second, not at every frame.
  var SHOWN = 500;         // lines the panel holds
  var REFRESH = 250;       // ms between its updates while the program runs
  var shownUpTo = 0;       // lines the panel showed when it was last brought up to date
  var shownAt = -Infinity; // when that was

  function output() {
    return lines.length ? lines.join('\n') + '\n' : '';
  }

  // -- the run's own time ---------------------------------------------------------------
  var speed = 1;
  var fast = false;        // passes run as fast as they go
  var rushing = stopAt !== null;  // as fast as it goes to the frame the address names
  var paused = false;
  var passes = 0;          // passes the program may still run before the browser shows one
  var before = null;       // when the browser showed the frame before
  var interval = 1000 / 60;// ms between the browser's frames, lately
  var over = false;
  var pictured = -1;       // the frames drawn when the canvas was drawn, in the task that drew it
  var closing = false;     // Close was pressed, and the pass that sees it has not yet run

  var canvas = element('canvas');
  var status = element('status');
  var close = element('close');
  var pause = element('pause');
  var step = element('step');
  var speeds = element('speed');
  var frameShown = element('frame');
  var panel = element('output');
  var earlier = element('earlier');
  var link = element('link');
  var fixed = element('fixed-step');
  var stepMs = element('step-ms');
  var fullPage = element('full-page');
  var embedCode = element('embed-code');
  var runState = element('run-state');
  embedCode.addEventListener('focus', function () {
    embedCode.select();
  });

  element('seed').textContent = seed;

  function notice(text) {
    notices.push(text);
    element('notice').textContent = notices.join('; ');
  }
  notices.splice(0).forEach(notice);

  // The address's parts that name the run wherever it runs: its seed and its step.
  function runParts() {
    return [['seed', seed]].concat(running.step === null ? [] : [['step', running.step]]);
  }

  // What a page adds to its address: before(), parts to go before the seed, and after(),
  // parts after the moment (a playground's settings and changes).
  var more = function () {
    return {before: [], after: []};
  };

  // [name, value] pairs as an address's query, readably: a colon and an equals sign may
  // stand in a value as they are.
  function queryOf(parts) {
    return parts.map(function (part) {
      return part[0] + '=' + encodeURIComponent(part[1]).replace(/%3A/g, ':')
                                                        .replace(/%3D/g, '=');
    }).join('&');
  }

  function address() {
    var extra = more();
    var moment = paused && !over ? [['frames', running.frames()]] : [];
    return location.href.split(/[?#]/)[0] + '?' +
           queryOf(extra.before.concat(runParts(), moment, extra.after));
  }

  // The HTML that shows this run in another page: its world and a bar, in a frame of the
  // world's size and the bar's height.
  function embedding(full) {
    var at = full.indexOf('?');
    var src = full.slice(0, at) + '?embed=1&' + full.slice(at + 1);
    return '<iframe src="' + src.replace(/&/g, '&amp;') + '" width="800" height="640" ' +
           'title="' + name + ', seed ' + seed + '" style="border: 0"></iframe>';
  }

  // The address, and the link to the same run with its settings as controls.
  function showLink() {
    var full = address();
    link.href = fullPage.href = full;
    embedCode.value = embedding(full);
    var change = element('change-settings');
    if (change) {
      change.href = 'playground.html?' + queryOf([['preset', name]].concat(runParts()));
    }
  }

  // Pause takes effect at the end of the next pass, so that the picture it holds is one
  // drawn in the same task as the page's own copies of it are taken (the canvas keeps no
  // picture beyond that task).
  var pauseAsked = false;

  function setPaused(to) {
    pauseAsked = false;
    paused = to && !over;
    pause.textContent = paused ? 'Resume' : 'Pause';
    step.disabled = !paused;
    status.textContent = over ? status.textContent : paused ? 'paused' : 'running';
    showLink();
    announce();
    queueSlice();
  }

  // What a screen reader says of the run: only as it pauses, steps, goes on or ends, never
  // at every frame.
  function announce() {
    var said = over || paused ? status.textContent + ' at frame ' + running.frames()
                              : status.textContent;
    if (runState.textContent !== said) {
      runState.textContent = said;
    }
  }

  var view = null;         // left, right, bottom, top of the view, in world units
  var watchers = {frame: [], show: []};

  // Whether the pass about to run is drawn: only the last of those run before the browser
  // shows a frame, and the one a pause will hold. Drawing is most of a pass's cost, and a
  // picture drawn over by the next pass in the same task is never seen.
  function drawsNext() {
    if (pauseAsked || running.frames() + 1 === stopAt) {
      return true;
    }
    if (fast) {
      return pictureDue && performance.now() + passCost >= sliceEnd;
    }
    return passes < 2;
  }

  // Returns whether the program runs its next pass at once (Module.drawing says whether it
  // draws it) rather than waiting for the page to wake it.
  function frameDrawn(frame, placed, edges) {
    if (view === null) {
      view = Array.from(edges);
    }
    var frames = running.frames();
    if (Module.drawing) {
      pictured = frames;
    }
    keep(placed);
    watchers.frame.forEach(function (watch) {
      watch(frame, placed);
    });
    passes = Math.max(0, passes - 1);
    if (frames === 1 && running.timed()) {
      fixed.disabled = stepMs.disabled = false;
    }
    if (frames === stopAt && rushing) {
      rushing = false;
      speeds.value = settled;
      setSpeed();
    }
    if (pauseAsked || frames === stopAt) {
      setPaused(true);
    }
    // As fast as it goes, a task ends with the pass it draws, so that its picture is the
    // one the page shows with it. The pass that sees the quit event goes on to main's
    // return at once, not a frame later.
    var go = closing ||
             (!paused && (fast ? !Module.drawing && performance.now() < sliceEnd : passes >= 1));
    closing = false;
    if (go) {
      Module.drawing = drawsNext();
    }
    return go;
  }

  // As fast as it goes, the program runs passes for SLICE ms, gives the browser its turn
  // (a click on Pause or Close, a frame to show), and runs on, in a message's task: a
  // timer's would wait at least 4 ms. The browser shows at most one picture a frame.
  // Slices of 8 ms ran no more passes a second than these, and a click waited for longer.
  var SLICE = 4;
  var sliceEnd = 0;        // when the passes of this task are to stop
  var passCost = 0;        // ms a pass took in the last task
  var pictureDue = true;   // the browser has shown a frame since the last picture
  var queued = false;
  var channel = new MessageChannel();

  function queueSlice() {
    if (fast && !paused && !over && !queued) {
      queued = true;
      channel.port2.postMessage(null);
    }
  }

  channel.port1.onmessage = function () {
    queued = false;
    if (!fast || paused || over || !running.waiting()) {
      return;
    }
    pictured = -1;
    var start = performance.now(), first = running.frames();
    sliceEnd = start + SLICE;
    Module.drawing = drawsNext();
    running.pass();
    passCost = (performance.now() - start) / Math.max(1, running.frames() - first);
    if (pictured === running.frames()) {
      pictureDue = false;
    }
    show();
    queueSlice();
  };

  // A frame of the browser's: the program's time moves on, and the page shows what the
  // program drew and wrote.
  function shown(now) {
    if (over) {
      return;
    }
    requestAnimationFrame(shown);
    pictured = -1;
    if (before !== null) {
      interval = now - before;
    }
    if (!paused && before !== null) {
      if (running.step === null) {
        running.elapse(interval * speed);
      }
      // No backlog: a frame the program missed is not made up for later.
      var each = running.timed() && running.step === null ? 1 : speed;
      passes = Math.min(passes + each, Math.max(each, 1));
    }
    before = now;
    if (fast) {
      pictureDue = true;
      queueSlice();
    } else if (running.waiting() && passes >= 1 && !paused) {
      Module.drawing = drawsNext();
      running.pass();
    }
    show();
  }

  function show() {
    var text = String(running.frames());
    if (frameShown.textContent !== text) {
      frameShown.textContent = text;
    }
    watchers.show.forEach(function (watch) {
      watch();
    });
    var now = performance.now();
    if (shownUpTo === letGo + lines.length ||
        (now - shownAt < REFRESH && !paused && !over)) {
      return;
    }
    // Follow the newest line, unless the reader has scrolled back to read.
    var following = panel.scrollTop + panel.clientHeight >= panel.scrollHeight - 2;
    if (!following && !over) {
      return;
    }
    shownUpTo = letGo + lines.length;
    shownAt = now;
    var first = Math.max(0, lines.length - SHOWN);
    panel.textContent = lines.slice(first).join('\n') + '\n';
    earlier.textContent = letGo + first ? letGo + first + ' earlier lines are left out here; ' +
                                  'Save output keeps ' + (letGo ? 'the newest ' + lines.length
                                                                : 'them all') : '';
    panel.scrollTop = panel.scrollHeight;
  }

  function ended(text) {
    over = true;
    show();
    status.textContent = text;
    [close, pause, step, speeds, fixed, stepMs].forEach(function (control) {
      control.disabled = true;
    });
    showLink();
    announce();
  }

  // Downloads `blob` as a file named `file`, as a link with a download name does.
  function save(blob, file) {
    var anchor = document.createElement('a');
    anchor.href = URL.createObjectURL(blob);
    anchor.download = file;
    document.body.appendChild(anchor);
    anchor.click();
    anchor.remove();
    setTimeout(function () {
      URL.revokeObjectURL(anchor.href);
    }, 60000);
  }

  function download(link, file, parts, type) {
    link.addEventListener('click', function (event) {
      event.preventDefault();
      save(new Blob(parts(), {type: type}), file);
    });
  }

  var name = location.pathname.split('/').pop().replace(/\.html$/, '');
  download(element('positions'), name + '-positions.csv', positionsCsv, 'text/csv');
  download(element('save-output'), name + '-output.txt', function () {
    return [output()];
  }, 'text/plain');

  // Keys typed into the canvas are the program's, as a window's keys are: Space, the
  // arrows and the page keys must not scroll the page under it. Tab still leaves the
  // canvas, and the browser's own shortcuts still work.
  // SDL keeps a click on the canvas from giving it the focus, as a click gives a window.
  canvas.addEventListener('pointerdown', function () {
    canvas.focus();
  });
  canvas.addEventListener('keydown', function (event) {
    if (event.key !== 'Tab' && !event.ctrlKey && !event.metaKey && !event.altKey) {
      event.preventDefault();
    }
  });

  // As fast as it goes, the pass that a click on Pause or Close waits for runs at once: a
  // browser lets a page's own tasks wait until it has shown a frame after a click, and
  // the answer came a frame or more late.
  function passNow() {
    if (fast && running.waiting()) {
      pictured = -1;
      Module.drawing = drawsNext();
      running.pass();
      show();
    }
  }

  close.addEventListener('click', function () {
    close.disabled = true;
    closing = true;
    Module._web_request_quit();
    // The pass that sees the quit event still runs, as in a window.
    setPaused(false);
    pause.disabled = step.disabled = true;
    passNow();
  });
  pause.addEventListener('click', function () {
    if (paused) {
      setPaused(false);
    } else {
      pauseAsked = true;
      passNow();
    }
  });
  step.addEventListener('click', function () {
    if (paused && running.waiting()) {
      pictured = -1;
      passes = 1;
      if (running.step === null) {
        running.elapse(interval * speed);
      }
      Module.drawing = true;
      running.pass();
      show();
      showLink();
      announce();
    }
  });

  // As fast as it goes, a timed program's clock keeps the page's time.
  function setSpeed() {
    fast = speeds.value === 'fast';
    speed = fast ? 1 : Number(speeds.value);
    queueSlice();
  }

  // The speed chosen, which a run to the frame in the address takes once there, unless the
  // reader chooses another on the way.
  var settled = speeds.value;
  speeds.addEventListener('change', function () {
    rushing = false;
    setSpeed();
  });
  if (rushing) {
    speeds.value = 'fast';
  }
  setSpeed();

  // The fixed step, ticked or not, and its milliseconds: a whole number from 1 to 1000,
  // or else the one it was.
  var ms = running.step === null ? 16 : running.step;
  fixed.checked = running.step !== null;
  stepMs.value = ms;

  function setStep() {
    var given = Number(stepMs.value);
    if (Number.isInteger(given) && given >= 1 && given <= 1000) {
      ms = given;
    }
    stepMs.value = ms;
    running.step = fixed.checked ? ms : null;
    showLink();
  }
  fixed.addEventListener('change', setStep);
  stepMs.addEventListener('change', setStep);

  // Starts the program whose script is `script`.js in the canvas; beforeMain(Module), if
  // given, runs once its module is ready and before its main begins.
  function run(script, beforeMain) {
    window.Module = Object.assign(running.module, {
      canvas: canvas,
      // Keys reach the program while its canvas has the focus, as keys reach a window.
      keyboardListeningElement: canvas,
      print: function (line) {
        lines.push(line);
        if (lines.length > LINES_MOST) {
          var old = lines.length - LINES_MOST + (LINES_MOST >> 4);
          lines.splice(0, old);
          letGo += old;
        }
      },
      onRuntimeInitialized: function () {
        // Before main starts: a page may set what the program reads as it starts.
        if (beforeMain) {
          beforeMain(window.Module);
        }
        close.disabled = pause.disabled = speeds.disabled = false;
        setPaused(paused);
        requestAnimationFrame(shown);
      },
      onExit: function (code) {
        ended('ended with status ' + code);
      },
      onAbort: function (what) {
        ended('stopped: ' + what);
      },
    });
    var loader = document.createElement('script');
    loader.src = script + '.js';
    document.body.appendChild(loader);
  }

  // What scripts read of the run beside the page's elements: everything the program
  // wrote, and every position it drew as the CSV the positions link downloads. What
  // watches the run from the page: on('frame', watch) calls watch(frame, placed) as each
  // frame is drawn, placed being x, y, rotation of each shape, valid only during the call;
  // on('show', watch) calls watch() whenever the page shows the run anew (a browser's
  // frame, a step, a task of passes run as fast as they go, the end).
  return {
    canvas: canvas,
    on: function (what, watch) {
      watchers[what].push(watch);
    },
    // The view the program drew in: [left, right, bottom, top] in world units, once it
    // has drawn a frame.
    view: function () {
      return view;
    },
    name: name,
    save: save,
    output: output,
    positions: function () {
      return positionsCsv().join('');
    },
    frames: function () {
      return running.frames();
    },
    // The frames drawn when the canvas's picture was drawn, while the task that drew it
    // runs, or -1: a WebGL canvas reads black in any other task, and the page draws only
    // some of the passes it runs.
    pictured: function () {
      return pictured;
    },
    query: query,
    // Says `text` beside the run, with what the address got wrong.
    notice: notice,
    seed: seed,
    // The fixed step, ms a pass, or null on the page's clock.
    step: function () {
      return running.step;
    },
    // Whether the program waits between two passes until the page lets it run one: paused.
    holding: function () {
      return paused && !over;
    },
    module: function () {
      return window.Module;
    },
    // What the page adds to its address: more() gives {before, after}, [name, value] pairs.
    address: function (parts) {
      more = parts;
      showLink();
    },
    runParts: runParts,
    queryOf: queryOf,
    run: run,
  };
})();

export const {canvas, on, view, name, save, output, positions, frames, pictured, query,
              notice, seed, step, holding, module, address, runParts, queryOf, run} = page;

// What scripts from outside the page read of the run.
window.Page = {output: output, positions: positions, frames: frames};
