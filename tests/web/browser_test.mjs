// The browser build in headless Chromium (SwiftShader's WebGL 2), against the desktop build's
// pictures of the same scripted play: same size, same scripted clock, same keys.
//
//   node browser_test.mjs <site folder> <desktop_views program> <out folder>
//
// Picture measure: the mean absolute difference of the R, G and B bytes over the whole picture
// (0-255 scale), and the share of pixels whose largest channel difference exceeds 48. A web
// picture must be close to the desktop's of the same step, and each key must change the
// picture far more than the two renderers differ.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {fakePad, gameState, openPage, plugPad, runFrames, session, setPad} from './harness.mjs';

const [site, desktopViews, out] = process.argv.slice(2);
const width = 800, height = 600, frameSeconds = 0.02;
// The scripted play, step by step: a key (DOM code, GLFW code), how it is pressed, and the
// frames run afterwards; each step ends with a picture.
const step = (name, code, glfw, mode, frames) => ({name, code, glfw, mode, frames});
const steps = [
  step('start', '', 0, 'none', 5), step('w', 'KeyW', 87, 'hold', 15),
  step('a', 'KeyA', 65, 'hold', 15), step('space', 'Space', 32, 'tap', 8),
  step('f6', 'F6', 295, 'tap', 2)
];
const gameOver = step('gameover', '', 0, 'none', 20);
const gameOverSeconds = 5;  // 20 frames of 5 s: past the 90 s countdown
const limits = {
  meanToDesktop: 6,
  shareToDesktop: 0.04,
  keyOverRenderers: 3
};

function compare(a, b, rows = [0, height]) {
  let sum = 0, gross = 0, n = 0;
  for (let y = rows[0]; y < rows[1]; ++y) {
    for (let i = y * width * 4; i < (y + 1) * width * 4; i += 4) {
      const d = [0, 1, 2].map((c) => Math.abs(a[i + c] - b[i + c]));
      sum += d[0] + d[1] + d[2];
      if (Math.max(...d) > 48) ++gross;
      ++n;
    }
  }
  return {mean: sum / (3 * n), share: gross / n};
}
const fmt = (m) => `mean ${m.mean.toFixed(2)}, share ${(100 * m.share).toFixed(2)}%`;

function desktopPictures(seconds, list) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'velloran-desktop-'));
  execFileSync(
      desktopViews,
      [
        dir, width, height, seconds, ...list.map((s) => `${s.name}:${s.glfw}:${s.mode}:${s.frames}`)
      ].map(String),
      {stdio: 'inherit'});
  const pictures = Object.fromEntries(
      list.map((s) => [s.name, fs.readFileSync(path.join(dir, `${s.name}.rgba`))]));
  fs.rmSync(dir, {recursive: true, force: true});
  return pictures;
}

let browser, base, check;
const sizeQuery = `width=${width}&height=${height}`;
const open = (query, size = sizeQuery, before = null) =>
    openPage(browser, base + size + query, {before});

async function heldPicture(page, name) {
  const b64 = await page.evaluate((n) => {
    const at = Module._velloran_held_picture();
    const bytes = Module.HEAPU8.subarray(at, at + n);
    let s = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
      s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(s);
  }, width * height * 4);
  const picture = Buffer.from(b64, 'base64');
  fs.writeFileSync(path.join(out, `web-${name}.rgba`), picture);
  return picture;
}

async function play(page, step, framesRunAlready = 0) {
  if (step.mode === 'hold') await page.keyboard.down(step.code);
  if (step.mode === 'tap') await page.keyboard.press(step.code);
  await runFrames(page, step.frames - framesRunAlready);
  if (step.mode === 'hold') await page.keyboard.up(step.code);
  return heldPicture(page, step.name);
}

// The canoe's place and heading, whether the view is the seat's, and the jump's height so far.
const canoe = async (page) => {
  const s = await gameState(page);
  return {x: s.canoeX, z: s.canoeZ, yaw: s.canoeHeading, seat: s.seatView, rise: s.riseHeight};
};

