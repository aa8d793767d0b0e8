// SPDX-License-Identifier: MIT
// Experiments in the page: many seeded runs of a program, one setting varied over values
// if asked, each run measured frame by frame, as scripts/experiment.sh runs them on the
// desktop, and written as it writes them: the same table (STEM.csv), the same summary of
// a sweep (STEM-summary.csv), a plot as its plot. The runs go to Web Workers (runs.js),
// one per core the browser reports (?workers=N chooses another number), each running the
// playground's classes with no page and no drawing; the page keeps only the measures.
//
// The experiment is a link: ?preset=PROGRAM, FIELD=VALUE for each setting changed, and
// vary=FIELD=V1,V2,..., runs=R, frames=N, step=MS, every=K and seed=SECOND, as the
// desktop's options name them. Opening it fills the form and runs it; one of more than
// about a minute's passes asks first.
import {parse, quoted, text} from './settings.js';
import {NAMES} from './measures.js';

const DATA = JSON.parse(document.getElementById('playground-data').textContent);
const FIELDS = DATA.fields;
const byName = Object.fromEntries(FIELDS.map((f) => [f.name, f]));
const element = (id) => document.getElementById(id);
const query = new URLSearchParams(location.search);
const HEADER = ['run', 'seed', 'step_ms', 'frame', 'inside', 'outside', 'mean_distance',
                'mean_from_start', 'mean_step'];
const MEASURES = HEADER.slice(4);
// Passes a worker makes in a second, about: a guess for the time an experiment takes
// until its first runs have told.
const GUESS_RATE = 250000;
const ASK_BEYOND = 60;      // s: a longer experiment asks before it starts
// The measured frames kept at most, five numbers of 8 bytes each: 160 MB.
const ROWS_MOST = 1 << 22;

// -- numbers, as the desktop writes them ------------------------------------------------

// Python's repr of a float: the shortest digits that read back as it, in fixed notation
// from 1e-4 up to 1e16 (with at least one decimal), else with an exponent of two digits.
export function repr(x) {
  if (Number.isNaN(x)) {
    return 'nan';
  }
  if (!Number.isFinite(x)) {
    return x > 0 ? 'inf' : '-inf';
  }
  if (x === 0) {
    return Object.is(x, -0) ? '-0.0' : '0.0';
  }
  const [mantissa, power] = Math.abs(x).toExponential().split('e');
  const digits = mantissa.replace('.', '');
  const exponent = Number(power);
  const sign = x < 0 ? '-' : '';
  if (exponent < -4 || exponent >= 16) {
    return sign + digits[0] + (digits.length > 1 ? '.' + digits.slice(1) : '') + 'e' +
           (exponent < 0 ? '-' : '+') + String(Math.abs(exponent)).padStart(2, '0');
  }
  if (exponent < 0) {
    return sign + '0.' + '0'.repeat(-exponent - 1) + digits;
  }
  const whole = digits.slice(0, exponent + 1).padEnd(exponent + 1, '0');
  return sign + whole + '.' + (digits.slice(exponent + 1) || '0');
}

// A measure as the table holds it: the counts are whole numbers, the means floats, and a
// frame without a step has none.
function cell(value, m) {
  return Number.isNaN(value) ? '' : m < 2 ? String(value) : repr(value);
}

// numpy's percentile of sorted numbers, linearly between the two nearest, as it does it.
function percentile(sorted, q) {
  const n = sorted.length;
  if (n === 0) {
    return NaN;
  }
  const at = n * q + (1 + q * (1 - 1 - 1)) - 1;
  const below = Math.floor(at), above = Math.min(below + 1, n - 1);
  const t = at - below, a = sorted[below], b = sorted[above];
  const diff = b - a;
  return t >= 0.5 ? b - diff * (1 - t) : a + diff * t;
}

function quartiles(values) {
  const kept = values.filter((v) => !Number.isNaN(v)).sort((a, b) => a - b);
  return [0.25, 0.5, 0.75].map((q) => percentile(kept, q));
}

// -- what the experiment is --------------------------------------------------------------

class Invalid extends Error {}

// The desktop's words for a whole number it cannot take.
function whole(name, given, least, most) {
  const bound = most === undefined ? 'from ' + least + ' up' : 'from ' + least + ' to ' + most;
  if (!/^[0-9]+$/.test(given) || Number(given) < least ||
      (most !== undefined && Number(given) > most)) {
    throw new Invalid(name + ' must be a whole number ' + bound + ', not ' + quoted(given));
  }
  return Number(given);
}

