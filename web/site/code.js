// SPDX-License-Identifier: MIT
// Highlights the sources in "How it works" as each is opened, with highlight.js where the
// site has it; without it they stay plain text, which is all they need to be read.

document.querySelectorAll('#code details').forEach(function (details) {
  function highlight() {
    var code = details.querySelector('code');
    if (window.hljs && details.open && !code.dataset.highlighted) {
      hljs.highlightElement(code);
    }
  }
  details.addEventListener('toggle', highlight);
  highlight();
});
