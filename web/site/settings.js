// SPDX-License-Identifier: MIT
// What a setting of include/settings.h may hold, and how it is written: the playground's
// checks of a value are the sweeps' (scripts/variants.py, parse), in the same words, so a
// value refused in the page is refused on the desktop and the other way round; and its
// program.h is written as the sweeps write one.

// int's range, and float's largest finite value, as C++ has them.
const INT_MIN = -(2 ** 31);
const INT_MAX = 2 ** 31 - 1;
const FLOAT_MAX = 3.4028234663852886e38;
// What Python's float() reads: a decimal number, or a word for one that is not finite.
const DECIMAL = /^\s*[+-]?(\d+(_\d+)*(\.(\d+(_\d+)*)?)?|\.\d+(_\d+)*)([eE][+-]?\d+(_\d+)*)?\s*$/;
const NOT_FINITE = /^\s*[+-]?(nan|inf|infinity)\s*$/i;
const WHOLE = /^[+-]?\d+$/;

// Python's repr of a string, as the sweeps quote a value that is not a number.
export function quoted(text) {
  return text.includes("'") && !text.includes('"') ? '"' + text + '"' : "'" + text + "'";
}

// The value that the text `text` given for `field` ({name, type}) stands for, or throws an
// Error saying why the field cannot hold it. `most` bounds the population, as the page
// makes no more creatures than that.
export function parse(field, text, most) {
  const name = field.name;
  const where = name + '=' + text + ': ' + name + ' is ' +
                (field.type === 'int' ? 'an int' : 'a ' + field.type);
  if (field.type === 'bool') {
    const value = {true: true, false: false, 1: true, 0: false}[text];
    if (value === undefined) {
      throw new Error(where + ', one of true, false, 1 or 0');
    }
    return value;
  }
  if (NOT_FINITE.test(text)) {
    throw new Error(where + ', and ' + quoted(text) + ' is not a finite number');
  }
  if (!DECIMAL.test(text)) {
    throw new Error(where + ', and ' + quoted(text) + ' is not a number');
  }
  const number = Number(text.replace(/_/g, ''));
  if (!isFinite(number)) {
    throw new Error(where + ', and ' + quoted(text) + ' is not a finite number');
  }
  if (field.type === 'int') {
    if (!WHOLE.test(text)) {
      throw new Error(where + ', and ' + text + ' is a fraction, not a whole number');
    }
    if (number < INT_MIN || number > INT_MAX) {
      throw new Error(where + ", and " + text + " is beyond an int's range");
    }
    if (name === 'Population' && number < 1) {
      throw new Error(where + ', and a population below 1 has no creatures to measure');
    }
    if (name === 'Population' && number > most) {
      throw new Error(where + ', and the page makes at most ' + most + ' creatures');
    }
    return number;
  }
  if (field.type === 'float' && Math.abs(number) > FLOAT_MAX) {
    throw new Error(where + ', and ' + text + " is beyond a float's range");
  }
  return field.type === 'float' ? Math.fround(number) : number;
}

// `value` as the text a link or a command gives it: what reads back as the same value.
export function text(field, value) {
  if (field.type === 'bool') {
    return value ? 'true' : 'false';
  }
  if (field.type === 'float') {
    // The shortest decimal that a float reads back from.
    for (let digits = 1; digits < 10; digits++) {
      const shorter = Number(value.toPrecision(digits));
      if (Math.fround(shorter) === value) {
        return String(shorter);
      }
    }
  }
  return String(value);
}

// `value` as a C++ literal of the field's type, as the sweeps write it into a program.h.
function literal(field, value) {
  if (field.type === 'bool' || field.type === 'int') {
    return text(field, value);
  }
  const written = text(field, value);
  const decimal = /[.eE]/.test(written) ? written : written + '.0';
  return decimal + (field.type === 'float' ? 'f' : '');
}

// A complete program.h for `settings` ({name: value} of every field), naming what differs
// from settings.h's own values, ready to be saved as programs/NAME/program.h.
export function programH(fields, settings, whole, about) {
  const lines = fields.filter((f) => settings[f.name] !== f.reference)
                      .map((f) => '    .' + f.name + ' = ' + literal(f, settings[f.name]) + ',');
  return '// SPDX-License-Identifier: MIT\n' +
         '// NAME: ' + about + '\n' +
         '#ifndef PROGRAM_H_\n' +
         '#define PROGRAM_H_\n\n' +
         '#include "settings.h"\n\n' +
         'using Position = ' + (whole ? 'int' : 'float') + ';\n\n' +
         'constexpr settings SETTINGS = {\n' + lines.join('\n') + (lines.length ? '\n' : '') +
         '};\n\n' +
         '#endif\n';
}