function fieldNamed(name, given) {
  if (!(name in byName)) {
    throw new Invalid((name || quoted(given)) + ' is not a setting; the settings ' +
                      '(include/settings.h) are ' +
                      FIELDS.map((f) => f.name + ' (' + f.type + ')').join(', '));
  }
  return byName[name];
}

// Checks what the form or the address gives, {preset, sets: [[FIELD, VALUE]], vary,
// runs, frames, step, every, seed}, all text, as the desktop checks its arguments; the
// experiment, or an Invalid saying what cannot be in the desktop's words.
function check(given) {
  if (!(given.preset in DATA.presets)) {
    throw new Invalid(given.preset + ' is not one of the programs ' +
                      Object.keys(DATA.presets).join(', '));
  }
  const preset = DATA.presets[given.preset];
  const step = given.step === '' ? null :
               whole('the step (--step) in milliseconds', given.step, 1, 1000);
  const frames = whole('the number of frames (--frames)', given.frames, 1);
  const every = whole('the measuring interval (--every)', given.every, 1);
  const settings = Object.assign({}, preset.settings);
  const changed = {};
  for (const [name, value] of given.sets) {
    const field = fieldNamed(name, name + '=' + value);
    if (name in changed) {
      throw new Invalid('--set ' + name + '=' + value + ': ' + name + ' is set twice');
    }
    settings[name] = parse(field, value, DATA.populationMost);
    changed[name] = text(field, settings[name]);
  }
  let vary = null;
  if (given.vary !== '') {
    const at = given.vary.indexOf('=');
    const name = at < 0 ? '' : given.vary.slice(0, at);
    const field = fieldNamed(name, given.vary);
    if (name in changed) {
      throw new Invalid(name + ' is both set (--set) and varied (--vary)');
    }
    const texts = given.vary.slice(at + 1).split(',');
    if (texts.length === 1 && texts[0] === '') {
      throw new Invalid(name + '= names no values: give them as ' + name + '=V1,V2,...');
    }
    const values = [];
    for (const each of texts) {
      const value = parse(field, each, DATA.populationMost);
      if (values.includes(value)) {
        throw new Invalid(name + '=' + each + ': the value ' + each + ' is given twice');
      }
      values.push(value);
    }
    vary = {field: field, texts: texts, values: values};
  }
  if (!/^-?[0-9]+$/.test(given.runs)) {
    throw new Invalid('argument runs: invalid int value: ' + quoted(given.runs));
  }
  const runs = Number(given.runs);
  if (runs < 1) {
    throw new Invalid('RUNS must be at least 1');
  }
  if (!/^-?[0-9]+$/.test(given.seed)) {
    throw new Invalid('argument --seed: invalid int value: ' + quoted(given.seed));
  }
  const seed = Number(given.seed);
  if (!(seed >= 0 && seed <= 2 ** 32 - runs)) {
    throw new Invalid('the seed' + (runs > 1 ? 's' : '') + ' must lie between 0 and ' +
                      (2 ** 32 - 1));
  }
  const groups = (vary ? vary.values : [null]).map((value, g) => {
    const own = Object.assign({}, settings);
    if (vary) {
      own[vary.field.name] = value;
    }
    return {
      value: vary ? vary.texts[g] : null,
      settings: own,
      // What the desktop reads of the program from outside: its clock's speed is the
      // setting's text as a double, not as the float the program holds.
      speed: own.Timed ? Number(text(byName.DefaultSpeed, own.DefaultSpeed)) : null,
      centre: own.Centred ? [0, 0] : [400, 300],
      runs: [],
    };
  });
  if (step === null && groups.some((g) => g.speed !== null)) {
    // The desktop would run it by the machine's clock, which no page can repeat.
    throw new Invalid('a timed program repeats its runs only on a fixed step: give the step ' +
                      '(--step) in milliseconds');
  }
  const experiment = {preset: given.preset, whole: preset.whole, changed: changed, vary: vary,
                      runs: runs, frames: frames, step: step, every: every, seed: seed,
                      groups: groups};
  const measured = groups.length * runs * (Math.floor((frames - 1) / every) + 1);
  if (measured > ROWS_MOST) {
    throw new Invalid('the experiment would measure ' + measured + ' frames in all, and the ' +
                      'page keeps at most ' + ROWS_MOST + ': measure every K-th frame ' +
                      '(every=K), or make fewer runs or frames');
  }
  return experiment;
}

