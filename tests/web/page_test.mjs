// The browser page as a player meets it, in headless Chromium, in parts that are tests of their
// own: download (a first visit over a slow line, installing, offline, no decompressor), sizes
// (desktop and laptop windows), hidpi (a HiDPI laptop, a 4K screen past the drawing size's cap,
// a touch phone), play (a hidden page, the pointer let go, a lost WebGL context, full screen,
// keys by their place and changed in the Controls panel, a pad on both cards, the ending) and
// replay (downloaded, watched again, picked on the start card, played on the desktop build).
//
//   node page_test.mjs <site folder> <part> [desktop binary, for replay]
//
// What a player sees is read from screenshots: a HUD line is there when the band where the
// game draws it holds white text pixels, in the window, with nothing of the page over it.
import {spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {decodePng, fakePad, gameState, openPage, pause, plugPad, runFrames, session, setPad, toCard} from './harness.mjs';

const [site, part, desktop] = process.argv.slice(2);
if (!['download', 'sizes', 'hidpi', 'play', 'replay'].includes(part)) {
  console.log(`FAIL: unknown part "${part}"`);
  process.exit(2);
}
const maxFirstVisitBytes = 2.2e6;  // the service worker's own fetches included
const maxDrawingPixels = 2560 * 1440;
const small = 'width=400&height=300', ended = /^Time is up: 0 of 15 ducks collected\.$/;

const framesRun = (page) => page.evaluate(() => Module._velloran_frames_run());
const canoe = async (page) => {
  const s = await gameState(page);
  return [s.canoeX, s.canoeZ];
};
const moved = (a, b) => Math.hypot(a[0] - b[0], a[1] - b[1]);
const status = (page) => page.$eval('#status', (e) => e.textContent);
let browser, base, sent, check;
// A page at a viewport, loaded up to the start card (its first picture drawn under it).
const open = (viewport, query = '', before) => openPage(browser, base + query, {viewport, before});
const noErrors = (errors, what = '') =>
    check(errors.length === 0, `${what}no console errors (${errors.join(' | ')})`);

// The canvas's place against the window: inside it, filling it one way, its shape kept, no
// scrolling, and (at the size chosen at start) one drawing pixel per device pixel.
const layout = (page) => page.evaluate(() => {
  const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
  const [x, y, w, h, bw, bh] = [r.x, r.y, r.width, r.height, c.width, c.height];
  const [vw, vh, dpr] = [innerWidth, innerHeight, devicePixelRatio];
  const d = document.documentElement;
  return {x, y, w, h, bw, bh, vw, vh, dpr, sw: d.scrollWidth, sh: d.scrollHeight};
});
const fits = (l) => l.x >= -0.5 && l.y >= -0.5 && l.x + l.w <= l.vw + 0.5 &&
    l.y + l.h <= l.vh + 0.5 && (Math.abs(l.w - l.vw) <= 1 || Math.abs(l.h - l.vh) <= 1) &&
    Math.abs(l.w / l.h - l.bw / l.bh) < 0.01;
const crisp = (l) => Math.abs(l.w * l.dpr - l.bw) <= 1.5 && Math.abs(l.h * l.dpr - l.bh) <= 1.5;
const scrolls = (l) => l.sw > l.vw || l.sh > l.vh;
const describe = (l) =>
    `canvas ${l.w.toFixed(0)} x ${l.h.toFixed(0)} at ${l.x.toFixed(0)},${l.y.toFixed(0)}, ` +
    `buffer ${l.bw} x ${l.bh}, window ${l.vw} x ${l.vh} @${l.dpr}`;

// The two HUD lines' bands in drawing pixels from the top (as the game places them: the
// seconds line a fortieth of the width below the top, the ducks line a fiftieth above the
// bottom), measured in the screenshot, and whether the page covers them.
async function hudLines(page, l) {
  const shot = decodePng(Buffer.from(await page.screenshot({type: 'png'})));
  const top = Math.floor(l.bw / 40), bottom = l.bh - Math.floor(l.bw / 50);
  const bands = [
    {name: 'seconds', top: top - l.bw * 0.012, bottom: top + 2, width: l.bw * 0.16},
    {name: 'ducks', top: bottom - l.bw * 0.024, bottom: bottom + 2, width: l.bw * 0.3}
  ];
  const seen = [];
  for (const band of bands) {
    const left = Math.floor(l.bw / 50);
    const css = (x, y) => [l.x + (x * l.w) / l.bw, l.y + (y * l.h) / l.bh];
    const [x0, y0] = css(left, band.top), [x1, y1] = css(left + band.width, band.bottom);
    let white = 0, all = 0;
    for (let y = Math.max(0, Math.floor(y0 * l.dpr)); y < Math.min(shot.height, y1 * l.dpr); ++y) {
      for (let x = Math.max(0, Math.floor(x0 * l.dpr)); x < Math.min(shot.width, x1 * l.dpr); ++x) {
        if (Math.min(...shot.at(x, y)) >= 200) ++white;
        ++all;
      }
    }
    const covered = await page.evaluate(
        (x, y) => document.elementFromPoint(x, y)?.id !== 'canvas', (x0 + x1) / 2, (y0 + y1) / 2);
    const inside = x0 >= 0 && y0 >= 0 && x1 <= l.vw + 0.5 && y1 <= l.vh + 0.5;
    seen.push({name: band.name, ok: inside && !covered && white >= 0.03 * all, white, all});
  }
  return seen;
}

// A first visit over an 8 Mbit/s line: the bytes sent, the time to the first frame, the progress
// shown at the final layout; the manifest; a reload offline; a browser without a decompressor.
async function download() {
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 720});
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  const line = (offline, latency, throughput) => cdp.send(
      'Network.emulateNetworkConditions',
      {offline, latency, downloadThroughput: throughput, uploadThroughput: throughput});
  await line(false, 40, 1e6);
  await page.evaluateOnNewDocument(() => {
    window.seenLoading = [];
    const note = () => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      seenLoading.push({
        text: document.getElementById('status').textContent,
        rect: [r.x, r.y, r.width, r.height]
      });
    };
    addEventListener(
        'DOMContentLoaded',
        () => new MutationObserver(note).observe(
            document.getElementById('status'),
            {childList: true, characterData: true, subtree: true}));
  });
  sent.bytes = 0;
  const started = Date.now();
  await page.goto(base);
  await page.waitForSelector('#card.ready', {timeout: 120000, polling: 20});
  const firstFrame = Date.now() - started;
  // The service worker installs after the first frame; its fetches count too.
  await page.evaluate(() => navigator.serviceWorker.ready);
  const spans = await page.evaluate(
      () => performance.getEntriesByType('measure')
                .filter((m) => m.name.startsWith('velloran:'))
                .map((m) => `${m.name.slice(9)} ${m.duration.toFixed(0)} ms`));
  console.log(`first visit: ${sent.bytes} bytes sent, ready with its first frame ${
      firstFrame} ms after navigation at 8 Mbit/s, 40 ms (${spans.join(', ')})`);
  check(
      sent.bytes <= maxFirstVisitBytes,
      `a first visit sends at most 2.2 MB, the service worker's included (${sent.bytes} bytes)`);
  check(spans.length === 5, 'the page measures download, unpack, compile, start-up, first frame');
  const {seen, ready} = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return {seen: seenLoading, ready: [r.x, r.y, r.width, r.height]};
  });
  const progress = seen.filter((s) => /of [\d.]+ MB \(\d+%\)/.test(s.text));
  check(
      progress.length >= 2 && progress.every((s) => s.rect.join() === ready.join()),
      `loading shows megabytes and percent (${progress.length} steps, last "${
          progress.at(-1)?.text}"), the canvas staying where it is ready (${ready.join(', ')})`);
  const first = await gameState(page);
  for (let i = 0; i < 10; ++i) await page.mouse.move(100 + 10 * i, 100 + 10 * i);
  await page.mouse.wheel({deltaY: -100});
  await pause(1500);
  check(
      await framesRun(page) === 1 &&
          JSON.stringify(await gameState(page)) === JSON.stringify({...first, timeLeft: 90}),
      'before the start gesture only the first picture is drawn, the clock stands at 90, the mouse turns nothing');

  // Installable: the manifest as Chromium reads it, a favicon; then a reload offline plays.
  const manifest = await cdp.send('Page.getAppManifest');
  const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
  const icons = JSON.parse(manifest.data || '{}').icons?.map((i) => i.sizes).join(' ');
  const favicon = await page.evaluate(
      async () => (await fetch(document.querySelector('link[rel=icon]').href)).ok);
  check(
      manifest.errors.length === 0 && icons === '192x192 512x512' && favicon &&
          installabilityErrors.length === 0,
      `the manifest names icons ${icons}, a favicon loads, installable (${
          JSON.stringify(installabilityErrors)})`);
  await line(true, 0, -1);
  sent.bytes = 0;
  await page.reload();
  await page.waitForSelector('#card.ready', {timeout: 120000});
  // Every script of the page is in the service worker's cache, not only the browser's.
  const uncached = await page.evaluate(async () => {
    const kept = (await (await caches.open((await caches.keys())[0])).keys()).map((r) => r.url);
    return [...document.scripts]
        .map((e) => e.src)
        .filter((src) => src && !src.startsWith('blob:') && !kept.includes(src));
  });
  check(
      sent.bytes === 0 && uncached.length === 0,
      `offline, a reload reaches the start card (${sent.bytes} bytes sent; not kept: ${uncached})`);
  await page.close();

  // A browser without DecompressionStream fetches the unpacked bundle instead.
  sent.bytes = 0;
  const old =
      await open(undefined, 'width=320&height=240', () => delete window.DecompressionStream);
  const unpacked = fs.statSync(path.join(site, 'velloran.data')).size;
  check(
      sent.bytes >= unpacked,
      `without a decompressor the unpacked bundle loads and the game starts (${sent.bytes} bytes)`);
  await old.page.close();
}

