// SPDX-License-Identifier: MIT
// The playground: a program's page whose settings are controls. It runs the build whose
// settings are a variable (web/playground), sets every field before the run starts, and
// hands a change of a field the rules read at every pass to the program between two
// passes, at the swap, so that each change takes effect at a frame it knows. A field read
// only as the run starts waits for the run to start again, with the same seed.
//
// The run is a link: ?preset=PROGRAM (moblings_timed by default), FIELD=VALUE for every
// setting that differs from the preset's, the seed (and a step), and change=FRAME:FIELD=
// VALUE for every change made while it ran, in the order made: the change took effect
// before pass FRAME + 1 drew, so frame FRAME is the last drawn without it. Opening the
// link applies the same changes at the same frames, and so replays the run.
import * as page from './page.js';
import {parse, programH, text} from './settings.js';

const PLAYGROUND = JSON.parse(document.getElementById('playground-data').textContent);
const FIELDS = PLAYGROUND.fields;
const MOST = PLAYGROUND.populationMost;
const byName = Object.fromEntries(FIELDS.map((f) => [f.name, f]));
const element = (id) => document.getElementById(id);
const errors = element('settings-error');

// -- what the address asks for ------------------------------------------------------------
const query = page.query;
const problems = [];
let presetName = query.get('preset') || 'moblings_timed';
if (!(presetName in PLAYGROUND.presets)) {
  problems.push('preset=' + presetName + ' is none of the programs (' +
                Object.keys(PLAYGROUND.presets).join(', ') + ')');
  presetName = 'moblings_timed';
}
const preset = PLAYGROUND.presets[presetName];

// The settings the run starts with: the preset's, with what the address changes.
const start = Object.assign({}, preset.settings);
for (const field of FIELDS) {
  const given = query.get(field.name);
  if (given === null) {
    continue;
  }
  try {
    start[field.name] = parse(field, given, MOST);
  } catch (e) {
    problems.push(e.message + ', so the preset\'s ' + text(field, preset.settings[field.name]) +
                  ' stands');
  }
}

// The changes to replay: {frame, field, value} in the order given.
const replay = [];
for (const change of query.getAll('change')) {
  const parts = /^(\d+):(\w+)=(.*)$/.exec(change);
  const field = parts && byName[parts[2]];
  try {
    if (!field) {
      throw new Error('change=' + change + ' is no FRAME:FIELD=VALUE of a setting');
    }
    if (field.atStart) {
      throw new Error('change=' + change + ': ' + field.name +
                      ' is read only as the run starts, so it cannot change while it runs');
    }
    replay.push({frame: Number(parts[1]), field: field, value: parse(field, parts[3], MOST)});
  } catch (e) {
    problems.push(e.message + ', so that change was left out');
  }
}
replay.sort((a, b) => a.frame - b.frame); // stable: changes at one frame keep their order

// -- the run's settings as they stand -----------------------------------------------------
const now = Object.assign({}, start);   // what the running program reads
const chosen = Object.assign({}, start); // what the controls show, start-only ones included
const made = [];                          // changes applied while it ran, replayed ones first
const waiting = [];                       // changes to hand over at the next swap
let next = 0;                             // the first change of `replay` not yet applied

function apply(change, frame) {
  page.module()._web_set_setting(FIELDS.indexOf(change.field), Number(change.value));
  now[change.field.name] = change.value;
  made.push({frame: frame, field: change.field, value: change.value});
  if (chosen[change.field.name] !== change.value) {
    chosen[change.field.name] = change.value;
    showControl(change.field);
    showState();
  }
}

// Between two passes: after frame `frames` is drawn, before the next pass runs.
function atSwap(frames) {
  while (next < replay.length && replay[next].frame <= frames) {
    apply(replay[next], replay[next].frame);
    next++;
  }
  while (waiting.length) {
    apply(waiting.shift(), frames);
  }
}