// The experiment's options as the desktop's command line gives them, before PROGRAM.
function options(x) {
  return [['--seed', x.seed]]
      .concat(x.step === null ? [] : [['--step', x.step]],
              x.every === 1 ? [] : [['--every', x.every]],
              Object.entries(x.changed).map(([name, value]) => ['--set', name + '=' + value]),
              x.vary ? [['--vary', x.vary.field.name + '=' + x.vary.texts.join(',')]] : [],
              [['--frames', x.frames]]);
}

function desktopCommand(x) {
  return 'scripts/experiment.sh ' + options(x).map((o) => o.join(' ')).join(' ') + ' ' +
         x.preset + ' ' + x.runs;
}

function queryOf(parts) {
  return parts.map(([name, value]) => name + '=' + encodeURIComponent(value)
      .replace(/%3A/g, ':').replace(/%3D/g, '=').replace(/%2C/g, ',')).join('&');
}

function address(x) {
  return 'experiment.html?' + queryOf(
      [['preset', x.preset]].concat(Object.entries(x.changed),
                                    x.vary ? [['vary', x.vary.field.name + '=' +
                                                       x.vary.texts.join(',')]] : [],
                                    [['runs', x.runs], ['frames', x.frames]],
                                    x.step === null ? [] : [['step', x.step]],
                                    x.every === 1 ? [] : [['every', x.every]],
                                    [['seed', x.seed]]));
}

// A run of the table in the playground, at its seed, settings and step, run to its last
// frame.
function playgroundLink(x, group, seed) {
  const preset = DATA.presets[x.preset].settings;
  const parts = [['preset', x.preset]];
  for (const field of FIELDS) {
    if (group.settings[field.name] !== preset[field.name]) {
      parts.push([field.name, text(field, group.settings[field.name])]);
    }
  }
  parts.push(['seed', seed]);
  if (x.step !== null) {
    parts.push(['step', x.step]);
  }
  parts.push(['frames', x.frames]);
  return 'playground.html?' + queryOf(parts);
}

// -- the form ----------------------------------------------------------------------------

const form = element('experiment-form');
const presetChoice = element('experiment-preset');
const varyField = element('experiment-vary-field');
const inputs = {};

for (const name of Object.keys(DATA.presets)) {
  presetChoice.append(new Option(name, name));
}
for (const field of FIELDS) {
  varyField.append(new Option(field.name + ' (' + field.type + ')', field.name));
  const row = document.createElement('div');
  row.className = 'setting';
  const input = document.createElement('input');
  input.id = 'experiment-set-' + field.name;
  input.type = 'text';
  input.size = 10;
  const label = document.createElement('label');
  label.htmlFor = input.id;
  label.innerHTML = '<code></code> <span class="comment"></span>';
  label.querySelector('code').textContent = field.name;
  label.querySelector('.comment').textContent = field.comment;
  row.append(input, ' ', label);
  element('experiment-settings').append(row);
  inputs[field.name] = input;
}

function timedPreset() {
  const given = inputs.Timed.value.trim();
  return given === 'true' || given === '1';
}

function showPreset(preset, sets) {
  presetChoice.value = preset;
  const settings = DATA.presets[preset].settings;
  for (const field of FIELDS) {
    inputs[field.name].value = field.name in sets ? sets[field.name]
                                                  : text(field, settings[field.name]);
  }
  showChanged();
}

function showChanged() {
  const changed = formSets().map(([name, value]) => name + '=' + value);
  element('experiment-changed').textContent = changed.length ? changed.join(', ')
                                                             : 'as the program has them';
  element('experiment-step-note').textContent =
      timedPreset() ? 'a timed program: its clock moves on by the step at every pass'
                    : 'an untimed program never reads its clock';
}

// The settings the form changes from its preset's, as typed.
function formSets() {
  const settings = DATA.presets[presetChoice.value].settings;
  return FIELDS.filter((f) => inputs[f.name].value.trim() !== text(f, settings[f.name]))
               .map((f) => [f.name, inputs[f.name].value.trim()]);
}

presetChoice.addEventListener('change', () => {
  showPreset(presetChoice.value, {});
  if (timedPreset() && element('experiment-step').value === '') {
    element('experiment-step').value = '16';
  }
});
element('experiment-settings').addEventListener('change', showChanged);

