// page.js: the page around the game. It downloads the bundle packed (the site is static files
// and a plain server compresses nothing), shows the progress, fits the canvas to the window,
// starts the game at the player's first gesture, tells the game when the page is hidden or
// the pointer changes hands, and says how the game ended. Its timings are performance
// measures named velloran:download, :unpack, :compile, :start-up and :first-frame.
'use strict';

const card = document.getElementById('card');
const statusLine = document.getElementById('status');
const bar = document.querySelector('#bar div');
const canvas = document.getElementById('canvas');
let phase = 'loading';  // loading, ready (the card waits for a gesture), playing, ended, watching
let graphicsLost = false;  // the browser took the WebGL context away: the game stands still

// A span of the loading, measured from the previous mark (or the page's start).
let lastMark = null;
function measure(name) {
  performance.mark(`velloran:${name}:end`);
  performance.measure(`velloran:${name}`, lastMark || undefined, `velloran:${name}:end`);
  lastMark = `velloran:${name}:end`;
}

function setPhase(next) {
  phase = next;
  card.className = next;
  card.hidden = next === 'playing' || next === 'watching';
}

function showProgress(loaded, total) {
  const mb = (n) => (n / 1e6).toFixed(1);
  if (total > 0) {
    const percent = Math.min(100, Math.floor((100 * loaded) / total));
    bar.style.width = `${percent}%`;
    statusLine.textContent = `Loading ${mb(loaded)} of ${mb(total)} MB (${percent}%)`;
  } else {
    statusLine.textContent = `Loading ${mb(loaded)} MB`;
  }
}

// The canvas keeps the drawing size the game chose at start; a resize scales it, whole and
// with its shape kept, into the window, centred (the rest stays black).
function fit() {
  if (!canvas.width || !canvas.height) return;
  if (typeof offerRefit === 'function')
    offerRefit(canvas.width / canvas.height, innerWidth / innerHeight);
  const scale = Math.min(innerWidth / canvas.width, innerHeight / canvas.height);
  const width = canvas.width * scale, height = canvas.height * scale;
  canvas.style.setProperty('width', `${width}px`, 'important');
  canvas.style.setProperty('height', `${height}px`, 'important');
  canvas.style.left = `${(innerWidth - width) / 2}px`;
  canvas.style.top = `${(innerHeight - height) / 2}px`;
}
addEventListener('resize', fit);

// GLFW asks for the pointer before any click; a browser refuses that quietly only if the
// refusal is caught. Before the start it is not granted at all: a captured pointer would send
// every click to the canvas, and the card's Controls panel could not be used.
const requestLock = canvas.requestPointerLock.bind(canvas);
canvas.requestPointerLock = () => {
  if (phase !== 'playing') return;
  const result = requestLock();
  if (result && result.catch) result.catch(() => {});
};

// Keys the game uses whose default action would scroll the page, open a menu or move the
// focus. Keys the browser keeps for itself (Ctrl+W, Ctrl+T, F11 full screen, F5 reload in
// some browsers) never reach a page and cannot be taken.
const gameKeys = new Set([
  'Space', 'ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'F1', 'F2', 'F3', 'F4', 'F6', 'F7',
  'F10', 'Tab', 'Backspace'
]);

// The start gesture. It runs inside the player's own event, where a browser allows the pointer
// to be captured (and sound to begin: listeners of 'velloran-start' run inside it too).
function start(event) {
  if (phase !== 'ready') return;
  setPhase('playing');
  canvas.focus();
  if (event.type !== 'keydown' && event.type !== 'gamepad' && event.pointerType !== 'touch' &&
      !touchUsed)
    canvas.requestPointerLock();
  Module._velloran_start();
  dispatchEvent(new Event('velloran-start'));
}
// Anywhere, not only on the card: a click on the picture around it starts the game too.
addEventListener('click', start);

// Every key goes to the game from here, by its place on the keyboard (event.code), never
// through the browser GLFW's own listener: that one reads the layout's keyCode, so on an AZERTY
// keyboard W would be the key labelled W, not the one under the left ring finger the desktop
// drives with. Registered before the game's listeners, so they never see a key; keys before the
// start only start the game (the key that starts it neither paddles nor flips a view).
for (const type of ['keydown', 'keyup']) {
  addEventListener(type, (event) => {
    event.stopImmediatePropagation();
    if (capturing) {
      if (type === 'keydown') captureKey(event);
      return;
    }
    if (gameKeys.has(event.code)) event.preventDefault();
    learnLabel(event);
    if (phase === 'playing' || phase === 'ended' || phase === 'watching') {
      Module.ccall(
          'velloran_key', null, ['string', 'number'],
          [event.code,
           type === 'keyup' ? 0 :
               event.repeat ? 2 :
                              1]);
    } else if (
        phase === 'ready' && type === 'keydown' && event.code !== 'Escape' && !event.repeat) {
      start(event);
    }
  }, true);
}
// Keys held when the page loses the focus would stay held: let go of them all.
addEventListener('blur', () => {
  if (Module._velloran_release_keys) Module._velloran_release_keys();
});

// Nor does the mouse or a finger turn the camera behind the card (the window's wheel counter is
// registered after this one).
const beforeStart = (event) => {
  if (phase !== 'playing') event.stopImmediatePropagation();
};
for (const type of ['mousemove', 'touchmove']) canvas.addEventListener(type, beforeStart, true);
addEventListener('wheel', beforeStart, true);

