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

export function requireBuild(site) {
  for (const [need, what] of [
           [path.join(site, 'velloran.js'), 'the browser build'],
           [path.join(here, 'node_modules', 'puppeteer-core'), 'puppeteer-core']]) {
    if (!fs.existsSync(need)) {
      console.log(`FAIL: ${what} is missing (scripts/web --build --browser makes it)`);
      process.exit(1);
    }
  }
}

export async function serveSite(site) {
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

export async function launchBrowser() {
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

export function checker() {
  const failures = [];
  const check = (ok, what) => {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
    if (!ok) failures.push(what);
  };
  return {check, failures};
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
