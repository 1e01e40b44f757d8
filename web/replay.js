// replay.js: the page's replays. The end card offers the game just played as a .vrp file (the
// same bytes the desktop keeps) and plays it again; the start card plays a file dropped on the
// page or picked. While a replay plays, a line at the top names its speed and keys.
'use strict';

const replayPanel = document.createElement('div');
replayPanel.id = 'replay';
replayPanel.innerHTML = '<button id="replay-download" hidden>Download replay</button> ' +
    '<button id="replay-watch" hidden>Watch again</button> ' +
    '<button id="replay-open">Watch a replay file</button>' +
    '<input id="replay-file" type="file" accept=".vrp" hidden>' +
    '<p id="replay-note"></p>';
card.appendChild(replayPanel);
const watchLine = document.createElement('div');
watchLine.id = 'replay-line';
watchLine.hidden = true;
document.body.appendChild(watchLine);
const replayNote = document.getElementById('replay-note');
const downloadButton = document.getElementById('replay-download');
const watchButton = document.getElementById('replay-watch');
const openButton = document.getElementById('replay-open');
const filePicker = document.getElementById('replay-file');
let watched = false;  // a replay has played: "Watch again" plays it from its start

// The page's clicks start the game; the panel's own clicks must not.
replayPanel.addEventListener('click', (event) => event.stopPropagation());

function watch(which) {
  const why = UTF8ToString(Module._velloran_watch(which));
  if (why) {
    replayNote.textContent = `Not played: ${why}.`;
    return false;
  }
  watched = true;
  replayNote.textContent = '';
  if (document.pointerLockElement) document.exitPointerLock();
  setPhase('watching');
  canvas.focus();
  return true;
}

// The game's recording ended: 3 s after the end, or at Escape (then it can only be kept).
Module.velloranRecorded = (watchable) => {
  downloadButton.hidden = false;
  watchButton.hidden = !watchable;
};

Module.velloranWatching = (speed, state) => {
  watchLine.hidden = false;
  watchLine.textContent = `Replay x${speed}${state ? ` (${state})` : ''}: Space pauses, ` +
      'Up plays faster, Down slower';
  if (!/^the end|^diverged/.test(state)) return;
  statusLine.textContent = `Replay: ${state}. Reload the page to play.`;
  watchButton.hidden = false;
  setPhase('ended');
};

function fileName() {
  const t = new Date(), two = (n) => String(n).padStart(2, '0');
  return `velloran-${t.getFullYear()}${two(t.getMonth() + 1)}${two(t.getDate())}-${
      two(t.getHours())}${two(t.getMinutes())}${two(t.getSeconds())}.vrp`;
}

downloadButton.addEventListener('click', () => {
  const at = Module._velloran_replay_bytes(), n = Module._velloran_replay_length();
  const blob = new Blob([HEAPU8.slice(at, at + n)], {type: 'application/octet-stream'});
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = fileName();
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
});
watchButton.addEventListener('click', () => watch(watched ? 2 : 1));

// A file's bytes go into the room the game made for them; it decodes and checks them itself.
async function watchFile(file) {
  if (phase !== 'ready') return;
  const bytes = new Uint8Array(await file.arrayBuffer());
  const room = Module._velloran_replay_room(bytes.length);
  HEAPU8.set(bytes.subarray(0, Module._velloran_replay_room_length()), room);
  watch(0);
}
openButton.addEventListener('click', () => filePicker.click());
filePicker.addEventListener('change', () => {
  if (filePicker.files.length) watchFile(filePicker.files[0]);
  filePicker.value = '';
});
addEventListener('dragover', (event) => event.preventDefault());
addEventListener('drop', (event) => {
  event.preventDefault();
  if (event.dataTransfer.files.length) watchFile(event.dataTransfer.files[0]);
});