function fromForm() {
  const field = varyField.value;
  const values = element('experiment-vary-values').value.trim();
  return {
    preset: presetChoice.value,
    sets: formSets(),
    vary: field ? field + '=' + values : '',
    runs: element('experiment-runs').value.trim(),
    frames: element('experiment-frames').value.trim(),
    step: element('experiment-step').value.trim(),
    every: element('experiment-every').value.trim(),
    seed: element('experiment-seed').value.trim(),
  };
}

// What the address gives, with the form's defaults where it is silent.
function fromAddress() {
  const preset = query.get('preset') || 'moblings_fenced';
  const sets = FIELDS.filter((f) => query.has(f.name)).map((f) => [f.name, query.get(f.name)]);
  const timed = preset in DATA.presets && DATA.presets[preset].settings.Timed;
  return {
    preset: preset,
    sets: sets,
    vary: query.get('vary') || '',
    runs: query.get('runs') || '8',
    frames: query.get('frames') || '1000',
    step: query.has('step') ? query.get('step') : timed ? '16' : '',
    every: query.get('every') || '1',
    seed: query.get('seed') || String(Math.floor(Date.now() / 1000)),
  };
}

function fill(given) {
  if (given.preset in DATA.presets) {
    showPreset(given.preset, Object.fromEntries(given.sets));
  }
  const at = given.vary.indexOf('=');
  varyField.value = at > 0 && given.vary.slice(0, at) in byName ? given.vary.slice(0, at) : '';
  element('experiment-vary-values').value = at >= 0 ? given.vary.slice(at + 1) : '';
  for (const name of ['runs', 'frames', 'step', 'every', 'seed']) {
    element('experiment-' + name).value = given[name];
  }
  showChanged();
}

// -- the runs ----------------------------------------------------------------------------

const status = element('experiment-status');
const progress = element('experiment-progress');
const pauseButton = element('experiment-pause');
const cancelButton = element('experiment-cancel');
const errors = element('experiment-error');
let current = null;   // the experiment running, or shown

function workerCount(jobs) {
  const asked = Number(query.get('workers'));
  const count = Number.isInteger(asked) && asked >= 1 ? asked
                                                      : navigator.hardwareConcurrency || 2;
  return Math.min(count, jobs);
}