// Hidden is not played: the game stops its clock, and held keys are let go. A tab that is
// hidden does not always blur the window first; the page releases keys on blur.
document.addEventListener('visibilitychange', () => {
  if (document.hidden) dispatchEvent(new Event('blur'));
  tellVisible();
});
// The game runs while the page is shown and has its graphics; the sound device is held with it,
// so no effect sounds on in a hidden tab.
function tellVisible() {
  const shown = !document.hidden && !graphicsLost;
  if (Module._velloran_page_visible) Module._velloran_page_visible(shown ? 1 : 0);
  if (typeof AL === 'undefined' || !AL.contexts) return;
  for (const context of Object.values(AL.contexts)) {
    const audio = context && context.audioCtx;
    if (!audio) continue;
    if (!shown && audio.state === 'running') audio.suspend();
    if (shown && audio.state === 'suspended' && phase !== 'loading') audio.resume();
  }
}

// The cursor's coordinates change meaning when the pointer is captured or let go (movement
// while captured, the position on the page otherwise): the next one only primes the look.
document.addEventListener('pointerlockchange', () => {
  if (Module._velloran_rearm_mouse) Module._velloran_rearm_mouse();
});
let touchUsed = false;  // set by touch.js once the screen was touched

// The ending the card shows is the first one: an Escape after the time ran out closes the
// game but does not rewrite "Time is up".
function ended(how, ducks, seconds) {
  if (document.pointerLockElement) document.exitPointerLock();
  if (phase === 'ended') return;
  const collected = `${ducks} of 15 ducks collected`;
  const left = `${seconds} second${seconds === 1 ? '' : 's'} left`;
  statusLine.textContent = how === 'escape' ? `The game has ended: ${collected}, ${left}.` :
      ducks === 15 ? `All 15 ducks collected with ${left}!` :
                     `Time is up: ${collected}.`;
  setPhase('ended');
}
const playAgain = () => location.reload();
document.getElementById('again').addEventListener('click', playAgain);

var Module = {
  canvas: canvas,
  // Emscripten's GLFW announces every pad on the game's own output ("glfw joystick connected:");
  // the console keeps the game's lines only.
  print: (text) => {
    if (!/^glfw joystick (connected|disconnected)/.test(text)) console.log(text);
  },
  printErr: (text) => console.warn(text),
  // Emscripten's own progress (only when the bundle is fetched unpacked): "... (done/total)".
  setStatus: (text) => {
    const bytes = /\((\d+)\/(\d+)\)/.exec(text || '');
    if (bytes && phase === 'loading') showProgress(Number(bytes[1]), Number(bytes[2]));
  },
  velloranNote: (text) => {
    document.getElementById('note').textContent = text;
  },
  onRuntimeInitialized: () => measure('compile'),
  velloranReady: () => {
    fit();
    if (phase !== 'loading') return;
    measure('start-up');
    requestAnimationFrame(() => {
      measure('first-frame');
      dispatchEvent(new Event('velloran-first-frame'));
    });
    statusLine.textContent = '';
    applyStoredKeys();
    setPhase('ready');
    Module._velloran_page_visible(document.hidden ? 0 : 1);
  },
  velloranEnded: ended,
};
addEventListener('error', () => {
  statusLine.textContent = 'The game stopped with an error (see the console).';
  card.hidden = false;
});

// The bundle, the wasm and the game's script, packed with gzip at build time and unpacked here
// by the browser's own decompressor (a plain static host then sends a third of the bytes); the
// game's loader takes them from getPreloadedPackage, instantiateWasm and a script of its own.
// Without the decompressor (old browsers) or the packed files, the loader fetches the unpacked
// files itself.
async function fetchAll(urls) {
  const responses = await Promise.all(urls.map((url) => fetch(url)));
  if (responses.some((r) => !r.ok)) throw new Error('missing');
  const sizes = responses.map((r) => Number(r.headers.get('Content-Length')) || 0);
  const total = sizes.every((n) => n > 0) ? sizes.reduce((a, b) => a + b, 0) : 0;
  let loaded = 0;
  return Promise.all(responses.map(async (response) => {
    const chunks = [], reader = response.body.getReader();
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      chunks.push(value);
      loaded += value.length;
      showProgress(loaded, total);
    }
    return new Blob(chunks);
  }));
}

// A fetched file's bytes: unpacked here unless a server that labels .gz files as gzip-encoded
// had the browser unpack them already.
async function unpack(blob) {
  const head = new Uint8Array(await blob.slice(0, 2).arrayBuffer());
  const packed = head[0] === 0x1f && head[1] === 0x8b;
  return packed ?
      new Response(blob.stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer() :
      blob.arrayBuffer();
}

async function load() {
  let script = 'velloran.js';
  try {
    if (typeof DecompressionStream === 'undefined') throw new Error('no decompressor');
    const files = await fetchAll(['velloran.data.gz', 'velloran.wasm.gz', 'velloran.js.gz']);
    measure('download');
    let [data, wasmBytes, code] = await Promise.all(files.map(unpack));
    measure('unpack');
    // Asked once; the page lets go of its copy as the loader takes it.
    Module.getPreloadedPackage = () => {
      const taken = data;
      data = null;
      return taken;
    };
    Module.instantiateWasm = (imports, receive) => {
      WebAssembly.instantiate(wasmBytes, imports)
          .then((r) => receive(r.instance, r.module), (error) => {
            console.error(error);
            statusLine.textContent = 'The game could not start in this browser (see the console).';
          });
      wasmBytes = null;
      return {};
    };
    // The script runs from memory; anything it would fetch is named beside the page.
    Module.locateFile = (name) => name;
    script = URL.createObjectURL(new Blob([code], {type: 'text/javascript'}));
    code = null;
  } catch (e) {
    console.info(`Loading the unpacked files (${e.message})`);
  }
  statusLine.textContent = 'Starting...';
  const element = document.createElement('script');
  element.src = script;
  document.body.appendChild(element);
}
load();
