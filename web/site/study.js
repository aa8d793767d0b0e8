// SPDX-License-Identifier: MIT
// What a reader studies a run by, beside the program's picture: every creature's path
// over it (#trails), the experiments' measures of the frame just drawn, and a plot of
// them against the frame (#plot). All of it is read from the positions the program drew;
// nothing draws into the program's canvas.
import {on, view} from './page.js';
import {advance, measuring as startMeasuring, NAMES} from './measures.js';

function element(id) {
  return document.getElementById(id);
}

// -- the measures of the frame just drawn ------------------------------------------------
var start = null;        // x, y, rotation of each creature in the first frame drawn
var earlier = null;      // the same in the frame before the one just drawn
var before = null;       // the same in the frame just drawn
var latest = -1;         // which frame that is
var last = null;         // the measures last made, of a frame

// From the view's centre, which is the field's, or the origin for a centred program.
function measuring(frame, now, previous) {
  var edges = view();
  return startMeasuring(frame, now, previous, start, (edges[0] + edges[1]) / 2,
                        (edges[2] + edges[3]) / 2);
}

// The measures of the frame just drawn, made only for the frames the plot keeps and
// those the page shows: made at every frame, they took a quarter of each pass run as
// fast as it goes.
function measures() {
  if (measured !== null && measured.frame === latest) {
    keepPoint(advance(measured, Infinity));
  }
  if (last === null || last.frame !== latest) {
    last = advance(measuring(latest, before, earlier), Infinity);
  }
  return last;
}

// No one reads numbers, a plot or paths that change 60 times a second, and drawing them
// at that pace took the herd's page half as much of the processor again: each view of
// the run is brought up to date at most every `refresh` ms while the run moves, and at
// once when it stands still (paused, stepped, ended). due() says whether it is time,
// and if so counts the time from now.
var frameBefore = -1;        // the frame drawn last when the page showed the run before

function every(refresh) {
  var at = -Infinity;
  return function due() {
    if (latest !== frameBefore && performance.now() - at < refresh) {
      return false;
    }
    at = performance.now();
    return true;
  };
}

var measuresDue = every(200);  // five times a second
var shownFrame = -1;

function showMeasures() {
  if (latest < 0 || latest === shownFrame || !measuresDue()) {
    return;
  }
  // While the run moves, the numbers of a crowd are those of the last frame the plot has
  // measured, under two strides back: measured again for the numbers alone, they took a
  // frame's time five times a second.
  var shown = latest !== frameBefore && crowd && last !== null ? last : measures();
  shownFrame = shown.frame;
  // The positions are single-precision numbers, good to seven significant digits, and so
  // is a mean of them; the page shows that many, and keeps every digit, as the CSVs do, in
  // data-value for scripts.
  NAMES.forEach(function (name) {
    var value = shown[name];
    var shownAs = element(name);
    shownAs.dataset.value = value === null ? '' : String(value);
    shownAs.textContent = value === null ? '' :
                          Number.isInteger(value) ? String(value) :
                          String(Number(value.toPrecision(7)));
  });
  // Which frame they are of, for scripts: the frame counter runs ahead of them.
  element('inside').dataset.frame = shown.frame;
}

// -- the plot -------------------------------------------------------------------------
// An hour's run is 216,000 frames: past KEPT points every other one is let go and
// only every `stride`-th frame is kept from then on, so the plot stays light. With many
// creatures it keeps every `stride`-th frame from the start, so that its measures take
// no more than MEASURED creatures' worth of a frame on the average: measured at every
// frame, a hundred thousand creatures' took a sixth of each.
var KEPT = 2000;
var MEASURED = 10000;
var plotDue = every(250);   // four times a second
var series = [[], [], [], [], [], []];  // frame, then each measure
var stride = 1;
var crowd = false;       // more creatures than MEASURED
var measured = null;     // the frame the plot keeps next, while it is being measured
var plot = null;
var plotted = 0;         // points the plot was last given

// A frame that the plot keeps is measured a `stride`-th of its creatures a frame, from the
// frame itself on, the same share at each: done as the next frame kept comes.
function record() {
  var keeps = latest % stride === 0;
  var slice = Math.ceil(before.length / 3 / stride);
  if (measured !== null) {
    keepPoint(advance(measured, keeps ? Infinity : slice));
  }
  if (keeps) {
    measured = measuring(latest, before, earlier);
    keepPoint(advance(measured, slice));
  }
}

