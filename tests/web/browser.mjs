// What the page's browser test stands on: a static server on 127.0.0.1 for the built page, which
// compresses with gzip as static hosts do, and Debian's Chromium and Firefox ESR, headless,
// driven by puppeteer-core (WebKit: webkit.mjs). Both start on a free port or in a fresh profile
// each time, so that runs never meet.
//
//   const site = await serve(pageDir, {'/reference.png': 'docs/screenshot.png'});
//   const browser = await launchChromium();
//   ... page.goto(site.url) ...
//   await browser.close(); await site.close();
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// Scripts put at the top of every page served, for browsers that cannot run a script of their own
// before the page's (webkit.mjs): one list of scripts for each page that wants them.
export const preloads = [];

// Serves the files of `root`, and the extra files named in `extra` by their address.
export async function serve(root, extra = {}) {
  const server = http.createServer((req, res) => {
    const address = new URL(req.url, 'http://localhost').pathname;
    const file = extra[address] ?? path.join(root, address === '/' ? 'index.html' : address);
    if (!path.resolve(file).startsWith(path.resolve(root)) && !(address in extra)) {
      res.writeHead(403).end();
      return;
    }
    fs.readFile(file, (err, data) => {
      if (err) {
        res.writeHead(404).end();
        return;
      }
      const headers = {'content-type': types[path.extname(file)] ?? 'application/octet-stream'};
      if (path.extname(file) === '.html' && preloads.length > 0) {
        const scripts = preloads.flat().map((s) => `<script>${s}</script>`).join('');
        data = Buffer.from(data.toString().replace('<head>', `<head>${scripts}`));
      }
      if (/\bgzip\b/.test(req.headers['accept-encoding'] ?? '')) {
        headers['content-encoding'] = 'gzip';
        data = zlib.gzipSync(data);
      }
      res.writeHead(200, headers);
      res.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    // The browser's kept-alive connections go too: a closed server serves nothing more.
    close: () => new Promise((resolve) => {
      server.close(resolve);
      server.closeAllConnections();
    }),
  };
}

export const chromiumFlags = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--disable-dev-shm-usage', '--mute-audio',
];

// A browser that fails to come up is tried again.
async function launch(options, tries = 3) {
  for (let attempt = 1; ; ++attempt) {
    try {
      // puppeteer gives every browser a fresh profile of its own and removes it on close.
      return await puppeteer.launch({timeout: 60000, protocolTimeout: 60000, ...options});
    } catch (err) {
      if (attempt >= tries) throw err;
      console.error(`${options.browser} did not start (${err.message}); trying again`);
    }
  }
}

export function launchChromium() {
  return launch({browser: 'chrome', executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
                 args: chromiumFlags});
}

// The way from one whole point to another in moves of at most 50 pixels each way, short enough
// for a pointer that a lock holds in a page to make without leaving it. A browser drops a move
// to where the last one went (Firefox): no two in a row are the same.
export function* shortMoves([x, y], [toX, toY]) {
  const step = (to, at) => Math.max(-50, Math.min(50, to - at));
  let last = [0, 0];
  while (x !== toX || y !== toY) {
    let [dx, dy] = [step(toX, x), step(toY, y)];
    if (dx === last[0] && dy === last[1]) [dx, dy] = [dx - Math.sign(dx), dy - Math.sign(dy)];
    [x, y] = [x + dx, y + dy];
    last = [dx, dy];
    yield last;
  }
}

// Headless Firefox ESR over WebDriver BiDi. Under the pointer lock Firefox hears a mouse's move
// as the pointer's way from the middle of the page, where it holds it, as a real mouse's moves
// are: the tests' moves are sent that way.
export async function launchFirefox() {
  const browser = await launch({browser: 'firefox', executablePath: '/usr/bin/firefox-esr'});
  const newPage = browser.newPage.bind(browser);
  browser.newPage = async () => {
    const page = await newPage(), mouse = page.mouse, moveOf = mouse.move.bind(mouse);
    let at = [0, 0];
    mouse.move = async (x, y) => {
      [x, y] = [Math.round(x), Math.round(y)];
      const middle = await page.evaluate(
          () => document.pointerLockElement && [innerWidth >> 1, innerHeight >> 1]);
      if (!middle) await moveOf(x, y);
      for (const [dx, dy] of middle ? shortMoves(at, [x, y]) : []) {
        await moveOf(middle[0] + dx, middle[1] + dy);
      }
      at = [x, y];
    };
    mouse.click = async (x, y) => {
      await mouse.move(x, y);
      await mouse.down();
      await mouse.up();
    };
    return page;
  };
  return browser;
}

// Installed in a page before its own scripts (page.evaluateOnNewDocument): counts in window.seen
// the timeouts the page sets and the frames it paints, and notes when the first frame came. A
// frame is a task that paints on the game's canvas: its many saves of the canvas's state, one for
// the frame and one for each command's clip, are one frame.
export function watchTimeoutsAndFrames() {
  window.seen = {timeouts: 0, frames: 0, firstFrame: null};
  const setTimeoutOf = window.setTimeout;
  window.setTimeout = function(...args) {
    ++window.seen.timeouts;
    return setTimeoutOf.apply(this, args);
  };
  let painting = false;
  const saveOf = CanvasRenderingContext2D.prototype.save;
  CanvasRenderingContext2D.prototype.save = function() {
    if (this.canvas.id === 'canvas' && !painting) {
      painting = true;
      ++window.seen.frames;
      window.seen.firstFrame ??= performance.now();
      queueMicrotask(() => painting = false);
    }
    return saveOf.call(this);
  };
}