// Window sizes from a phone to a large screen: fits, crisp, no scrolling, both HUD lines; on the
// phone the touch controls, at 1280 x 720 a resize while playing.
async function sizes(viewports) {
  for (const viewport of viewports) {
    const name = `${viewport.width} x ${viewport.height} @${viewport.deviceScaleFactor || 1}`;
    const {page, errors} = await open(viewport, 'hold');
    const l = await layout(page);
    // Past the cap the picture is drawn smaller and scaled up: whole and sharp are then apart.
    const capped = viewport.width * viewport.height * (viewport.deviceScaleFactor || 1) ** 2 >
        maxDrawingPixels;
    check(
        fits(l) && crisp(l) === !capped && l.bw * l.bh <= maxDrawingPixels && !scrolls(l),
        `${name}: fits, ${capped ? 'drawn at the cap' : 'crisp'}, no scrolling (${describe(l)})`);
    for (const line of await hudLines(page, l)) {
      check(
          line.ok,
          `${name}: the ${line.name} HUD line is shown (${line.white} of ${
              line.all} pixels white)`);
    }
    if (viewport.hasTouch) await touch(page, name, viewport);
    if (viewport.width === 1280 && !viewport.deviceScaleFactor) {
      await page.keyboard.press('Enter');
      await page.setViewport({width: 700, height: 700});
      await runFrames(page, 2);
      const resized = await layout(page);
      check(
          fits(resized) && !scrolls(resized),
          `a resize while playing keeps it fitting (${describe(resized)})`);
    }
    noErrors(errors, `${name}: `);
    await page.close();
  }
}