function keepPoint(kept) {
  if (kept === null) {
    return;
  }
  measured = null;
  last = kept;
  series[0].push(kept.frame);
  NAMES.forEach(function (name, i) {
    series[i + 1].push(kept[name]);
  });
  if (series[0].length > KEPT) {
    stride *= 2;
    series = series.map(function (values) {
      return values.filter(function (_, k) {
        return series[0][k] % stride === 0;
      });
    });
    plotted = -1;
  }
}

function makePlot() {
  var left = {scale: 'creatures', label: 'creatures', stroke: '#ddd',
              grid: {stroke: '#333'}, ticks: {stroke: '#333'}};
  var right = {scale: 'units', label: 'world units', side: 1, stroke: '#ddd',
               grid: {show: false}, ticks: {stroke: '#333'}};
  return new uPlot({
    width: plotWidth(),
    height: 260,
    cursor: {drag: {x: false, y: false}},
    scales: {x: {time: false}},
    axes: [{stroke: '#ddd', grid: {stroke: '#333'}, ticks: {stroke: '#333'}}, left, right],
    series: [
      {label: 'frame'},
      {label: 'inside', scale: 'creatures', stroke: '#6cf'},
      {label: 'outside', scale: 'creatures', stroke: '#f96'},
      {label: 'mean distance', scale: 'units', stroke: '#9e6'},
      {label: 'mean from start', scale: 'units', stroke: '#e8e'},
      {label: 'mean step', scale: 'units', stroke: '#fd5'},
    ],
  }, series, element('plot'));
}

// As wide as the column it stands in, which a phone, a wide screen's side column or a
// turned screen decide.
function plotWidth() {
  return Math.max(200, element('plot').clientWidth || 800);
}

new ResizeObserver(function () {
  if (plot !== null && plot.width !== plotWidth()) {
    plot.setSize({width: plotWidth(), height: 260});
  }
}).observe(element('plot'));

function showPlot() {
  if (typeof uPlot === 'undefined' || latest < 0 || series[0].length === plotted ||
      !plotDue()) {
    return;
  }
  plotted = series[0].length;
  if (plot === null) {
    plot = makePlot();
  } else {
    plot.setData(series);
  }
}

// -- the trails, as scripts/trails.py's draw_trails draws them --------------------------
var OLDEST = 0.15;       // how bright the oldest part of a path is, against 1 for the newest
var MARK = 4;            // pixels: the radius of a path's start mark
var BANDS = 32;          // brightnesses a redrawn picture is drawn in
var PATH_KEPT = 4000;    // frames of the paths kept for redrawing, at most
// The most paths drawn. Past it, the paths of every k-th creature are drawn, in the colours
// they have among all of them: a hundred thousand paths are a grey fog that takes a second
// to draw, and kept for redrawing would fill the memory.
var TRAILS_MOST = 1000;
var everyKth = 1;         // whose paths are drawn: every k-th creature's
var trailsDue = every(100);
var overlay = element('trails-overlay');
var context = overlay.getContext('2d');
var toggle = element('trails');
var path = null;         // the frames kept of the paths since trails went on: [frame, placed]
var pending = [];        // frames drawn since the paths were last shown
var shownAt = null;      // where each path was last drawn to
var redrawnAt = 0;       // frames the paths spanned when the picture was last redrawn
var colours = null;

function colour(i, n) {
  // colorsys.hsv_to_rgb with saturation 0.7 and value 1.
  var h = ((0.55 + i / n) % 1) * 6, k = Math.floor(h), f = h - k;
  var p = 0.3, q = 1 - 0.7 * f, t = 1 - 0.7 * (1 - f);
  return [[1, t, p], [q, 1, p], [p, 1, t], [p, q, 1], [t, p, 1], [1, p, q]][k % 6];
}

function shade(rgb, brightness) {
  return 'rgb(' + rgb.map(function (c) {
    return Math.floor(255 * c * brightness);
  }).join(',') + ')';
}

function at(x, y) {
  var v = view();
  return [(x - v[0]) * 800 / (v[1] - v[0]), (v[3] - y) * 600 / (v[3] - v[2])];
}

function line(i, from, to) {
  var a = at(from[3 * i], from[3 * i + 1]), b = at(to[3 * i], to[3 * i + 1]);
  context.moveTo(a[0], a[1]);
  context.lineTo(b[0], b[1]);
}

