// SPDX-License-Identifier: MIT
// Runs the page's program in its canvas, as a desktop runs it in a window: what it writes
// to standard output appears in #output line by line, Close posts the quit event that
// closing the window posts, and #status says "running", then "ended with status N".
'use strict';

var Module = (function () {
  var canvas = document.getElementById('canvas');
  var output = document.getElementById('output');
  var status = document.getElementById('status');
  var close = document.getElementById('close');

  function ended(text) {
    status.textContent = text;
    close.disabled = true;
  }

  close.addEventListener('click', function () {
    close.disabled = true;
    Module._web_request_quit();
  });

  return {
    canvas: canvas,
    // Keys reach the program while its canvas has the focus, as keys reach a window.
    keyboardListeningElement: canvas,
    print: function (line) {
      // Follow the newest line, unless the reader has scrolled back.
      var following = output.scrollTop + output.clientHeight >= output.scrollHeight - 2;
      output.appendChild(document.createTextNode(line + '\n'));
      if (following) {
        output.scrollTop = output.scrollHeight;
      }
    },
    printErr: function (line) {
      console.warn(line);
    },
    onRuntimeInitialized: function () {
      status.textContent = 'running';
      close.disabled = false;
    },
    onExit: function (code) {
      ended('ended with status ' + code);
    },
    onAbort: function (what) {
      ended('stopped: ' + what);
    },
  };
})();