// The phone: a tap starts, the thumb pad paddles, letting go stops; View switches to the free
// camera, and a drag on the picture turns it from where it was.
async function touch(page, name, viewport) {
  await page.touchscreen.tap(viewport.width / 2, viewport.height / 2);
  check(
      await page.evaluate(() => !document.getElementById('touch').hidden && phase === 'playing'),
      `${name}: a tap starts the game and shows the touch controls`);
  const pad = await page.evaluate(() => {
    const r = document.getElementById('pad').getBoundingClientRect();
    return [r.x + r.width / 2, r.y + r.height / 2, r.width / 2];
  });
  const before = await canoe(page);
  const thumb = await page.touchscreen.touchStart(pad[0], pad[1]);
  await thumb.move(pad[0], pad[1] - 0.9 * pad[2]);
  await runFrames(page, 3);
  const paddled = await canoe(page);
  await thumb.end();
  await runFrames(page, 2);
  const after = await canoe(page);
  check(
      moved(before, paddled) > 0.01 && moved(paddled, after) < 1e-4,
      `${name}: the thumb pad paddles the canoe and letting go stops it (moved ${
          moved(before, paddled).toFixed(3)}, then ${moved(paddled, after).toFixed(5)})`);
  await (await page.$('#view')).tap();
  const {yaw, pitch} = await gameState(page);
  const drag = await page.touchscreen.touchStart(200, 300);
  for (let i = 1; i <= 4; ++i) await drag.move(200 + 15 * i, 300);
  await drag.end();
  const now = await gameState(page);
  const turned = now.yaw - yaw, tilted = now.pitch - pitch;
  check(
      turned > 1 && Math.abs(tilted) < 1,
      `${name}: a sideways drag on the picture turns the free camera ` +
          `(${turned.toFixed(1)} degrees sideways, ${tilted.toFixed(1)} up or down)`);
}

