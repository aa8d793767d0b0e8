// SPDX-License-Identifier: MIT
// Keeps what the page shows of the run: Snapshot downloads the program's picture as a PNG,
// PROGRAM-frame-N.png; Record, pressed, records the picture as it changes and, pressed
// again, downloads a WebM of it.
//
// The program's WebGL canvas does not keep its drawing buffer: it reads black outside the
// task that drew it, and a paused run draws nothing. So a picture is copied, in the task
// that drew it, into a canvas of the page's own, which holds still while the run is
// paused; the snapshot is that copy, and the recording is that copy's stream, given a
// frame at each new picture. A copy reads the picture back from the GPU, which cost a
// third of the frames in headless Chromium, so a picture is copied only when it may be
// kept: while recording, when a snapshot waits for it, and once the run is paused (the
// page pauses at the end of a pass, so the copy is of the picture it holds) or has ended;
// and only in a task that drew the frame just drawn, since the page leaves undrawn the
// passes it runs between the pictures it shows.
import {canvas, frames, name, on, pictured, save} from './page.js';

var snapshot = document.getElementById('snapshot');
var record = document.getElementById('record');
var status = document.getElementById('status');
var copy = document.createElement('canvas');
copy.width = canvas.width;
copy.height = canvas.height;
var context = copy.getContext('2d', {alpha: false});
var copied = -1;         // frames the program had drawn when the copy was taken
var wanted = false;      // a snapshot waits for the next picture
var track = null;        // the recording's video track, while recording
var recorder = null;
var first = 0;           // the frame the recording began at

function fresh() {
  return copied === frames();
}

on('show', function () {
  if (frames() === 0 || fresh()) {
    return;
  }
  snapshot.disabled = false;
  record.disabled = !recordable;
  if (!(track || wanted || status.textContent !== 'running') ||
      pictured() !== frames()) {
    return;
  }
  copied = frames();
  // What the canvas shows: its picture over its black background.
  context.fillStyle = '#000';
  context.fillRect(0, 0, copy.width, copy.height);
  context.drawImage(canvas, 0, 0);
  if (track) {
    frameTo(track);
  }
  if (wanted) {
    wanted = false;
    saveSnapshot();
  }
});

function saveSnapshot() {
  var frame = copied;
  copy.toBlob(function (blob) {
    save(blob, name + '-frame-' + frame + '.png');
  }, 'image/png');
}

// The picture shown now or, when it was not kept, the next one the program draws.
snapshot.addEventListener('click', function () {
  if (fresh()) {
    saveSnapshot();
  } else {
    wanted = true;
  }
});

// VP8 first: encoded in software as the page draws, VP9 took most of a busy machine.
function type() {
  return ['video/webm;codecs=vp8', 'video/webm;codecs=vp9', 'video/webm'].find(
      function (kind) {
        return MediaRecorder.isTypeSupported(kind);
      });
}
// WebKit's recorder takes no WebM at all.
var recordable = Boolean(window.MediaRecorder && type());
if (!recordable) {
  record.textContent = 'Record: this browser records no WebM, the one video the page writes';
}

// Gives the recording the copy's picture as its next frame. A stream that takes frames
// only when asked is asked; Firefox's has no way to be asked, and takes a frame whenever
// the copy is drawn on, which is at each new picture all the same.
function frameTo(video) {
  if (video.requestFrame) {
    video.requestFrame();
  }
}

function start() {
  // No frames of its own where the browser can: the stream gets one for each picture the
  // program draws, so a paused run's picture is held, as the page held it.
  var stream = copy.captureStream(0);
  track = stream.getVideoTracks()[0];
  if (!track.requestFrame) {
    track.stop();
    stream = copy.captureStream();
    track = stream.getVideoTracks()[0];
  }
  var chunks = [];
  // Small shapes on black blur into specks at the default rate.
  recorder = new MediaRecorder(stream, {mimeType: type(), videoBitsPerSecond: 8000000});
  recorder.ondataavailable = function (event) {
    chunks.push(event.data);
  };
  first = frames();
  recorder.onstop = function () {
    save(new Blob(chunks, {type: 'video/webm'}),
         name + '-frames-' + first + '-' + copied + '.webm');
  };
  // The picture shown now is the first, once the recorder takes frames; the stream takes
  // a frame of a canvas drawn on since it was asked for one, so the copy is drawn again.
  recorder.onstart = function () {
    if (fresh() && track) {
      context.drawImage(copy, 0, 0);
      frameTo(track);
    }
  };
  recorder.start(1000);
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