function start(x) {
  stop();
  current = x;
  errors.textContent = '';
  const jobs = [];
  // Run i of every value, then run i + 1, as the desktop orders them.
  for (let run = 1; run <= x.runs; run++) {
    x.groups.forEach((group, g) => jobs.push({group: g, run: run, seed: x.seed + run - 1}));
  }
  const script = x.whole ? 'moblings_playground_whole' : 'moblings_playground';
  const total = jobs.length * x.frames;
  let next = 0, done = 0, passesDone = 0, failed = null;
  let began = performance.now(), pausedFor = 0, pausedAt = null;
  const workers = [];
  let holding = new Set();   // workers whose runs a pause has not yet held

  function stopped(worker) {
    if (holding.delete(worker) && holding.size === 0 && pausedAt !== null) {
      // How long the last of the runs under way took to stop.
      progress.dataset.pauseAnswer = performance.now() - pausedAt;
    }
  }

  function give(worker) {
    if (next >= jobs.length || failed !== null || x.state !== 'running' && x.state !== 'paused') {
      worker.job = null;
      return;
    }
    const id = next++;
    const job = jobs[id];
    const group = x.groups[job.group];
    worker.job = id;
    worker.frames = 0;
    worker.postMessage({run: {id: id, script: script, seed: job.seed, step: x.step,
                              frames: x.frames, every: x.every, centre: group.centre,
                              speed: group.speed,
                              settings: FIELDS.map((f) => Number(group.settings[f.name]))}});
  }

  function fail(worker, why) {
    if (failed !== null) {
      return;
    }
    const job = jobs[worker.job];
    failed = 'run ' + job.run + (x.vary ? ' of ' + x.vary.field.name + '=' +
                                          x.groups[job.group].value : '') +
             ' (seed ' + job.seed + ') failed: ' + why + '; the ' + done +
             ' runs done are kept';
    finish('failed');
  }

  function finish(state) {
    clearInterval(x.timer);
    workers.forEach((w) => w.terminate());
    x.state = state;
    status.textContent = state;
    pauseButton.disabled = cancelButton.disabled = true;
    pauseButton.textContent = 'Pause';
    if (failed) {
      errors.textContent = failed;
    }
    showProgress();
    showResults(x);
  }

  function showProgress() {
    const seconds = ((pausedAt ?? performance.now()) - began - pausedFor) / 1000;
    const passes = passesDone + workers.reduce((sum, w) => sum + (w.job !== null ? w.frames : 0), 0);
    const rate = seconds > 0 ? passes / seconds : 0;
    const left = x.state === 'running' || x.state === 'paused'
                     ? (total - passes) / (rate || GUESS_RATE * workers.length) : 0;
    progress.textContent = done + ' of ' + jobs.length + ' runs done; ' +
                           Math.round(rate).toLocaleString('en') + ' passes a second' +
                           (left > 0 ? '; about ' + Math.ceil(left) + ' s left' : '');
    progress.dataset.runs = done;
    progress.dataset.passes = passes;
    progress.dataset.seconds = seconds;
  }

  for (let i = 0; i < workerCount(jobs.length); i++) {
    const worker = new Worker('runs.js', {type: 'module'});
    worker.job = null;
    worker.frames = 0;
    worker.onmessage = (event) => {
      const m = event.data;
      if ('progress' in m) {
        worker.frames = m.frames;
      } else if ('held' in m) {
        stopped(worker);
      } else if ('done' in m) {
        // A run that ended as the pause came needs no holding.
        stopped(worker);
        const job = jobs[m.done];
        x.groups[job.group].runs.push({run: job.run, seed: job.seed, rows: m.rows,
                                       clock: m.clock});
        done++;
        passesDone += m.frames;
        worker.job = null;
        if (done === jobs.length) {
          finish('done');
          return;
        }
        give(worker);
      } else if ('failed' in m) {
        fail(worker, m.why);
      }
    };
    worker.onerror = (event) => {
      event.preventDefault();
      fail(worker, event.message || 'the worker stopped');
    };
    workers.push(worker);
  }
  x.state = 'running';
  status.textContent = 'running';
  pauseButton.disabled = cancelButton.disabled = false;
  workers.forEach(give);
  x.timer = setInterval(showProgress, 250);
  showProgress();

  x.pause = (to) => {
    if (x.state !== (to ? 'running' : 'paused')) {
      return;
    }
    workers.forEach((w) => w.postMessage({pause: to}));
    if (to) {
      pausedAt = performance.now();
      holding = new Set(workers.filter((w) => w.job !== null));
      delete progress.dataset.pauseAnswer;
    } else {
      pausedFor += performance.now() - pausedAt;
      pausedAt = null;
    }
    x.state = to ? 'paused' : 'running';
    status.textContent = x.state;
    pauseButton.textContent = to ? 'Resume' : 'Pause';
    showProgress();
  };
  x.cancel = () => finish('cancelled');
}

function stop() {
  if (current && (current.state === 'running' || current.state === 'paused')) {
    current.cancel();
  }
}

pauseButton.addEventListener('click', () => {
  if (current && current.pause) {
    current.pause(current.state === 'running');
  }
});
cancelButton.addEventListener('click', () => {
  if (current && current.cancel) {
    current.cancel();
  }
});

// -- what it writes ----------------------------------------------------------------------

// The groups' runs in the desktop's order, each value's in the order of their seeds.
function ordered(x) {
  x.groups.forEach((g) => g.runs.sort((a, b) => a.run - b.run));
  return x.groups.filter((g) => g.runs.length);
}

// STEM.csv, in parts.
function tableCsv(x) {
  const parts = [(x.vary ? [x.vary.field.name] : []).concat(HEADER).join(',') + '\r\n'];
  const step = x.step === null ? '' : String(x.step);
  for (const g of ordered(x)) {
    const first = x.vary ? g.value + ',' : '';
    for (const r of g.runs) {
      const lines = [];
      for (let k = 0; k * 5 < r.rows.length; k++) {
        let line = first + r.run + ',' + r.seed + ',' + step + ',' + k * x.every;
        for (let m = 0; m < 5; m++) {
          line += ',' + cell(r.rows[k * 5 + m], m);
        }
        lines.push(line + '\r\n');
      }
      parts.push(lines.join(''));
    }
  }
  return parts;
}

// A run's x for the plot and the summary: its measured frames, or for a timed program the
// seconds of its own frame clock at each.
function xs(x, r) {
  return r.clock || Float64Array.from({length: r.rows.length / 5}, (_, k) => k * x.every);
}