// One page at the real clock: hidden, no frame runs, the clock stands, the held key is let go,
// the first frame back is a normal one; the free camera when the pointer lock ends; a lost
// WebGL context stands the game still until Restart; then, on the new game's card, full screen
// without starting, the corner switch in the game and a refit offered on a rotation.
async function realClock() {
  const {page, errors} = await open({width: 400, height: 300}, small);
  await page.keyboard.press('Enter');
  await page.keyboard.down('KeyW');
  await runFrames(page, 2);
  const setHidden = (hidden) => page.evaluate((h) => {
    Object.defineProperty(document, 'hidden', {configurable: true, get: () => h});
    document.dispatchEvent(new Event('visibilitychange'));
  }, hidden);
  await setHidden(true);
  const at = {frames: await framesRun(page), ...await gameState(page), canoe: await canoe(page)};
  await pause(3000);
  const quiet = await page.evaluate(
      () => Object.values(AL.contexts).every((c) => c.audioCtx.state !== 'running'));
  check(
      await framesRun(page) === at.frames && (await gameState(page)).timeLeft === at.timeLeft &&
          quiet,
      'while hidden no frame runs, the clock stands, the sound device is held');
  await setHidden(false);
  await runFrames(page, 2);
  const lost = at.timeLeft - (await gameState(page)).timeLeft;
  const drift = moved(at.canoe, await canoe(page));
  check(
      lost < 1.5 && drift < 1e-4,
      `back from 3 s hidden, two frames take ${lost.toFixed(2)} s off the clock; ` +
          `the key held when the page was hidden was let go (moved ${drift.toFixed(5)})`);
  await page.keyboard.up('KeyW');

  await page.keyboard.press('F6');  // the free camera
  await page.mouse.move(200, 150);
  const locked = await page.evaluate(() => document.pointerLockElement?.id === 'canvas');
  for (let i = 1; i <= 5; ++i) await page.mouse.move(200 + 20 * i, 150 + 10 * i);
  await page.evaluate(() => new Promise((ok) => {
                        document.addEventListener('pointerlockchange', ok, {once: true});
                        if (document.pointerLockElement)
                          document.exitPointerLock();
                        else
                          document.dispatchEvent(new Event('pointerlockchange'));
                      }));
  const {yaw, pitch} = await gameState(page);
  await page.mouse.move(302, 202);
  const now = await gameState(page);
  const swing = Math.hypot(now.yaw - yaw, now.pitch - pitch);
  check(
      swing < 2,
      `a 2 px move after the pointer ${locked ? 'lock' : 'capture'} ends turns the view ${
          swing.toFixed(2)} degrees`);

  await page.evaluate(() => {
    window.loseGl = canvas.getContext('webgl2').getExtension('WEBGL_lose_context');
    loseGl.loseContext();
  });
  await page.waitForSelector('#card.lost', {timeout: 10000});
  const stood = [await framesRun(page), (await gameState(page)).timeLeft];
  await pause(1000);
  const said = await status(page);
  check(
      stood.join() === [await framesRun(page), (await gameState(page)).timeLeft].join() &&
          /graphics were lost/.test(said),
      `context lost: no frame runs, the clock stands, the card says "${said}"`);
  await page.evaluate(() => loseGl.restoreContext());
  await page.waitForFunction(() => /are back/.test(statusLine.textContent), {timeout: 10000});
  await Promise.all([page.waitForNavigation(), page.click('#restart')]);
  await toCard(page);

  await page.setViewport({width: 400, height: 800});
  await page.click('#fullscreen');
  const full = await page.evaluate(() => !!document.fullscreenElement && phase === 'ready');
  await page.keyboard.press('Enter');
  const corner = await page.$eval('#corner', (e) => !e.hidden);
  await page.setViewport({width: 800, height: 400});
  await page.waitForFunction(() => !document.getElementById('refit').hidden, {timeout: 5000});
  check(
      full && corner,
      'after Restart: full screen from the card, the corner switch in the game, a refit offered on rotation');
  noErrors(errors);
  await page.close();
}

