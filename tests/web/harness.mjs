// harness.mjs: what the browser tests share: the site served as static files on a loopback
// port (a plain server that compresses nothing but answers a revalidation with 304 Not
// Modified, as common static servers do, counting the body bytes it sends), headless
// Chromium with SwiftShader's WebGL 2, and the ok/FAIL lines.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

const here = path.dirname(new URL(import.meta.url).pathname);

function requireBuild(site) {
  for (const [need, what] of [
           [path.join(site, 'velloran.js'), 'the browser build'],
           [path.join(here, 'node_modules', 'puppeteer-core'), 'puppeteer-core']]) {
    if (!fs.existsSync(need)) {
      console.log(`FAIL: ${what} is missing (scripts/web --build --browser makes it)`);
      process.exit(1);
    }
  }
}

async function serveSite(site) {
  const types = {
    '.html': 'text/html',
    '.js': 'text/javascript',
    '.wasm': 'application/wasm',
    '.png': 'image/png',
    '.webmanifest': 'application/manifest+json'
  };
  const sent = {bytes: 0};  // body bytes sent since the last reset
  const server = http.createServer((req, res) => {
    const file =
        path.join(site, new URL(req.url, 'http://x').pathname.replace(/\/$/, '/index.html'));
    fs.readFile(file, (err, data) => {
      const modified = err ? '' : fs.statSync(file).mtime.toUTCString();
      if (!err && req.headers['if-modified-since'] === modified) {
        res.writeHead(304, {'Last-Modified': modified});
        return res.end();
      }
      res.writeHead(err ? 404 : 200, {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        ...(err ? {} : {'Content-Length': data.length, 'Last-Modified': modified}),
      });
      if (!err) sent.bytes += data.length;
      res.end(err ? undefined : data);
    });
  });
  await new Promise((ok) => server.listen(0, '127.0.0.1', ok));
  return {server, sent, base: `http://127.0.0.1:${server.address().port}/?`};
}

async function launchBrowser() {
  const {default: puppeteer} = await import('puppeteer-core');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velloran-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    userDataDir: profile,
    headless: true,
    args: [
      '--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-first-run'
    ],
  });
  const close = async () => {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return {browser, close};
}

// A page of the site (with `viewport`, and `before` run ahead of the page's own script), its
// console lines gathered in `lines`, its console errors and uncaught exceptions in `errors`,
// loaded up to the start card unless `card` is false. With `hold` in the query the test runs
// the frames itself.
export async function openPage(browser, url, {viewport, before, card = true} = {}) {
  const page = await browser.newPage();
  const errors = [], lines = [];
  page.on('console', (m) => {
    lines.push(m.text());
    if (m.type() === 'error') errors.push(m.text());
  });
  page.on('pageerror', (e) => errors.push(e.message));
  if (viewport) await page.setViewport(viewport);
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(url);
  if (card) await toCard(page);
  return {page, errors, lines};
}

// Waits for the start card, the page's first picture drawn under it.
export async function toCard(page) {
  if (page.url().includes('hold')) {
    await page.waitForFunction(
        () => typeof Module !== 'undefined' && Module.calledRun, {timeout: 120000, polling: 50});
    await page.evaluate(() => Module._velloran_run_frames(1));
  }
  await page.waitForSelector('#card.ready', {timeout: 120000});
}

// Runs `count` frames on a held page (`hold` in its query), or waits for the page's own.
export async function runFrames(page, count) {
  const target = await page.evaluate((n, hold) => {
    if (hold) Module._velloran_run_frames(n);
    return Module._velloran_frames_run() + n;
  }, count, page.url().includes('hold'));
  await page.waitForFunction(
      (t) => Module._velloran_frames_run() >= t, {timeout: 120000, polling: 50}, target);
}

// The game's state by name (timeLeft, canoeX, canoeZ, canoeHeading, yaw, pitch, width, ...).
export const gameState = (page) =>
    page.evaluate(() => JSON.parse(UTF8ToString(Module._velloran_state())));
export const pause = (ms) => new Promise((ok) => setTimeout(ok, ms));

// Run ahead of a page's script: one standard pad, unplugged until plugPad (the game's GLFW and
// the page's cards read navigator.getGamepads()).
export function fakePad() {
  const button = () => ({pressed: false, touched: false, value: 0});
  const pad = {id: 'Velloran test pad', index: 0, connected: false, mapping: 'standard'};
  window.testPad = Object.assign(pad, {timestamp: 0, axes: [0, 0, 0, 0]});
  pad.buttons = Array.from({length: 17}, button);
  Navigator.prototype.getGamepads = () => [pad.connected ? pad : null, null, null, null];
}
export const plugPad = (page) => page.evaluate(() => {
  testPad.connected = true;
  window.dispatchEvent(new Event('gamepadconnected'));
});
// The fake pad's sticks set to `axes`, the `buttons` listed held down and the others up.
export const setPad = (page, axes, buttons) => page.evaluate((a, b) => {
  testPad.axes = a;
  testPad.buttons.forEach((button, i) => {
    button.pressed = button.touched = b.includes(i);
    button.value = button.pressed ? 1 : 0;
  });
  testPad.timestamp++;
}, axes, buttons);

// Serves the site to a fresh browser for `body({check, browser, server, sent, base})`; then
// closes both and exits with 1 if a check failed.
export async function session(site, body) {
  requireBuild(site);
  const failures = [];
  const check = (ok, what) => {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
    if (!ok) failures.push(what);
  };
  const served = await serveSite(site);
  const {browser, close} = await launchBrowser();
  try {
    await body({check, browser, ...served});
  } finally {
    await close();
    served.server.close();
  }
  if (failures.length) {
    console.log(`${failures.length} check(s) failed`);
    process.exit(1);
  }
}

// A PNG screenshot (8-bit RGB or RGBA, not interlaced, as Chromium writes them) as
// { width, height, at(x, y) -> [r, g, b] }: what the player sees, page and canvas together.
export function decodePng(png) {
  let offset = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (offset < png.length) {
    const length = png.readUInt32BE(offset), type = png.toString('latin1', offset + 4, offset + 8);
    const body = png.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      channels = {2: 3, 6: 4}[body[9]];
      if (body[8] !== 8 || !channels || body[12] !== 0) throw new Error('unexpected PNG format');
    }
    if (type === 'IDAT') idat.push(body);
    offset += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat)), stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)],
          line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? pixels[y * stride + i - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
      const c = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predict = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      pixels[y * stride + i] = (line[i] + predict) & 0xff;
    }
  }
  const at = (x, y) => {
    const i = y * stride + x * channels;
    return [pixels[i], pixels[i + 1], pixels[i + 2]];
  };
  return {width, height, at};
}
