// SPDX-License-Identifier: MIT
// A browser whose language is no language tag (WebKitGTK started under Linux's C locale
// says "C") makes Intl throw, and the plot's library asks Intl for the browser's language
// as it loads: it would not load at all. Such a browser is given American English, the
// library's own fallback, before any script asks; a real tag is left as it is.
(function () {
  try {
    Intl.getCanonicalLocales(navigator.language);
  } catch (e) {
    Object.defineProperty(navigator, 'language', {value: 'en-US', configurable: true});
  }
})();
