// SPDX-License-Identifier: MIT
// The measures of a frame, as scripts/experiment.py's measures() makes them: how many
// creatures are inside the field the movement rules test against, their mean distance
// from the centre, from where each was in the first frame, and from where each was in the
// frame before. Each sum is Python's sum() of floats, in the creatures' order, then the
// division: the same roundings give the same digits, so a page's table is the desktop's.
// A frame's places are x, y, rotation of each creature.

const WIDTH = 800, HEIGHT = 600;

// Python's math.hypot, which rounds as no browser's Math.hypot does (a third of the
// distances here differed in their last digit): the squares summed exactly in two parts
// each, scaled to below 1 by a power of two, the root corrected once.
function split(x) {
  const t = x * 134217729.0;  // 2^27 + 1
  const hi = t - (t - x);
  return [hi, x - hi];
}

function square(x, y) {
  const [xh, xl] = split(x), [yh, yl] = split(y);
  const p = xh * yh, q = xh * yl + xl * yh, z = p + q;
  return [z, p - z + q + xl * yl];
}

export function hypot(a, b) {
  a = Math.abs(a);
  b = Math.abs(b);
  const max = Math.max(a, b);
  if (max === Infinity || Number.isNaN(a) || Number.isNaN(b) || max === 0) {
    return max === Infinity ? max : max === 0 ? 0 : NaN;
  }
  // frexp's exponent: 2^(e - 1) <= max < 2^e.
  let e = Math.floor(Math.log2(max)) + 1;
  e += (2 ** e <= max ? 1 : 0) - (2 ** (e - 1) > max ? 1 : 0);
  const scale = 2 ** -e;
  let sum = 1.0, low = 0.0, lost = 0.0;
  const add = ([high, below]) => {
    const s = sum + high;
    lost += sum - s + high;
    sum = s;
    low += below;
  };
  add(square(a * scale, a * scale));
  add(square(b * scale, b * scale));
  let h = Math.sqrt(sum - 1.0 + (low + lost));
  add(square(-h, h));
  h += (sum - 1.0 + (low + lost)) / (2.0 * h);
  return h / scale;
}

// The sums of a frame to be measured, none of its creatures yet; `previous` is null for
// the first frame, which has no step.
export function measuring(frame, now, previous, start, cx, cy) {
  return {frame: frame, now: now, previous: previous, start: start, cx: cx, cy: cy, next: 0,
          inside: 0, distance: 0, fromStart: 0, step: 0};
}

// Measures up to `most` more creatures of a frame being measured (a crowd is measured a
// slice at a time); its measures once all are, else null.
export function advance(m, most) {
  const now = m.now, previous = m.previous, start = m.start, n = now.length / 3;
  const end = Math.min(n, m.next + most);
  for (let i = m.next; i < end; i++) {
    const x = now[3 * i], y = now[3 * i + 1];
    // Written as the rules test it: a coordinate that is not a number is out.
    if (x > 0 && x < WIDTH && y > 0 && y < HEIGHT) {
      m.inside++;
    }
    m.distance += hypot(x - m.cx, y - m.cy);
    m.fromStart += hypot(x - start[3 * i], y - start[3 * i + 1]);
    if (previous !== null) {
      m.step += hypot(x - previous[3 * i], y - previous[3 * i + 1]);
    }
  }
  m.next = end;
  return end < n ? null : {
    frame: m.frame,
    inside: m.inside,
    outside: n - m.inside,
    'mean-distance': m.distance / n,
    'mean-from-start': m.fromStart / n,
    'mean-step': previous === null ? null : m.step / n,
  };
}

// The names of the measures, in the order of the experiments' table.
export const NAMES = ['inside', 'outside', 'mean-distance', 'mean-from-start', 'mean-step'];
