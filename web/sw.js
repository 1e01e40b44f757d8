// sw.js: the game's service worker. On its install it keeps every file of the game in a cache
// named after the build, so an offline reload plays, and a new build (a new name here) never
// mixes its files with an old build's. The files were just downloaded by the page, so they are
// asked of the browser's own cache first, revalidated, not downloaded again.
'use strict';

const build = '@VELLORAN_BUILD@';
// The page and every file it fetches, listed by the build.
const files = ['./'].concat('@VELLORAN_FILES@'.split(' '));

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(`velloran-${build}`)
                      .then((cache) => Promise.all(files.map(async (file) => {
                        const response = await fetch(new Request(file, {cache: 'no-cache'}));
                        if (!response.ok) throw new Error(`${file}: ${response.status}`);
                        await cache.put(file, response);
                      })))
                      .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
      caches.keys()
          .then(
              (names) => Promise.all(
                  names.filter((n) => n !== `velloran-${build}`).map((n) => caches.delete(n))))
          .then(() => self.clients.claim()));
});

// The game's files from this build's cache; anything else (the unpacked bundle of an old
// browser, a page address with options) from the network, else the cached page.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(`velloran-${build}`).then(async (cache) => {
    const url = new URL(event.request.url);
    const hit = await cache.match(event.request, {ignoreSearch: url.pathname.endsWith('/')});
    if (hit) return hit;
    try {
      return await fetch(event.request);
    } catch (error) {
      if (event.request.mode === 'navigate') return cache.match('./');
      throw error;
    }
  }));
});