// Keys by their place: an AZERTY keyboard's key under the left ring finger (code KeyW, printing
// z) paddles as the desktop's W does; its key printing w (code KeyZ) does not. Then forward
// moved to I in the Controls panel, kept over a reload: I paddles, W no longer does.
async function keys() {
  const {page, errors} = await open({width: 400, height: 300}, small + '&clock=0.05');
  // The key at `code` printing `key`, pressed and let go as CDP sends a real keyboard's.
  const cdp = await page.target().createCDPSession();
  const typed = (code, key, vk) => ['keyDown', 'keyUp'].map((type) => () => {
    const text = type === 'keyDown' ? key : undefined;
    const codes = {windowsVirtualKeyCode: vk, nativeVirtualKeyCode: vk};
    return cdp.send('Input.dispatchKeyEvent', {type, code, key, text, ...codes});
  });
  const paddled = async (down, up) => {
    const from = await canoe(page);
    await down();
    await runFrames(page, 6);
    await up();
    await runFrames(page, 2);
    return moved(from, await canoe(page));
  };
  await page.keyboard.press('Enter');
  await runFrames(page, 2);
  const byPlace = await paddled(...typed('KeyW', 'z', 90));
  const byLabel = await paddled(...typed('KeyZ', 'w', 87));
  check(
      byPlace > 0.3 && byLabel < 1e-4,
      `AZERTY: the key at KeyW printing z paddled ${byPlace.toFixed(3)}, the one printing w ${
          byLabel.toFixed(3)}`);

  await page.setViewport({width: 800, height: 600});
  await page.reload();
  await toCard(page);
  await page.click('#controls-button');
  await page.click('#controls button[data-action="forward"]');
  await page.keyboard.press('KeyI');
  await page.reload();
  await toCard(page);
  const listed = await page.$eval('#controls button[data-action="forward"]', (e) => e.textContent);
  await page.keyboard.press('Enter');
  await runFrames(page, 2);
  const hold = (code) => [() => page.keyboard.down(code), () => page.keyboard.up(code)];
  const byI = await paddled(...hold('KeyI')), byW = await paddled(...hold('KeyW'));
  check(
      listed === 'paddle forward: I' && byI > 0.3 && byW < 1e-4,
      `after a reload the Controls panel says "${listed}"; I paddled ${byI.toFixed(3)}, W ${
          byW.toFixed(3)}`);
  noErrors(errors);
  await page.close();
}