// Each action from the keys, then from the pad, from where the last left off: the canoe must
// move the same distance and turn the same angle. Opposite actions follow one another, so the
// canoe stays in open water. A small canvas, as SwiftShader draws every frame.
async function padAgainstKeys() {
  const frames = 8;
  const {page, errors} = await open(`&clock=${frameSeconds}&hold`, 'width=320&height=240', fakePad);
  await page.keyboard.press('Enter');
  await runFrames(page, 1);
  await plugPad(page);
  const padTo = (axes, buttons) => () => setPad(page, axes, buttons);
  const actions = [
    {name: 'paddle', keys: ['KeyW'], axes: [0, -1, 0, 0], buttons: []},
    {name: 'back', keys: ['KeyS'], axes: [0, 0.8, 0, 0], buttons: []},
    {name: 'turn left', keys: ['KeyA'], axes: [-1, 0, 0, 0], buttons: []},
    // turning right by the d-pad too, paddling fast by RB and the d-pad up, back fast by LB
    {name: 'turn right', keys: ['KeyD'], axes: [0.9, 0.2, 0, 0], buttons: [15]},
    {name: 'fast paddle', keys: ['ShiftLeft', 'KeyW'], axes: [0, 0, 0, 0], buttons: [5, 12]},
    {name: 'fast back', keys: ['ShiftLeft', 'KeyS'], axes: [0, 1, 0, 0], buttons: [4]},
  ];
  const motion = async (press, release) => {
    const before = await canoe(page);
    await press();
    await runFrames(page, frames);
    const after = await canoe(page);
    await release();
    await runFrames(page, 1);  // the release reaches the game before it moves again
    return {
      distance: Math.hypot(after.x - before.x, after.z - before.z),
      turn: ((after.yaw - before.yaw + 540) % 360) - 180
    };
  };
  for (const action of actions) {
    const keys = await motion(
        async () => {
          for (const k of action.keys) await page.keyboard.down(k);
        },
        async () => {
          for (const k of action.keys) await page.keyboard.up(k);
        });
    const pad = await motion(padTo(action.axes, action.buttons), padTo([0, 0, 0, 0], []));
    check(
        keys.distance + Math.abs(keys.turn) > 0.1 &&
            Math.abs(pad.distance - keys.distance) < 1e-3 && Math.abs(pad.turn - keys.turn) < 1e-2,
        `pad ${action.name}: moved ${pad.distance.toFixed(3)} and turned ${
            pad.turn.toFixed(
                2)} deg; the keys ${keys.distance.toFixed(3)} and ${keys.turn.toFixed(2)} deg`);
  }
  // A jump: the south button as Space, the same height after the same frames; the first jump
  // lands before the second starts.
  const jump = async (press, release) => {
    await press();
    await runFrames(page, 1);
    await release();
    await runFrames(page, 4);
    return (await canoe(page)).rise;
  };
  const keyJump = await jump(() => page.keyboard.down('Space'), () => page.keyboard.up('Space'));
  await runFrames(page, 40);  // up 2 units at 5 a second, down at 6
  const padJump = await jump(padTo([0, 0, 0, 0], [0]), padTo([0, 0, 0, 0], []));
  check(
      keyJump > 0.3 && Math.abs(padJump - keyJump) < 1e-3,
      `pad jump: ${padJump.toFixed(3)} high after 5 frames; the keys' ${keyJump.toFixed(3)}`);
  // The view: the north button as F6, once per press however long it is held.
  const seat = (await canoe(page)).seat;
  await padTo([0, 0, 0, 0], [3])();
  await runFrames(page, 3);
  const padView = (await canoe(page)).seat;
  await padTo([0, 0, 0, 0], [])();
  await page.keyboard.press('F6');
  await runFrames(page, 2);
  check(
      seat === true && padView === false && (await canoe(page)).seat === true,
      'the pad\'s north button switches the view as F6 does');
  check(errors.length === 0, `no console errors with a pad (${errors.join(' | ')})`);
  await page.close();
}

