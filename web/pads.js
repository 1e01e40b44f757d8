// pads.js: a game pad on the cards. Until the game starts, and once it has ended, the game
// reads no pads, so the page does: a fresh press of any button starts the game on the start
// card and plays again on the ending card. A button already held when a card appears (the
// one the player was pressing as the time ran out) counts only once let go and pressed again.
'use strict';

let padsHeld = null;  // 'pad:button' pressed at the last look, null: no look on this card yet
let padsPhase = '';

function freshPadPress() {
  const pressed = new Set();
  for (const pad of navigator.getGamepads ? navigator.getGamepads() : []) {
    if (!pad) continue;
    pad.buttons.forEach((button, i) => {
      if (button.pressed) pressed.add(`${pad.index}:${i}`);
    });
  }
  const fresh = padsHeld !== null && [...pressed].some((b) => !padsHeld.has(b));
  padsHeld = pressed;
  return fresh;
}

function watchPads() {
  if (phase !== padsPhase) {
    padsPhase = phase;
    padsHeld = null;
  }
  if ((phase === 'ready' || phase === 'ended') && freshPadPress()) {
    if (phase === 'ready')
      start({type: 'gamepad'});
    else
      playAgain();
  }
  requestAnimationFrame(watchPads);
}
requestAnimationFrame(watchPads);