// Each run's measures at `point` of x: those of its last measured frame by then.
function valueAt(xsOf, rows, point, m) {
  let lo = 0, hi = xsOf.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (xsOf[mid] <= point) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return rows[(lo - 1) * 5 + m];
}

function series(x) {
  return ordered(x).map((g) => ({group: g, runs: g.runs.map((r) => ({x: xs(x, r), rows: r.rows}))}));
}

// STEM-summary.csv: each value's quartiles of each measure at the last frame (a timed
// program: moment) that every run of every value reached.
function summaryCsv(x) {
  const all = series(x);
  const timed = x.groups[0].speed !== null;
  const last = Math.min(...all.flatMap((s) => s.runs.map((r) => r.x[r.x.length - 1])));
  const lines = [[x.vary.field.name, 'measure', timed ? 'seconds' : 'frame', 'runs',
                  'lower_quartile', 'median', 'upper_quartile'].join(',')];
  for (const s of all) {
    MEASURES.forEach((name, m) => {
      const q = quartiles(s.runs.map((r) => valueAt(r.x, r.rows, last, m)));
      lines.push([s.group.value, name, timed ? repr(last) : String(last), s.runs.length]
                     .concat(q.map((v) => Number.isNaN(v) ? '' : repr(v))).join(','));
    });
  }
  return [lines.join('\r\n') + '\r\n'];
}

// -- the plot, as the desktop's -----------------------------------------------------------

const PANELS = [['inside the field', 'creatures'], ['outside the field', 'creatures'],
                ['mean distance from the centre %s', 'world units'],
                ['mean distance from where each was first drawn', 'world units'],
                ['mean step since the frame before', 'world units']];
// matplotlib's viridis at nine points, between which it is near enough straight.
const VIRIDIS = ['#440154', '#472c7a', '#3b518b', '#2c718e', '#21908d', '#27ad81', '#5cc863',
                 '#aadc32', '#fde725'];

function viridis(t) {
  const at = t * (VIRIDIS.length - 1), i = Math.min(Math.floor(at), VIRIDIS.length - 2);
  const mix = (c) => [1, 3, 5].map((k) => parseInt(c.slice(k, k + 2), 16));
  const a = mix(VIRIDIS[i]), b = mix(VIRIDIS[i + 1]), f = at - i;
  return 'rgb(' + a.map((v, k) => Math.round(v + (b[k] - v) * f)).join(',') + ')';
}

// Round numbers from `low` to `high` for an axis, four or so; whole ones where asked.
function ticks(low, high, whole) {
  const rough = (high - low) / 4;
  const power = 10 ** Math.floor(Math.log10(rough));
  let step = [1, 2, 5, 10].map((f) => f * power).find((s) => s >= rough);
  step = whole ? Math.max(1, Math.round(step)) : step;
  const out = [];
  for (let v = Math.ceil(low / step) * step; v <= high; v += step) {
    out.push(+v.toPrecision(6));
  }
  return out;
}

