// What the page's browser test stands on: a static server on 127.0.0.1 for the built page, which
// compresses with gzip as static hosts do, and Debian's Chromium, headless, driven by
// puppeteer-core. Both start on a free port or in a fresh profile each time, so that runs never
// meet; a browser that fails to come up is tried again.
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

export async function launchChromium(tries = 3) {
  for (let attempt = 1; ; ++attempt) {
    try {
      // puppeteer gives every browser a fresh profile of its own and removes it on close.
      return await puppeteer.launch({
        executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
        args: chromiumFlags,
        timeout: 60000,
        protocolTimeout: 60000,
      });
    } catch (err) {
      if (attempt >= tries) throw err;
      console.error(`chromium did not start (${err.message}); trying again`);
    }
  }
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