page.on('frame', function (frame) {
  atSwap(frame + 1);
});

// A change a reader makes: at the next swap while the run goes on, and at once while it is
// held, since the program then waits between two passes.
function change(field, value) {
  chosen[field.name] = value;
  if (field.atStart || (value === now[field.name] && !waiting.some((c) => c.field === field))) {
    showState();
    return;
  }
  waiting.push({field: field, value: value});
  if (page.holding()) {
    atSwap(page.frames());
  }
  showState();
}

// -- the controls ---------------------------------------------------------------------------
const panel = element('settings');
const inputs = {};
const scales = {};        // each slider's positions and the values they stand for

// A logarithmic slider steps through each power of ten in values a hand finds again.
const MANTISSAS = [1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8];

// A slider's positions: a linear one's are its values; a logarithmic one's are 0 and then
// every MANTISSAS multiple of each power of ten from its least to its most, so that a
// drag reaches 0.001 and 0.5 alike, and its position follows a value typed to the nearest
// of them.
function sliderScale(range) {
  if (!range.log) {
    return {min: range.min, max: range.max, step: range.step, value: Number, position: (v) => v};
  }
  const values = [0];
  for (let power = Math.round(Math.log10(range.min)); values.length < 1000; power++) {
    const next = MANTISSAS.map((m) => Number(m + 'e' + power)).filter((v) => v <= range.max);
    values.push(...next);
    if (next.length < MANTISSAS.length) {
      break;
    }
  }
  const away = (v, i) => Math.abs(Math.log(v / values[i]));
  return {
    min: 0, max: values.length - 1, step: 1,
    value: (position) => values[Number(position)],
    position: (v) => v <= 0 ? 0 : values.reduce((best, _, i) =>
      i && (!best || away(v, i) < away(v, best)) ? i : best, 0),
  };
}

function control(field) {
  const row = document.createElement('div');
  row.className = 'setting';
  const label = document.createElement('label');
  label.htmlFor = 'set-' + field.name;
  label.innerHTML = '<code></code> <span class="comment"></span>';
  label.querySelector('code').textContent = field.name;
  label.querySelector('.comment').textContent = field.comment;
  const input = document.createElement('input');
  input.id = 'set-' + field.name;
  if (field.type === 'bool') {
    input.type = 'checkbox';
    input.setAttribute('role', 'switch');
    input.addEventListener('change', () => take(field, input.checked ? 'true' : 'false'));
  } else {
    input.type = 'text';
    input.inputMode = 'decimal';
    input.size = 10;
    input.addEventListener('change', () => take(field, input.value.trim()));
  }
  row.append(input, ' ', label);
  if (field.slider) {
    const scale = scales[field.name] = sliderScale(field.slider);
    const slider = document.createElement('input');
    slider.type = 'range';
    slider.id = 'set-' + field.name + '-slider';
    [slider.min, slider.max, slider.step] = [scale.min, scale.max, scale.step];
    slider.setAttribute('aria-label', field.name);
    slider.addEventListener('input', () => {
      input.value = String(scale.value(slider.value));
      take(field, input.value);
    });
    row.append(' ', slider);
  }
  if (field.atStart) {
    const note = document.createElement('span');
    note.className = 'at-start';
    note.id = 'set-' + field.name + '-note';
    row.append(' ', note);
  }
  inputs[field.name] = input;
  return row;
}

// A value typed or chosen: taken if the field can hold it, else said in #settings-error,
// the control shows what the run has, and the run goes on as it was.
function take(field, given) {
  try {
    const value = parse(field, given, MOST);
    errors.textContent = '';
    change(field, value);
    // A slider follows the value typed.
    showControl(field);
  } catch (e) {
    errors.textContent = e.message;
    showControl(field);
  }
}

function showControl(field) {
  const input = inputs[field.name];
  const value = chosen[field.name];
  if (field.type === 'bool') {
    input.checked = value;
  } else {
    input.value = text(field, value);
    const slider = element('set-' + field.name + '-slider');
    if (slider) {
      slider.value = scales[field.name].position(value);
      slider.setAttribute('aria-valuetext', input.value);
    }
  }
}

