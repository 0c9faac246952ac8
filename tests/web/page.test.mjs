// The page in real headless Chromium: the opening scene against the desktop build's, a game
// started and played with the pointer locked, the about panel, an idle page that costs nothing,
// the end of the program and a new run, a hidden page whose game waits, taps on a touch screen
// and a phone, a sandboxed frame, and the canvas at whole factors of the device's pixels. Run with `node --test` from this folder after building the page; VOMBREL_PAGE names
// the folder with index.html, vombrel.js and vombrel.wasm.
import assert from 'node:assert/strict';
import path from 'node:path';
import {after, before, test} from 'node:test';
import {fileURLToPath} from 'node:url';

import {launchChromium, serve, watchTimeoutsAndFrames} from './browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '../..');
const pageDir = process.env.VOMBREL_PAGE ?? path.join(repo, 'build/web/platform/web');

const W = 304, H = 213;
const START = {x: 40, y: 190}, ABOUT = {x: 130, y: 190};
const DOUBLE_CLICK_MS = 600;  // longer than the desktop's double-click time
const SKY_ABOVE_FENCE = {top: 60, bottom: 104};  // where a risen figure shows
const EXIT = {x: 230, y: 190};

let site, browser;
before(async () => {
  site = await serve(pageDir, {'/reference.png': path.join(repo, 'docs/screenshot.png')});
  browser = await launchChromium();
});
after(async () => {
  await browser?.close();
  await site?.close();
});

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A fresh page with the game loaded and its first frame drawn, in a viewport of the given
// size, density and touch. It counts the timeouts it sets, the frames it paints and the sounds
// it starts, and keeps every reading of the canvas's fallback text. `at` turns a point of the
// game's window into the page's coordinates, at whatever factor the canvas is shown.
async function openGame({viewport, refuseLock = false} = {}) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  if (viewport) await page.setViewport(viewport);
  await page.evaluateOnNewDocument(watchTimeoutsAndFrames);
  await page.evaluateOnNewDocument((refuse) => {
    Object.assign(window.seen, {animationFrames: 0, sounds: 0, texts: [], locks: 0});
    const startOf = AudioBufferSourceNode.prototype.start;
    AudioBufferSourceNode.prototype.start = function(...args) {
      ++window.seen.sounds;
      return startOf.apply(this, args);
    };
    const rafOf = window.requestAnimationFrame;
    window.requestAnimationFrame = function(...args) {
      ++window.seen.animationFrames;
      return rafOf.apply(this, args);
    };
    // A phone's browser that says no to the lock, as Chromium does in a sandboxed frame.
    const lockOf = Element.prototype.requestPointerLock;
    Element.prototype.requestPointerLock = function(...args) {
      ++window.seen.locks;
      if (refuse) return Promise.reject(new DOMException('refused', 'SecurityError'));
      return lockOf.apply(this, args);
    };
    document.addEventListener('DOMContentLoaded', () => {
      const canvas = document.getElementById('canvas');
      new MutationObserver(() => window.seen.texts.push(canvas.textContent))
          .observe(canvas, {childList: true, characterData: true, subtree: true});
    });
  }, refuseLock);
  await page.goto(site.url, {waitUntil: 'load', timeout: 60000});
  await page.waitForFunction(() => window.seen.texts.length > 0, {timeout: 30000});
  const box = await (await page.$('#canvas')).boundingBox();
  const at = (p) => [box.x + p.x * box.width / W, box.y + p.y * box.height / H];
  return {page, errors, at};
}

const texts = (page) => page.evaluate(() => window.seen.texts.at(-1));
const showing = (page, text, timeout = 10000) =>
  page.waitForFunction((t) => window.seen.texts.at(-1).includes(t), {timeout}, text);
const everShown = (page, text) =>
  page.evaluate((t) => window.seen.texts.some((s) => s.includes(t)), text);
const counts = (page) =>
  page.evaluate(() => ({...window.seen, texts: undefined}));