// A pad on both cards: a fresh press starts; the button held as the time runs out does not leave
// the ending, which the page tells (Play again offered, frames drawn on, the pointer let go) and
// keeps after Escape with the last picture; a new press plays again.
async function ending() {
  const {page, errors, lines} =
      await open({width: 400, height: 300}, small + '&clock=5&hold', fakePad);
  await plugPad(page);
  const press = (down) => setPad(page, [0, 0, 0, 0], down ? [0] : []);
  await press(true);
  await page.waitForFunction(() => phase === 'playing', {timeout: 5000});
  await runFrames(page, 20);
  await pause(500);
  // Emscripten's own pad lines, which the page keeps off the console.
  const announced = lines.filter((l) => /glfw joystick/.test(l));
  const shown = await page.evaluate(
      () =>
          [phase, document.getElementById('again').getBoundingClientRect().width > 0,
           !document.pointerLockElement]);
  const drawn = await framesRun(page);
  await runFrames(page, 3);
  const drewOn = await framesRun(page) - drawn;
  check(
      shown.join() === 'ended,true,true' && ended.test(await status(page)) && drewOn === 3 &&
          announced.length === 0,
      `a pad button starts the game; held through the end it does not leave the ending (${
          shown[0]}): "${await status(page)}", Play again offered ${shown[1]}, the pointer ` +
          `let go ${shown[2]}, ${drewOn} of 3 frames drawn on; no pad line on the console (${
              announced})`);
  await page.keyboard.press('Escape');
  await runFrames(page, 1);
  const l = await layout(page);
  const hud = await hudLines(page, l);
  check(
      ended.test(await status(page)) && l.bw === 400 && fits(l) && hud[1].ok,
      `after Escape the last picture and the true ending stay (${describe(l)}, ducks line ${
          hud[1].white} white) and the page says "${await status(page)}"`);
  await press(false);
  await pause(200);
  await Promise.all([page.waitForNavigation(), press(true)]);
  await toCard(page);
  check(
      await page.evaluate(() => phase === 'ready'),
      'a fresh pad press on the ending card plays again');
  noErrors(errors);
  await page.close();
}