await session(site, async (served) => {
  ({browser, base, check} = served);
  fs.mkdirSync(out, {recursive: true});
  const desktop = desktopPictures(frameSeconds, steps);

  // A player's first visit (a fresh profile, nothing cached, the window's size, the real
  // clock): the time from navigation to the first frame drawn, under the start card.
  const coldStart = Date.now();
  const cold = await open('', '');
  console.log(
      `first frame ${Date.now() - coldStart} ms after navigation (cold, ${width} x ${height})`);
  check(cold.errors.length === 0, `no console errors (${cold.errors.join(' | ')})`);
  await cold.page.close();

  // The start view and the four keys, in one scripted play.
  const first = await open(`&clock=${frameSeconds}&hold`);
  await first.page.keyboard.press('Enter');  // starts the game (and is not a game key)
  check(
      await first.page.evaluate(() => Module.ctx instanceof WebGL2RenderingContext),
      'the canvas has a WebGL 2 context');
  let previous = null;
  for (const step of steps) {
    const web = await play(first.page, step, step === steps[0] ? 1 : 0);
    const toDesktop = compare(web, desktop[step.name]);
    check(
        toDesktop.mean <= limits.meanToDesktop && toDesktop.share <= limits.shareToDesktop,
        `${step.name}: web vs desktop ${fmt(toDesktop)}`);
    if (previous) {
      const change = compare(web, previous);
      check(
          change.mean >= limits.keyOverRenderers * Math.max(toDesktop.mean, 1),
          `${step.name}: the key changed the picture (${fmt(change)})`);
    }
    previous = web;
  }
  // Five wheel steps up in the free camera zoom in by five degrees, as on the desktop (no
  // desktop picture: its scripted play has keys only).
  await first.page.mouse.move(width / 2, height / 2);
  const before = await play(first.page, {name: 'pointer', mode: 'none', frames: 1});
  for (let i = 0; i < 5; ++i) await first.page.mouse.wheel({deltaY: -100});
  const zoomed = await play(first.page, {name: 'wheel', mode: 'none', frames: 1});
  // A field of view narrowed from 45 to 40 degrees magnifies the picture about its centre by
  // tan(22.5)/tan(20): the earlier picture so magnified must match the zoomed one far better
  // than the earlier one as it was.
  const k = Math.tan((22.5 * Math.PI) / 180) / Math.tan((20 * Math.PI) / 180);
  const magnified = Buffer.alloc(zoomed.length);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const sx = Math.round(width / 2 + (x + 0.5 - width / 2) / k - 0.5);
      const sy = Math.round(height / 2 + (y + 0.5 - height / 2) / k - 0.5);
      before.copy(magnified, (y * width + x) * 4, (sy * width + sx) * 4, (sy * width + sx) * 4 + 4);
    }
  }
  const asWas = compare(zoomed, before), asZoom = compare(zoomed, magnified);
  check(
      asZoom.mean * 2 < asWas.mean,
      `wheel up zooms in: ${fmt(asZoom)} to the magnified picture, ${fmt(asWas)} to it as it was`);
  check(first.errors.length === 0, `no console errors (${first.errors.join(' | ')})`);
  await first.page.close();

  // A fast scripted clock to the end of the countdown (the page's ending: page_test.mjs play).
  const second = await open(`&clock=${gameOverSeconds}&hold`);
  await second.page.keyboard.press('Enter');
  const web = await play(second.page, gameOver, 1);
  check(
      await second.page.evaluate(() => UTF8ToString(Module._velloran_hud_top())) === 'GAME OVER',
      'the HUD says GAME OVER');
  const desktopEnd = desktopPictures(gameOverSeconds, [gameOver]).gameover;
  const hudBand = [height - 60, height];  // rows bottom-up: the top line's band
  check(
      compare(web, desktopEnd, hudBand).mean <= limits.meanToDesktop,
      `game over: HUD band web vs desktop ${fmt(compare(web, desktopEnd, hudBand))}`);
  check(second.errors.length === 0, `no console errors (${second.errors.join(' | ')})`);

  // A faked standard pad against the same keys, measured on the canoe itself.
  await padAgainstKeys();
});