const lockedTo = (page) => page.evaluate(() => document.pointerLockElement?.id ?? null);
const news = (page) => page.evaluate(() => document.getElementById('news').textContent);

// The scene in the game's own pixels: one device pixel of each whole-factor square.
async function canvasPixels(page) {
  return page.evaluate((w, h) => {
    const c = document.getElementById('canvas'), k = c.width / w;
    const all = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    const out = new Array(w * h * 4);
    for (let y = 0; y < h; ++y) {
      for (let x = 0; x < w; ++x) {
        const i = (y * k * c.width + x * k) * 4;
        for (let n = 0; n < 4; ++n) out[(y * w + x) * 4 + n] = all[i + n];
      }
    }
    return out;
  }, W, H);
}

async function referencePixels(page) {
  return page.evaluate(async () => {
    // The file's pixels as they are, with no colour management on the way.
    const file = await (await fetch('/reference.png')).blob();
    const img = await createImageBitmap(file, {colorSpaceConversion: 'none'});
    const c = document.createElement('canvas');
    c.width = img.width;
    c.height = img.height;
    const ctx = c.getContext('2d');
    ctx.drawImage(img, 0, 0);
    return Array.from(ctx.getImageData(0, 0, c.width, c.height).data);
  });
}

const inside = (r, x, y) => x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;

test('the opening scene shows the desktop pictures exactly and its texts alike', async () => {
  const {page, errors} = await openGame();
  const shown = await canvasPixels(page), desktop = await referencePixels(page);
  assert.equal(shown.length, W * H * 4);
  assert.equal(desktop.length, W * H * 4);
  // The texts: the counters' captions, the title on the fence and the three buttons.
  const textAreas = [
    {x: 0, y: 0, w: 90, h: 16}, {x: 230, y: 0, w: 74, h: 32}, {x: 0, y: 106, w: W, h: 50},
    {x: 0, y: 178, w: W, h: 24},
  ];
  let pictureDiffs = 0, textPixels = 0, textDiffs = 0;
  for (let y = 0; y < H; ++y) {
    for (let x = 0; x < W; ++x) {
      const i = (y * W + x) * 4;
      const d = Math.max(...[0, 1, 2].map((k) => Math.abs(shown[i + k] - desktop[i + k])));
      if (textAreas.some((r) => inside(r, x, y))) {
        ++textPixels;
        if (d > 96) ++textDiffs;
      } else if (d > 0) {
        ++pictureDiffs;
      }
    }
  }
  assert.equal(pictureDiffs, 0, 'pixels outside the texts differ from the desktop build');
  assert.ok(textDiffs < textPixels * 0.05,
            `${textDiffs} of ${textPixels} text pixels differ beyond anti-aliasing`);
  assert.deepEqual(errors, []);
  await page.close();
});

// The first columns and rows above the fence that differ from the scene before the game.
function figureIn(now, before) {
  let left = W, right = -1, top = H, bottom = -1;
  for (let y = SKY_ABOVE_FENCE.top; y < SKY_ABOVE_FENCE.bottom; ++y) {
    for (let x = 0; x < W; ++x) {
      const i = (y * W + x) * 4;
      if (now[i] !== before[i] || now[i + 1] !== before[i + 1] || now[i + 2] !== before[i + 2]) {
        left = Math.min(left, x), right = Math.max(right, x);
        top = Math.min(top, y), bottom = Math.max(bottom, y);
      }
    }
  }
  return right < 0 ? null : {left, right, top, bottom};
}