function plot(x) {
  const canvas = element('experiment-plot');
  const c = canvas.getContext('2d');
  const all = series(x);
  const timed = x.groups[0].speed !== null;
  const sweep = x.vary !== null;
  const population = Math.max(...x.groups.map((g) => g.settings.Population));
  c.fillStyle = '#fff';
  c.fillRect(0, 0, canvas.width, canvas.height);
  c.fillStyle = '#000';
  c.font = '16px sans-serif';
  c.textAlign = 'center';
  const seeds = x.seed + (x.runs > 1 ? ' to ' + (x.seed + x.runs - 1) : '');
  const given = Object.entries(x.changed).map((pair) => pair.join('='));
  const title = x.preset + (given.length ? ' (' + given.join(', ') + ')' : '') +
                (sweep ? ' with ' + x.vary.field.name + ' = ' + x.vary.texts.join(', ') : '') +
                ': ' + x.runs + ' run' + (x.runs > 1 ? 's' : '') + ' of ' + x.frames +
                ' frames' + (x.step ? ' of ' + x.step + ' ms' : '') + (sweep ? ' each' : '') +
                ', seeds ' + seeds;
  // As the desktop's: a title too long for a line is broken after the program.
  const lines = title.length <= 95 ? [title] : [title.slice(0, title.indexOf(': ') + 1),
                                                title.slice(title.indexOf(': ') + 2)];
  lines.forEach((line, i) => c.fillText(line, canvas.width / 2, 22 + 19 * i));
  // Each value's median and quartiles over the points every run of it reached.
  const drawn = all.map((s) => {
    const end = Math.min(...s.runs.map((r) => r.x[r.x.length - 1]));
    const points = [];
    if (timed) {
      for (let i = 0; i < 400; i++) {
        points.push(end * i / 399);
      }
    } else {
      for (let f = 0; f <= end; f += x.every) {
        points.push(f);
      }
    }
    const bands = MEASURES.map((_, m) => points.map(
        (p) => quartiles(s.runs.map((r) => valueAt(r.x, r.rows, p, m)))));
    return {s: s, points: points, bands: bands};
  });
  const xEnd = Math.max(1, ...drawn.map((d) => d.points[d.points.length - 1]));
  const colours = sweep ? drawn.map((_, i) => viridis(drawn.length > 1 ? 0.85 * i / (drawn.length - 1) : 0))
                        : null;
  const W = 400, H = 205;
  PANELS.forEach(([title, unit], m) => {
    const left = 70 + (m % 2) * 490, top = 70 + Math.floor(m / 2) * 265;
    let high = unit === 'creatures' ? population + 0.5 : 1;
    if (unit !== 'creatures') {
      for (const d of drawn) {
        for (const r of d.s.runs) {
          for (let k = m; k < r.rows.length; k += 5) {
            high = r.rows[k] > high ? r.rows[k] : high;
          }
        }
      }
      high *= 1.08;
    }
    const low = unit === 'creatures' ? -0.5 : 0;
    const px = (v) => left + W * v / xEnd, py = (v) => top + H - H * (v - low) / (high - low);
    c.strokeStyle = '#888';
    c.lineWidth = 1;
    c.strokeRect(left, top, W, H);
    c.fillStyle = '#000';
    c.font = '13px sans-serif';
    c.textAlign = 'center';
    c.fillText(title.replace('%s', x.groups[0].centre[0] ? '(400, 300)' : '(0, 0)'),
               left + W / 2, top - 8);
    c.font = '11px sans-serif';
    c.textAlign = 'right';
    for (const v of ticks(Math.max(low, 0), high, unit === 'creatures')) {
      c.fillText(String(v), left - 4, py(v) + 4);
    }
    c.textAlign = 'center';
    for (const v of ticks(0, xEnd, !timed)) {
      c.fillText(String(v), px(v), top + H + 14);
    }
    c.save();
    c.beginPath();
    c.rect(left, top, W, H);
    c.clip();
    drawn.forEach((d, i) => {
      if (sweep) {
        c.globalAlpha = 0.25;
        c.fillStyle = colours[i];
        c.beginPath();
        d.points.forEach((p, k) => c.lineTo(px(p), py(d.bands[m][k][0])));
        for (let k = d.points.length - 1; k >= 0; k--) {
          c.lineTo(px(d.points[k]), py(d.bands[m][k][2]));
        }
        c.fill();
        c.globalAlpha = 1;
      } else {
        d.s.runs.forEach((r, j) => {
          c.strokeStyle = viridis(d.s.runs.length > 1 ? 0.9 * j / (d.s.runs.length - 1) : 0);
          c.globalAlpha = 0.7;
          c.lineWidth = 0.7;
          c.beginPath();
          for (let k = 0; k < r.x.length; k++) {
            if (!Number.isNaN(r.rows[k * 5 + m])) {
              c.lineTo(px(r.x[k]), py(r.rows[k * 5 + m]));
            }
          }
          c.stroke();
          c.globalAlpha = 1;
        });
      }
      c.strokeStyle = sweep ? colours[i] : '#000';
      c.lineWidth = 2.2;
      c.beginPath();
      d.points.forEach((p, k) => {
        if (!Number.isNaN(d.bands[m][k][1])) {
          c.lineTo(px(p), py(d.bands[m][k][1]));
        }
      });
      c.stroke();
    });
    c.restore();
    c.font = '12px sans-serif';
    c.textAlign = 'center';
    if (m >= 3) {
      c.fillText(timed ? "seconds of the run, by the program's own frame clock" : 'frame drawn',
                 left + W / 2, top + H + 32);
    }
  });
  // The key, where the sixth panel would be.
  const left = 70 + 490, top = 70 + 2 * 265;
  c.font = '13px sans-serif';
  c.textAlign = 'left';
  const key = sweep ? drawn.map((d, i) => [colours[i], x.vary.field.name + ' = ' + d.s.group.value])
                    : [[viridis(0), 'each run, a colour of its own'],
                       ['#000', 'median of the ' + x.runs + ' runs']];
  key.forEach(([colour, words], i) => {
    c.strokeStyle = colour;
    c.lineWidth = 2.2;
    c.beginPath();
    c.moveTo(left, top + 10 + 20 * i);
    c.lineTo(left + 30, top + 10 + 20 * i);
    c.stroke();
    c.fillText(words, left + 40, top + 15 + 20 * i);
  });
  if (sweep) {
    c.fillText('each value: the median of its runs, and the band', left, top + 25 + 20 * key.length);
    c.fillText('between their quartiles', left, top + 42 + 20 * key.length);
  }
  canvas.hidden = false;
}

