// SPDX-License-Identifier: MIT
// The measures of a frame, as scripts/experiment.py's measures() makes them: how many
// creatures are inside the field the movement rules test against, their mean distance
// from the centre, from where each was in the first frame, and from where each was in the
// frame before. Each sum is Python's sum() of floats, in the creatures' order, then the
// division: the same roundings give the same digits, so a page's table is the desktop's.
// A frame's places are x, y, rotation of each creature.

const WIDTH = 800, HEIGHT = 600;

// Python's math.hypot, which rounds as no browser's Math.hypot does (a third of the
// distances here differed in their last digit): both squares, scaled below 1 by a power
// of two, summed exactly as a sum and the parts it lost (Dekker's products), the root then
// corrected once. No arrays: it runs three times a creature a frame.
const SPLIT = 134217729.0;  // 2^27 + 1
const bits = new Float64Array(1);
const words = new Uint32Array(bits.buffer);

// The sum being made, 1 and the products added to it, and what its roundings lost: of
// the products' low parts, and of the additions.
let sum = 1.0, low = 0.0, lost = 0.0;

// Adds x times y to the sum, the product exactly, as the rounded product and the rest
// (Dekker's product of the numbers' split halves).
function addProduct(x, y) {
  let t = x * SPLIT;
  const xh = t - (t - x), xl = x - xh;
  t = y * SPLIT;
  const yh = t - (t - y), yl = y - yh;
  const p = xh * yh, q = xh * yl + xl * yh, z = p + q, s = sum + z;
  low += p - z + q + xl * yl;
  lost += sum - s + z;
  sum = s;
}

export function hypot(a, b) {
  a = Math.abs(a);
  b = Math.abs(b);
  if (a === Infinity || b === Infinity) {
    return Infinity;
  }
  if (a !== a || b !== b) {
    return NaN;
  }
  const max = a > b ? a : b;
  if (max === 0) {
    return 0;
  }
  // frexp's exponent e, 2^(e - 1) <= max < 2^e, from the bits of a normal number, and
  // 2^-e made of bits too: a third of the time a power took.
  bits[0] = max;
  const e = ((words[1] >>> 20) & 0x7ff) - 1022;
  words[1] = (1023 - e) << 20;
  words[0] = 0;
  const scale = bits[0];
  sum = 1.0;
  low = lost = 0.0;
  addProduct(a * scale, a * scale);
  addProduct(b * scale, b * scale);
  let h = Math.sqrt(sum - 1.0 + (low + lost));
  // The square of the root taken off, and the root corrected by what is left.
  addProduct(-h, h);
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