test('START locks the pointer and counts 100, a risen figure scores 10, STOP frees it', async () => {
  const {page, errors, at} = await openGame();
  const scene = await canvasPixels(page);
  await page.mouse.click(...at(START));
  await showing(page, 'STOP');
  assert.ok(await everShown(page, 'Pokusů: 100 Level: 1\nBody: 0\n'),
            'the fallback text does not read each caption before its value, row by row');
  assert.equal(await lockedTo(page), 'canvas');
  assert.ok((await counts(page)).sounds > 0, 'START made no sound');
  assert.equal(await news(page), 'Level: 1');

  // Wait for a figure to stand up above the fence, then shoot it; a figure that sinks before
  // the shot lands is followed by the next one.
  let scored = false;
  for (let tries = 0; tries < 5 && !scored; ++tries) {
    let figure = null;
    for (const until = Date.now() + 10000; Date.now() < until;) {
      figure = figureIn(await canvasPixels(page), scene);
      if (figure && figure.bottom - figure.top >= 20) break;
      await sleep(20);
    }
    assert.ok(figure, 'no figure came up above the fence');
    // While the pointer is locked the page moves the game's own pointer by the mouse's moves.
    await page.mouse.move(...at({x: (figure.left + figure.right) / 2, y: figure.bottom - 6}));
    await page.mouse.down();
    await page.mouse.up();
    await sleep(100);
    scored = (await texts(page)).includes('Body: 10');
    await page.mouse.move(...at(START));
  }
  assert.ok(scored, 'no hit scored 10');
  assert.equal(await lockedTo(page), 'canvas');

  // A shot into the sky leaves a mark where it lands.
  const SHOT = {x: 200, y: 40};
  await page.mouse.move(...at(SHOT));
  await page.mouse.down();
  await page.mouse.up();
  await sleep(100);
  const marked = await canvasPixels(page);
  const i = (SHOT.y * W + SHOT.x) * 4;
  assert.notDeepEqual(marked.slice(i, i + 3), scene.slice(i, i + 3), 'the shot left no mark');

  await sleep(DOUBLE_CLICK_MS);
  await page.mouse.click(...at(START));
  await showing(page, 'START');
  assert.equal(await lockedTo(page), null);
  assert.equal(await news(page), 'Game over');
  assert.equal(await page.title(), 'Vombrel');
  assert.deepEqual(errors, []);
  await page.close();
});

test('a quick double click on START starts one game, as on the desktop', async () => {
  const {page, errors, at} = await openGame();
  // Two single clicks in quick succession: the page itself must count the second as a double.
  await page.mouse.click(...at(START));
  await page.mouse.click(...at(START));
  await showing(page, 'STOP');
  await sleep(DOUBLE_CLICK_MS);
  assert.ok((await texts(page)).includes('STOP'), 'the second press stopped the game');
  assert.equal(await lockedTo(page), 'canvas');
  assert.deepEqual(errors, []);
  await page.close();
});

test('ABOUT opens the panel and OK closes it', async () => {
  const {page, errors, at} = await openGame();
  const closed = await texts(page);
  await page.mouse.click(...at(ABOUT));
  await showing(page, 'OK');
  const open = await texts(page);
  assert.ok(!open.includes('ABOUT'));
  assert.ok(!open.includes('Body:'), 'the fallback text reads what the panel covers');
  assert.ok(open.split('\n').some((line) => line.length > 40 && !closed.includes(line)),
            'the panel shows no text of its own');
  // A second press this soon on the same spot would be a double click, which OK ignores.
  await sleep(DOUBLE_CLICK_MS);
  await page.mouse.click(...at(ABOUT));
  await showing(page, 'ABOUT');
  assert.equal(await texts(page), closed);
  assert.deepEqual(errors, []);
  await page.close();
});

test('an idle page sets no timeout and paints nothing, before and after a game', async () => {
  const {page, errors, at} = await openGame();
  const idle = async (what) => {
    await sleep(300);
    const first = await counts(page);
    await sleep(1500);
    assert.deepEqual(await counts(page), first, `the page worked while idle ${what}`);
  };
  await idle('after loading');
  await page.mouse.click(...at(START));
  await showing(page, 'STOP');
  await sleep(DOUBLE_CLICK_MS);
  await page.mouse.click(...at(START));
  await showing(page, 'START');
  await idle('after a game');
  assert.deepEqual(errors, []);
  await page.close();
});
