// SPDX-License-Identifier: MIT
// Keeps what the page shows of the run: Snapshot downloads the program's picture as a PNG,
// PROGRAM-frame-N.png; Record, pressed, records the picture as it changes and, pressed
// again, downloads a WebM of it.
//
// The program's WebGL canvas does not keep its drawing buffer: it reads black outside the
// task that drew it, and a paused run draws nothing. So each picture the browser shows is
// copied, in the task that drew it, into a canvas of the page's own, which holds still
// while the run is paused; the snapshot is that copy, and the recording is that copy's
// stream, given a frame at each new picture.
'use strict';

(function () {
  var snapshot = document.getElementById('snapshot');
  var record = document.getElementById('record');
  var copy = document.createElement('canvas');
  copy.width = Page.canvas.width;
  copy.height = Page.canvas.height;
  var context = copy.getContext('2d', {alpha: false});
  var copied = -1;         // frames the program had drawn when the copy was taken
  var track = null;        // the recording's video track, while recording
  var recorder = null;
  var first = 0;           // the frame the recording began at

  Page.on('show', function () {
    if (Page.frames() === copied || Page.frames() === 0) {
      return;
    }
    copied = Page.frames();
    // What the canvas shows: its picture over its black background.
    context.fillStyle = '#000';
    context.fillRect(0, 0, copy.width, copy.height);
    context.drawImage(Page.canvas, 0, 0);
    snapshot.disabled = false;
    record.disabled = !window.MediaRecorder;
    if (track) {
      track.requestFrame();
    }
  });

  function save(blob, name) {
    var anchor = document.createElement('a');
    anchor.href = URL.createObjectURL(blob);
    anchor.download = name;
    document.body.appendChild(anchor);
    anchor.click();
    anchor.remove();
    setTimeout(function () {
      URL.revokeObjectURL(anchor.href);
    }, 60000);
  }

  snapshot.addEventListener('click', function () {
    var frame = copied;
    copy.toBlob(function (blob) {
      save(blob, Page.name + '-frame-' + frame + '.png');
    }, 'image/png');
  });

  function type() {
    return ['video/webm;codecs=vp9', 'video/webm;codecs=vp8', 'video/webm'].find(
        function (kind) {
          return MediaRecorder.isTypeSupported(kind);
        });
  }

  function start() {
    // No frames of its own: the stream gets one for each picture the program draws, so a
    // paused run's picture is held, as the page held it.
    var stream = copy.captureStream(0);
    track = stream.getVideoTracks()[0];
    var chunks = [];
    recorder = new MediaRecorder(stream, {mimeType: type()});
    recorder.ondataavailable = function (event) {
      chunks.push(event.data);
    };
    first = copied;
    recorder.onstop = function () {
      save(new Blob(chunks, {type: 'video/webm'}),
           Page.name + '-frames-' + first + '-' + copied + '.webm');
    };
    recorder.start(1000);
    track.requestFrame();
    record.textContent = 'Stop recording and save (WebM)';
    record.classList.add('recording');
  }

  function stop() {
    recorder.stop();
    track.stop();
    track = recorder = null;
    record.textContent = 'Record';
    record.classList.remove('recording');
  }

  record.addEventListener('click', function () {
    if (recorder) {
      stop();
    } else {
      start();
    }
  });
})();