// The whole picture again, each part as bright as its age makes it.
function redraw() {
  context.clearRect(0, 0, overlay.width, overlay.height);
  var first = path[0][0], span = path[path.length - 1][0] - first;
  var n = path[0][1].length / 3;
  // In time order over all creatures, so that newer parts lie over older ones.
  var k = 1;
  for (var band = 0; band < BANDS && k < path.length; band++) {
    var end = k;
    while (end < path.length &&
           (span ? (path[end][0] - first) / span : 1) * BANDS < band + 1) {
      end++;
    }
    if (band === BANDS - 1) {
      end = path.length;
    }
    for (var i = 0; i < n; i++) {
      context.beginPath();
      for (var j = k; j < end; j++) {
        line(i, path[j - 1][1], path[j][1]);
      }
      context.strokeStyle = shade(colours[i], OLDEST + (1 - OLDEST) * (band + 1) / BANDS);
      context.stroke();
    }
    k = end;
  }
  for (i = 0; i < n; i++) {
    var s = at(path[0][1][3 * i], path[0][1][3 * i + 1]);
    context.beginPath();
    context.arc(s[0], s[1], MARK, 0, 2 * Math.PI);
    context.strokeStyle = shade(colours[i], 1);
    context.stroke();
  }
  redrawnAt = span;
}

// Only the parts drawn since the paths were last shown, as the newest; the older
// parts fade when the paths have grown by a quarter since the last redraw.
function showTrails() {
  if (path === null || pending.length === 0 || !trailsDue()) {
    return;
  }
  pending.forEach(function (frame) {
    path.push(frame);
  });
  var newest = pending[pending.length - 1][1];
  if (path.length > PATH_KEPT) {
    path = path.filter(function (_, k) {
      return k % 2 === 0 || k === path.length - 1;
    });
  }
  var span = path[path.length - 1][0] - path[0][0];
  if (span >= redrawnAt * 1.25 + 8) {
    redraw();
  } else {
    for (var i = 0; i < newest.length / 3; i++) {
      context.beginPath();
      var from = shownAt;
      pending.forEach(function (frame) {
        line(i, from, frame[1]);
        from = frame[1];
      });
      context.strokeStyle = shade(colours[i], 1);
      context.stroke();
    }
  }
  shownAt = newest;
  pending = [];
}

// The places of the creatures whose paths are drawn.
function traced(placed) {
  if (everyKth === 1) {
    return placed;
  }
  var kept = new Float32Array(3 * Math.ceil(placed.length / 3 / everyKth));
  for (var i = 0, j = 0; j < kept.length; i += 3 * everyKth, j += 3) {
    kept[j] = placed[i];
    kept[j + 1] = placed[i + 1];
    kept[j + 2] = placed[i + 2];
  }
  return kept;
}

function setTrails(on) {
  path = null;
  pending = [];
  context.clearRect(0, 0, overlay.width, overlay.height);
  if (on && before !== null) {
    var n = before.length / 3;
    everyKth = Math.ceil(n / TRAILS_MOST);
    element('trails-note').textContent = everyKth === 1 ? '' :
        'the paths of every ' + everyKth + 'th creature, ' + Math.ceil(n / everyKth) + ' of ' + n;
    colours = [];
    for (var i = 0; i < n; i += everyKth) {
      colours.push(colour(i, n));
    }
    var first = traced(before);
    path = [[latest, first]];
    shownAt = first;
    redrawnAt = 0;
    redraw();
  }
}

toggle.addEventListener('change', function () {
  setTrails(toggle.checked);
});

on('frame', function (frame, placed) {
  // The copy of two frames ago is taken again, unless the paths keep it (they keep copies
  // of their own of every k-th creature's): a new array at every frame cost a sixth of a
  // pass run as fast as it goes.
  var now = earlier;
  if (now === null || now === start || (path !== null && everyKth === 1) ||
      (measured !== null && (now === measured.now || now === measured.previous))) {
    now = new Float32Array(placed.length);
  }
  now.set(placed);
  earlier = before;
  before = now;
  if (start === null) {
    start = before;
    crowd = placed.length / 3 > MEASURED;
    while (placed.length / 3 / stride > MEASURED) {
      stride *= 2;
    }
  }
  latest = frame;
  record();
  if (toggle.checked && path === null) {
    setTrails(true);
  } else if (path !== null) {
    pending.push([frame, traced(before)]);
  }
});
on('show', function () {
  showMeasures();
  showTrails();
  showPlot();
  frameBefore = latest;
});
