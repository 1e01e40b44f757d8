// offline.js: once the first picture is drawn (so it never competes with the loading), the
// page registers its service worker, which keeps the game for an offline reload. Browsers
// allow one only over HTTPS or on localhost; elsewhere the game simply needs the network.
'use strict';

addEventListener('velloran-first-frame', () => {
  if (!('serviceWorker' in navigator) || !isSecureContext) return;
  navigator.serviceWorker.register('sw.js').catch((error) => {
    console.info(`No offline play: ${error.message}`);
  });
});