// -- showing the results ------------------------------------------------------------------

function save(parts, file, type) {
  const anchor = document.createElement('a');
  anchor.href = URL.createObjectURL(parts instanceof Blob ? parts : new Blob(parts, {type: type}));
  anchor.download = file;
  document.body.append(anchor);
  anchor.click();
  anchor.remove();
  setTimeout(() => URL.revokeObjectURL(anchor.href), 60000);
}

function stem(x) {
  return x.preset + '-experiment';
}

function showResults(x) {
  const any = x.groups.some((g) => g.runs.length);
  element('experiment-csv').hidden = !any;
  element('experiment-png').hidden = !any;
  element('experiment-summary').hidden = !any || !x.vary;
  const body = element('experiment-run-links').tBodies[0];
  body.textContent = '';
  element('experiment-run-links').hidden = !any;
  if (!any) {
    return;
  }
  plot(x);
  for (const g of ordered(x)) {
    for (const r of g.runs) {
      const row = body.insertRow();
      row.insertCell().textContent = x.vary ? x.vary.field.name + '=' + g.value : '';
      row.insertCell().textContent = r.run;
      row.insertCell().textContent = r.seed;
      const link = document.createElement('a');
      link.href = playgroundLink(x, g, r.seed);
      link.textContent = 'run ' + r.run + (x.vary ? ' of ' + g.value : '');
      row.insertCell().append(link);
    }
  }
}

element('experiment-csv').addEventListener('click', (event) => {
  event.preventDefault();
  save(tableCsv(current), stem(current) + '.csv', 'text/csv');
});
element('experiment-summary').addEventListener('click', (event) => {
  event.preventDefault();
  save(summaryCsv(current), stem(current) + '-summary.csv', 'text/csv');
});
element('experiment-png').addEventListener('click', (event) => {
  event.preventDefault();
  element('experiment-plot').toBlob((blob) => save(blob, stem(current) + '.png'), 'image/png');
});

// -- asking for one ---------------------------------------------------------------------

function ask(given) {
  let x;
  try {
    x = check(given);
  } catch (e) {
    stop();
    errors.textContent = e.message;
    status.textContent = '';
    return;
  }
  errors.textContent = '';
  const link = address(x);
  element('experiment-link').href = link;
  history.replaceState(null, '', link);
  element('experiment-desktop-command').textContent = desktopCommand(x);
  const passes = x.groups.length * x.runs * x.frames;
  const seconds = passes / (GUESS_RATE * workerCount(x.groups.length * x.runs));
  const confirm = element('experiment-confirm');
  if (seconds > ASK_BEYOND) {
    element('experiment-confirm-text').textContent =
        passes.toLocaleString('en') + ' passes: about ' + Math.ceil(seconds / 60) +
        ' minutes here.';
    confirm.hidden = false;
    element('experiment-confirm-start').onclick = () => {
      confirm.hidden = true;
      start(x);
    };
    status.textContent = 'waiting to start';
    return;
  }
  confirm.hidden = true;
  start(x);
}

form.addEventListener('submit', (event) => {
  event.preventDefault();
  ask(fromForm());
});

const given = fromAddress();
fill(given);
if ([...query.keys()].some((name) => name !== 'workers')) {
  ask(given);
}

// What scripts from outside the page read: the table and the summary as the downloads
// hold them, and the state of the runs.
window.Experiment = {
  csv: () => (current && current.groups ? tableCsv(current).join('') : ''),
  summary: () => (current && current.vary ? summaryCsv(current).join('') : ''),
  state: () => (current ? current.state : null),
};