// Replays: a game of 21 frames (the first picture, then the scripted clock runs out the 90 s),
// its file as the download button gives it, played again on the end card and from a file on the
// start card; with the desktop build, the page's game played there too.
async function replay() {
  const {page, errors} = await open({width: 400, height: 300}, small + '&clock=5&hold');
  await page.keyboard.press('Enter');
  await page.keyboard.down('KeyW');
  await runFrames(page, 10);
  await page.keyboard.up('KeyW');
  await runFrames(page, 10);
  const played = await canoe(page);
  await page.waitForSelector('#replay-download:not([hidden])', {timeout: 10000});
  await page.evaluate(() => {
    const make = URL.createObjectURL;
    URL.createObjectURL = (blob) => make(window.downloaded = blob);
  });
  await page.click('#replay-download');
  const bytes = Buffer.from(await page.evaluate(
      async () => Array.from(new Uint8Array(await window.downloaded.arrayBuffer()))));
  check(
      bytes.toString('latin1', 0, 8) === 'VLRNRPLY' && bytes.readUInt32LE(44) === 21,
      `"Download replay" gives the game's 21 frames in a replay (${bytes.length} bytes)`);
  const theEnd = `the end, ${bytes[56]} of 15 ducks`;
  await page.click('#replay-watch');
  const line = await page.$eval('#replay-line', (e) => e.textContent);
  await runFrames(page, 21);
  const watched = await canoe(page);
  check(
      /Replay x1: Space pauses/.test(line) &&
          (await status(page)).startsWith(`Replay: ${theEnd}.`) && moved(played, watched) === 0,
      `"Watch again" names its keys ("${line}") and plays it to the end ("${
          await status(page)}"), the canoe where it was (${played} and ${watched})`);
  noErrors(errors);
  await page.close();

  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'velloran-replay-'));
  const file = path.join(folder, 'game.vrp');
  const damaged = Buffer.from(bytes);
  damaged.writeUInt32LE(22, 44);  // one frame more than the file holds
  for (const [what, content, expect] of [
           ['a damaged file', damaged, /^Not played: its length does not match its counts\.$/],
           ['a picture', Buffer.from('\x89PNG\r\n\x1a\n'), /^Not played: too short/],
           ['the downloaded file', bytes, /^$/]]) {
    fs.writeFileSync(file, content);
    const card = await open({width: 400, height: 300}, small + '&clock=5&hold');
    const [chooser] =
        await Promise.all([card.page.waitForFileChooser(), card.page.click('#replay-open')]);
    await chooser.accept([file]);
    await card.page.waitForFunction(
        () => document.getElementById('replay-note').textContent ||
            document.getElementById('card').className === 'watching',
        {timeout: 10000, polling: 50});
    const note = await card.page.$eval('#replay-note', (e) => e.textContent);
    if (!note) await runFrames(card.page, 21);
    const said = note || await status(card.page);
    check(
        expect.test(note) && (note || said.includes(theEnd)) && card.errors.length === 0,
        `${what} picked on the start card: "${said}"`);
    await card.page.close();
  }
  // The desktop build plays a page's game to the same state checks: 61 frames of paddling,
  // turning and a jump, ended with Escape; the real clock, and keys between frames as a
  // player's come.
  if (desktop) {
    const game = await open({width: 400, height: 300}, small + '&hold');
    await game.page.keyboard.press('Enter');
    for (const [key, count] of [['KeyW', 25], ['KeyA', 15], ['Space', 1], ['KeyD', 20]]) {
      await game.page.keyboard.down(key);
      await runFrames(game.page, count);
      await game.page.keyboard.up(key);
    }
    await game.page.keyboard.press('Escape');
    await game.page.keyboard.press('Escape');
    await runFrames(game.page, 1);
    fs.writeFileSync(file, Buffer.from(await game.page.evaluate(() => {
      const at = Module._velloran_replay_bytes();
      return Array.from(HEAPU8.slice(at, at + Module._velloran_replay_length()));
    })));
    if (process.env.KEEP_REPLAY) fs.copyFileSync(file, process.env.KEEP_REPLAY);
    await game.page.close();
    const said = await new Promise((done) => {
      const run = spawn(desktop, ['--replay', file], {
        env: {...process.env, ALSOFT_DRIVERS: 'null', XDG_DATA_HOME: folder},
        stdio: ['ignore', 'ignore', 'pipe'],
      });
      let text = '';
      const stop = setTimeout(() => run.kill(), 90000);
      run.stderr.on('data', (chunk) => {
        text += chunk;
        // The whole line, not the first chunk of it: the program may write it in pieces.
        if (/^Replay: (the end|the game diverged).*\n/m.test(text)) run.kill();
      });
      run.on('exit', () => {
        clearTimeout(stop);
        done(text.trim());
      });
    });
    check(
        /^Replay: the end, \d+ of 15 ducks$/m.test(said),
        `the desktop plays the page's game to its end: "${said}"`);
  }
  fs.rmSync(folder, {recursive: true, force: true});
}

await session(site, async (served) => {
  ({browser, base, sent, check} = served);
  await{
    download,
    sizes: () => sizes([
      {width: 1280, height: 720}, {width: 1366, height: 657}, {width: 800, height: 600},
      {width: 1920, height: 1080}
    ]),
    hidpi: () => sizes([
      {width: 1280, height: 720, deviceScaleFactor: 2}, {width: 3840, height: 2160},
      {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true}
    ]),
    play: async () => {
      await realClock();
      await keys();
      await ending();
    },
    replay,
  }[part]();
});