// -- what the page says of the run --------------------------------------------------------
function differing(settings) {
  return FIELDS.filter((f) => settings[f.name] !== preset.settings[f.name]);
}

function addressOf(settings, changes) {
  const parts = [['preset', presetName]];
  for (const field of differing(settings)) {
    parts.push([field.name, text(field, settings[field.name])]);
  }
  return {before: parts,
          after: changes.map((c) => ['change', c.frame + ':' + c.field.name + '=' +
                                               text(c.field, c.value)])};
}

// `file` with every setting as the controls show it, the seed and the step, no changes: the
// run as it would start again, or many runs of it from that seed on (the experiments).
function chosenRun(file) {
  return file + '?' + page.queryOf(addressOf(chosen, []).before.concat(page.runParts()));
}

page.address(function () {
  const changes = made.concat(replay.slice(next));
  element('ask-across-runs').href = chosenRun('experiment.html');
  return addressOf(start, changes);
});

function showState() {
  const pending = FIELDS.filter((f) => f.atStart && chosen[f.name] !== now[f.name]);
  for (const field of FIELDS.filter((f) => f.atStart)) {
    element('set-' + field.name + '-note').textContent =
        chosen[field.name] !== now[field.name] ? 'takes effect when the run starts again'
                                               : 'read as the run starts';
  }
  const restart = element('restart');
  restart.href = chosenRun('playground.html');
  element('ask-across-runs').href = chosenRun('experiment.html');
  restart.textContent = pending.length ? 'Start again with ' +
                                         pending.map((f) => f.name).join(', ') + ' changed'
                                       : 'Start again';
  const unchanged = FIELDS.every((f) => chosen[f.name] === preset.settings[f.name]);
  element('preset-reset').disabled = unchanged;
  showCommand();
  const header = element('code-program');
  const written = programH(FIELDS, chosen, preset.whole,
                           'what the playground ran, from ' + presetName);
  if (header.textContent !== written) {
    header.textContent = written;
    delete header.dataset.highlighted;
    if (window.hljs) {
      window.hljs.highlightElement(header);
    }
  }
}

// The desktop command that repeats a run without changes made while it ran: its CSV holds
// the page's positions for every frame both drew.
// Brought up to date whenever the page shows the run: laid out again only when it changed.
function showCommand() {
  const shown = element('desktop-command');
  let command = 'none: the desktop runs a program whose settings stand from its start to ' +
                'its end, and this run changed while it ran';
  if (!made.length && !replay.length) {
    const step = page.step();
    const sets = differing(start).map((f) => ' --set ' + f.name + '=' + text(f, start[f.name]));
    command = 'scripts/trails.sh --seed ' + page.seed + (step ? ' --step ' + step : '') +
              sets.join('') + ' --frames ' + Math.max(1, page.frames()) + ' ' + presetName;
  }
  if (shown.textContent !== command) {
    shown.textContent = command;
  }
}

page.on('show', showCommand);

for (const field of FIELDS) {
  panel.append(control(field));
  showControl(field);
}
element('preset-name').textContent = presetName;
element('preset-reset').addEventListener('click', function () {
  errors.textContent = '';
  for (const field of FIELDS) {
    if (chosen[field.name] !== preset.settings[field.name]) {
      change(field, preset.settings[field.name]);
    }
    showControl(field);
  }
});
problems.forEach(page.notice);
if (problems.length) {
  errors.textContent = problems.join('; ');
}

// Every field set before main reads any, and a change at frame 0 with them.
page.run(preset.whole ? 'moblings_playground_whole' : 'moblings_playground', function (module) {
  FIELDS.forEach((field, i) => module._web_set_setting(i, Number(start[field.name])));
  atSwap(0);
});
showState();
