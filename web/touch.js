// touch.js: on-screen controls for a touch screen. The thumb pad holds forward, back, left and
// right by the thumb's direction from its centre, Jump and View tap their actions, Sprint
// latches on and off (a thumb cannot hold it beside the pad). Dragging on the picture looks around,
// as the mouse does, a CSS pixel of drag for a pixel of mouse movement. Hidden where there is a
// mouse, until the screen is touched.
'use strict';

const touchPanel = document.getElementById('touch');
const pad = document.getElementById('pad');
const knob = document.getElementById('knob');
const deadZone = 0.35;  // of the pad's radius: a thumb resting near the centre holds nothing

// Only while playing: before the start the card is the thing to tap.
function pressKey(action, down) {
  if (phase === 'playing')
    Module.ccall('velloran_touch', null, ['string', 'number'], [action, down ? 1 : 0]);
}

function showTouchControls() {
  touchUsed = true;
  touchPanel.hidden = false;
}
if (matchMedia('(pointer: coarse)').matches && !matchMedia('(any-pointer: fine)').matches) {
  showTouchControls();
}
addEventListener('touchstart', showTouchControls, {capture: true, passive: true});

// The pad: which of the four actions the thumb's offset holds.
const padHeld = new Set();
let padPointer = null;
function steer(event) {
  const box = pad.getBoundingClientRect(), radius = box.width / 2;
  let dx = 0, dy = 0;
  if (event) {
    dx = Math.max(-1, Math.min(1, (event.clientX - box.left - radius) / radius));
    dy = Math.max(-1, Math.min(1, (event.clientY - box.top - radius) / radius));
  }
  knob.style.transform = `translate(${dx * radius * 0.6}px, ${dy * radius * 0.6}px)`;
  const want = new Set();
  if (dy < -deadZone) want.add('forward');
  if (dy > deadZone) want.add('back');
  if (dx < -deadZone) want.add('left');
  if (dx > deadZone) want.add('right');
  for (const key of padHeld)
    if (!want.has(key)) {
      padHeld.delete(key);
      pressKey(key, false);
    }
  for (const key of want)
    if (!padHeld.has(key)) {
      padHeld.add(key);
      pressKey(key, true);
    }
}
pad.addEventListener('pointerdown', (event) => {
  padPointer = event.pointerId;
  // The pad keeps the thumb when it slides off; a browser may refuse for a pointer it has
  // already let go, and the pad then works without.
  try {
    pad.setPointerCapture(event.pointerId);
  } catch (e) { /* steering still follows */
  }
  steer(event);
});
pad.addEventListener('pointermove', (event) => {
  if (event.pointerId === padPointer) steer(event);
});
for (const type of ['pointerup', 'pointercancel']) {
  pad.addEventListener(type, (event) => {
    if (event.pointerId !== padPointer) return;
    padPointer = null;
    steer(null);
  });
}

// The buttons: a tap presses and releases; a latched button toggles its action.
for (const button of touchPanel.querySelectorAll('button')) {
  const key = button.dataset.action;
  button.addEventListener('pointerdown', (event) => {
    event.preventDefault();
    if (phase !== 'playing') return;
    if (button.hasAttribute('data-latch')) {
      const on = button.classList.toggle('on');
      pressKey(key, on);
    } else {
      pressKey(key, true);
      pressKey(key, false);
    }
  });
}

// The drag: one finger on the picture. The browser's GLFW would report touches as a cursor that
// never moves, so its handler does not see them.
let dragging = null;  // { id, x, y } of the finger that looks
canvas.addEventListener('touchstart', (event) => {
  const t = event.changedTouches[0];
  if (!dragging) dragging = {id: t.identifier, x: t.clientX, y: t.clientY};
}, true);
canvas.addEventListener('touchmove', (event) => {
  event.stopImmediatePropagation();
  event.preventDefault();
  const t = [...event.changedTouches].find((touch) => dragging && touch.identifier === dragging.id);
  if (!t || phase !== 'playing') return;
  Module._velloran_touch_look(t.clientX - dragging.x, t.clientY - dragging.y);
  dragging.x = t.clientX;
  dragging.y = t.clientY;
}, true);
for (const type of ['touchend', 'touchcancel']) {
  canvas.addEventListener(type, (event) => {
    lastTouch = performance.now();
    if (!dragging || ![...event.changedTouches].some((t) => t.identifier === dragging.id)) return;
    dragging = null;
    Module._velloran_rearm_mouse();  // a mouse moved next starts from where it is
  }, true);
}
// The mouse events a browser makes up after a tap would move the cursor to the tap at once.
let lastTouch = -Infinity;
canvas.addEventListener('mousemove', (event) => {
  if (performance.now() - lastTouch < 1000) event.stopImmediatePropagation();
}, true);

// A touch player's keys are let go with the page's focus, as a keyboard's are.
addEventListener('blur', () => {
  steer(null);
  for (const button of touchPanel.querySelectorAll('button.on')) {
    button.classList.remove('on');
    pressKey(button.dataset.action, false);
  }
});
