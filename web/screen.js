// screen.js: the page's screen. A full screen switch on the card and in a corner during the
// game; a lost WebGL context (a GPU reset, a phone reclaiming memory) stops the game and says
// so; a rotation that leaves the picture a strip offers a restart at the new shape.
'use strict';

const corner = document.getElementById('corner');
const refit = document.getElementById('refit');

function toggleFullscreen(event) {
  event.stopPropagation();  // not a start gesture, nor a click the game sees
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(() => {});
  } else if (document.documentElement.requestFullscreen) {
    document.documentElement.requestFullscreen().catch(() => {});
  }
}
for (const id of ['fullscreen', 'corner-fullscreen']) {
  document.getElementById(id).addEventListener('click', toggleFullscreen);
}
function showFullscreenState() {
  const words = document.fullscreenElement ? 'Leave full screen' : 'Full screen';
  for (const id of ['fullscreen', 'corner-fullscreen'])
    document.getElementById(id).textContent = words;
}
document.addEventListener('fullscreenchange', showFullscreenState);

// The corner shows while the card is away.
new MutationObserver(() => {
  corner.hidden = !card.hidden;
}).observe(card, {attributes: true});

// The drawing size is chosen once at start (every window-sized render target is made for it),
// so a turn of the phone from landscape to portrait would leave the picture a thin strip;
// below 80% of the window's width, the page offers to start again at the new shape.
function offerRefit(pictureAspect, windowAspect) {
  refit.hidden = pictureAspect / windowAspect >= 0.8 || graphicsLost;
}
refit.addEventListener('click', (event) => {
  event.stopPropagation();
  location.reload();
});

// The browser restores a lost context only if the page says it will handle the loss. The
// game's GL objects (buffers, textures, shaders, render targets) died with the context, so
// the page stops the game and offers a restart, which builds them again from the start.
canvas.addEventListener('webglcontextlost', (event) => {
  event.preventDefault();
  graphicsLost = true;
  if (Module.pauseMainLoop) Module.pauseMainLoop();
  tellVisible();
  if (document.pointerLockElement) document.exitPointerLock();
  statusLine.textContent =
      'The graphics were lost (the graphics card was reset or its memory reclaimed). ' +
      'The game is stopped.';
  setPhase('lost');
  card.hidden = false;
}, false);
canvas.addEventListener('webglcontextrestored', () => {
  statusLine.textContent = 'The graphics are back. Restart to play a new game.';
}, false);
document.getElementById('restart').addEventListener('click', (event) => {
  event.stopPropagation();
  location.reload();
});
