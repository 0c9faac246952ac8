// The page in real browsers: the opening scene against the desktop build's, the weight of a
// first visit and the page's copies of the pictures, sounds and fonts, every text's width and
// place at factors 1 to 4, axe-core's checks at the opening, in a game, in ABOUT and at the end,
// a game started and played with the pointer locked, and the page offline, in headless Chromium,
// headless Firefox and WebKitGTK's MiniBrowser (on the X display; webkit.mjs); and in Chromium
// alone the about panel, an idle page that costs nothing, the end of the program and a new run,
// a hidden page whose game waits, taps on a touch screen and a phone, a sandboxed frame, the
// canvas at whole factors of the device's pixels, and the page installable. Run with
// `node --test` from this folder after building the page; VOMBREL_PAGE names the page's folder.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before, test} from 'node:test';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';

import axe from 'axe-core';

import {launchChromium, launchFirefox, serve, watchTimeoutsAndFrames} from './browser.mjs';
import {launchWebKit} from './webkit.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '../..');
const pageDir = process.env.VOMBREL_PAGE ?? path.join(repo, 'build/web-page/page');

const W = 304, H = 213;
const START = {x: 40, y: 190}, ABOUT = {x: 130, y: 190};
const DOUBLE_CLICK_MS = 600;  // longer than the desktop's double-click time
const SKY_ABOVE_FENCE = {top: 60, bottom: 104};  // where a risen figure shows
const EXIT = {x: 230, y: 190};

// The engines players come in. The page's main tests run in each, Chromium first, whose
// texts are the others' measure; the rest run in Chromium alone.
const launchers = {chromium: launchChromium, firefox: launchFirefox, webkit: launchWebKit};
const engines = Object.keys(launchers);
const browsers = {};
const browserOf = async (engine) => browsers[engine] ??= await launchers[engine]();
const testInEachEngine = (name, body) =>
  engines.forEach((engine) => test(`${engine}: ${name}`, (t) => body(engine, t)));

let site, browser;
before(async () => {
  site = await serve(pageDir, {'/reference.png': path.join(repo, 'docs/screenshot.png')});
  browser = await browserOf('chromium');
});
after(async () => {
  for (const b of Object.values(browsers)) await b.close();
  await site?.close();
});

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Installed in a page before its own scripts: once a test has set window.seen.inks to a list,
// each text drawn on the game's canvas adds where its ink lies on the canvas, drawn alone the same
// way on a canvas of its own, and the frame it came in.
function watchTextInk() {
  const fillTextOf = CanvasRenderingContext2D.prototype.fillText;
  let alone = null;
  CanvasRenderingContext2D.prototype.fillText = function(text, ...rest) {
    fillTextOf.call(this, text, ...rest);
    if (this.canvas.id !== 'canvas' || !window.seen.inks) return;
    alone ??= document.createElement('canvas').getContext('2d', {willReadFrequently: true});
    const {width, height} = this.canvas;
    Object.assign(alone.canvas, {width, height});
    alone.setTransform(this.getTransform());
    alone.font = this.font;
    fillTextOf.call(alone, text, ...rest);
    const a = alone.getImageData(0, 0, width, height).data;
    const ink = {text, frame: window.seen.frames, left: width, right: 0, top: height, bottom: 0};
    for (let i = 3; i < a.length; i += 4) {
      if (a[i] === 0) continue;
      const x = (i >> 2) % width, y = Math.floor((i >> 2) / width);
      Object.assign(ink, {left: Math.min(ink.left, x), right: Math.max(ink.right, x + 1),
                          top: Math.min(ink.top, y), bottom: Math.max(ink.bottom, y + 1)});
    }
    window.seen.inks.push(ink);
  };
}

// A fresh page with the game loaded and its first frame drawn, in a viewport of the given
// size, density and touch. It counts the timeouts it sets, the frames it paints and the sounds
// it starts, and keeps every reading of the canvas's fallback text. `at` turns a point of the
// game's window into the page's coordinates, at whatever factor the canvas is shown.
async function openGame({engine = 'chromium', viewport, refuseLock = false, url = site.url,
                         undecodable = false} = {}) {
  const page = await (await browserOf(engine)).newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  if (viewport) await page.setViewport(viewport);
  await page.evaluateOnNewDocument(watchTimeoutsAndFrames);
  await page.evaluateOnNewDocument((refuse, undecodable) => {
    Object.assign(window.seen, {animationFrames: 0, sounds: 0, texts: [], locks: 0});
    // A browser that cannot decode the sounds, as WebKitGTK without its FLAC decoder.
    if (undecodable) {
      AudioContext.prototype.decodeAudioData = () =>
        Promise.reject(new DOMException('Unable to decode audio data', 'EncodingError'));
    }
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
  }, refuseLock, undecodable);
  await page.evaluateOnNewDocument(watchTextInk);
  await page.goto(url, {waitUntil: 'load', timeout: 60000});
  await page.waitForFunction(() => window.seen.texts.length > 0, {timeout: 30000});
  // The sky as the page opened, to spot the figures rising in it.
  await page.evaluate((w, band) => {
    const c = document.getElementById('canvas'), k = c.width / w;
    window.seen.sky = c.getContext('2d')
                          .getImageData(0, band.top * k, c.width, (band.bottom - band.top) * k).data;
  }, W, SKY_ABOVE_FENCE);
  const box = await (await page.$('#canvas')).boundingBox();
  const at = (p) => [box.x + p.x * box.width / W, box.y + p.y * box.height / H];
  return {page, errors, at};
}

const texts = (page) => page.evaluate(() => window.seen.texts.at(-1));
const showing = (page, text, timeout = 10000) =>
  page.waitForFunction((t) => window.seen.texts.at(-1).includes(t), {timeout}, text);
const everShown = (page, text) =>
  page.evaluate((t) => window.seen.texts.some((s) => s.includes(t)), text);
// What the page has done so far, without the texts and pictures it kept.
const counts = (page) =>
  page.evaluate(() => ({...window.seen, texts: undefined, sky: undefined, inks: undefined}));
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

// What axe-core finds wrong with the page as it stands, by rule: the ids of the rules broken.
async function accessibilityFaults(page) {
  if (!(await page.evaluate(() => 'axe' in window))) await page.addScriptTag({content: axe.source});
  return page.evaluate(async () => (await window.axe.run(document)).violations.map((v) => v.id));
}

const inside = (r, x, y) => x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;

testInEachEngine('the opening scene shows the desktop pictures exactly and its texts alike',
                 async (engine) => {
  const {page, errors} = await openGame({engine});
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
  assert.deepEqual(await accessibilityFaults(page), [], 'on the opening page');
  assert.equal(pictureDiffs, 0, 'pixels outside the texts differ from the desktop build');
  assert.ok(textDiffs < textPixels * 0.05,
            `${textDiffs} of ${textPixels} text pixels differ beyond anti-aliasing`);
  assert.deepEqual(errors, []);
  await page.close();
});

testInEachEngine(
    'a first visit downloads at most 180 KB, the desktop\'s pictures, sounds and fonts',
    async (engine) => {
  // Everything in the page's folder is fetched on a first visit: the service worker keeps it all.
  let gzip = 0;
  for (const file of fs.readdirSync(pageDir)) {
    gzip += zlib.gzipSync(fs.readFileSync(path.join(pageDir, file)), {level: 9}).length;
  }
  assert.ok(gzip <= 180000, `the page weighs ${gzip} bytes gzip -9`);

  // The page's own copies (assets/page), decoded by the browser, against the desktop's files:
  // every pixel, every sample, and the same text on the canvas at the factors the page shows.
  const pairs = (names, desktop, copy) => names.map((n) => [desktop(n), copy(n)]);
  const pictures = pairs(['landscape', 'fence', 'target_white', 'figure1', 'figure1_hit', 'figure2',
                          'figure2_hit', 'figure3', 'figure3_hit'],
                         (n) => `pictures/${n}.bmp`, (n) => `page/${n}.webp`);
  // The desktop plays a WAV's 8-bit sample u at (u - 128) / 128; the browser scales FLAC's 8-bit
  // samples through 16 bits, to within 1/256 of a step of that.
  const sounds = pairs([1, 2, 3, 4, 5, 6, 7, 9], (n) => {
    const wav = fs.readFileSync(path.join(repo, `assets/sounds/${n}.wav`));
    return Array.from(wav.subarray(44, 44 + wav.readUInt32LE(40)), (u) => u - 128);
  }, (n) => `page/${n}.flac`);
  // WebKit hints the desktop's fonts, and not the page's, which have no hinting to download:
  // there the two differ by design, and the page's texts are held to Chromium's instead.
  const fonts = engine === 'webkit' ? [] : pairs(['Regular', 'Bold', 'BoldItalic'],
      (n) => `fonts/VombrelSans-${n}.ttf`, (n) => `page/VombrelSans-${n}.woff2`);
  const files = Object.fromEntries([pictures, fonts, sounds.map(([, copy]) => copy)].flat(2).map(
      (f) => [`/assets/${f}`, path.join(repo, 'assets', f)]));
  const own = await serve(pageDir, files);
  const page = await (await browserOf(engine)).newPage();
  await page.goto(own.url + 'vombrel-32.png');
  const text = fs.readFileSync(path.join(repo, 'tools/make_assets.py'), 'utf8');
  // The letters the fonts were cut to, as the asset generator lists them.
  const cut = /^FONT_TEXT = \("".join\(map\(chr, range\(0x20, 0x7F\)\)\)\s+\+ "(.*)"\s+\+ "(.*)"\)/m;
  const letters = cut.exec(text).slice(1).join('').replace(/\\u00a0/, '\u00a0');
  const differing = await page.evaluate(async (pictures, sounds, fonts, letters) => {
    const bytes = async (f) => (await fetch(`/assets/${f}`)).arrayBuffer();
    const count = (a, b) => a.length !== b.length ? 1e9 : a.filter((v, i) => v !== b[i]).length;
    const pixels = async (f) => {
      const as = {colorSpaceConversion: 'none', premultiplyAlpha: 'none'};
      const image = await createImageBitmap(new Blob([await bytes(f)]), as);
      const c = new OffscreenCanvas(image.width, image.height).getContext('2d');
      c.drawImage(image, 0, 0);
      return c.getImageData(0, 0, image.width, image.height).data;
    };
    const audio = new OfflineAudioContext(1, 1, 11025);  // the sounds' own rate: no resampling
    const samples = async (f) => Array.from(
        (await audio.decodeAudioData(await bytes(f))).getChannelData(0),
        (v) => Math.abs(v * 128 - Math.round(v * 128)) < 1 / 256 ? Math.round(v * 128) : v);
    // Every letter of the fonts, drawn as the page draws text: at twice the game's sizes times
    // the factor, halved.
    const lines = ['0123456789 ' + letters.slice(0, 48), letters.slice(48, 96), letters.slice(96)];
    const drawn = (font, factor) => {
      const c = document.createElement('canvas');
      c.width = 1000 * factor;
      c.height = 150 * factor;
      const ctx = c.getContext('2d', {alpha: false});
      ctx.fillStyle = '#fff';
      ctx.fillRect(0, 0, c.width, c.height);
      ctx.setTransform(0.5, 0, 0, 0.5, 0, 0);
      ctx.font = font(2 * factor);
      ctx.fillStyle = '#000';
      lines.forEach((line, i) => ctx.fillText(line, 0, 80 * factor * (i + 1)));
      return ctx.getImageData(0, 0, c.width, c.height).data;
    };
    const result = {};
    for (const [desktop, copy] of pictures) {
      result[copy] = count(await pixels(desktop), await pixels(copy));
    }
    for (const [desktop, copy] of sounds) result[copy] = count(desktop, await samples(copy));
    for (const [desktop, copy] of fonts) {
      const bold = copy.includes('Bold'), italic = copy.includes('Italic');
      const style = {weight: bold ? 'bold' : 'normal', style: italic ? 'italic' : 'normal'};
      for (const [family, file] of [['Desktop', desktop], ['Page', copy]]) {
        document.fonts.add(await new FontFace(family, await bytes(file), style).load());
      }
      result[copy] = 0;
      for (const size of [11, 32]) {
        for (let factor = 1; factor <= 5; ++factor) {
          const font = (family) => (scale) =>
            `${style.style} ${style.weight} ${size * scale}px ${family}`;
          result[copy] += count(drawn(font('Desktop'), factor), drawn(font('Page'), factor));
        }
      }
    }
    return result;
  }, pictures, sounds, fonts, letters);
  const copies = [pictures, sounds, fonts].flat().map(([, copy]) => copy);
  const expected = Object.fromEntries(copies.map((copy) => [copy, 0]));
  assert.deepEqual(differing, expected, 'values that differ from the desktop\'s, by file');
  await page.close();
  await own.close();
});

// Where each text's ink lies at factors 1 to 4 in Chromium, in the opening scene and in ABOUT's
// panel, whose lines go one under another: the other engines must match it within a pixel of the
// game, in each text's width and its place.
const chromiumInk = {};
testInEachEngine('each text as wide and where Chromium has it, at factors 1 to 4',
                 async (engine, t) => {
  const {page, errors} = await openGame({engine});
  // The texts of the last whole frame once `change` has made the page draw them all anew.
  const inksAfter = async (change, ready) => {
    await page.evaluate(() => window.seen.inks = []);
    await change();
    await page.waitForFunction(ready, {timeout: 10000});
    await sleep(300);
    return page.evaluate(() => {
      const frames = Map.groupBy(window.seen.inks, (ink) => ink.frame);
      return [...frames.values()].reduce((most, inks) => inks.length >= most.length ? inks : most);
    });
  };
  const compare = (scene, factor, inks) => {
    const widths = inks.map((ink) => `${ink.text.slice(0, 20)} ${ink.right - ink.left}`);
    t.diagnostic(`${scene} at factor ${factor}: ${widths.join(', ')}`);
    const key = `${scene} ${factor}`;
    if (engine === 'chromium') {
      chromiumInk[key] = inks;
      return;
    }
    const measure = chromiumInk[key];
    assert.ok(measure, `Chromium's texts were not measured in ${key}`);
    assert.deepEqual(inks.map((ink) => ink.text), measure.map((ink) => ink.text));
    inks.forEach((ink, i) => {
      const off = (side) => Math.abs(ink[side] - measure[i][side]);
      const width = Math.abs(ink.right - ink.left - (measure[i].right - measure[i].left));
      assert.ok(width <= factor && off('left') <= factor && off('top') <= factor,
                `"${ink.text}" in ${key}: ${JSON.stringify(ink)} against Chromium's ` +
                JSON.stringify(measure[i]));
    });
  };
  for (let factor = 1; factor <= 4; ++factor) {
    const resize = () => page.setViewport({width: W * factor + 100, height: H * factor + 120});
    const ready = `document.getElementById('canvas').width === ${W * factor} && ` +
                  'window.seen.inks.length > 0';
    compare('opening', factor, await inksAfter(resize, ready));
  }
  const box = await (await page.$('#canvas')).boundingBox();
  const about = () => page.mouse.click(box.x + ABOUT.x * box.width / W,
                                       box.y + ABOUT.y * box.height / H);
  compare('about', 4, await inksAfter(about, () => window.seen.texts.at(-1).includes('OK')));
  assert.deepEqual(errors, []);
  await page.close();
});

// Waits for a figure standing at least `tall` pixels above the fence and gives its columns and
// its lowest row above the fence in the game's pixels, or null; with `gone`, waits until none
// stands there. It looks in the page, against the sky as the page opened, at columns where that
// many pixels changed: the bird and the shot marks are smaller.
async function risenFigure(page, {tall = 20, gone = false, timeout = 10000} = {}) {
  const found = await page.waitForFunction((w, band, tall, gone) => {
    const c = document.getElementById('canvas'), k = c.width / w;
    const rows = band.bottom - band.top;
    const now = c.getContext('2d').getImageData(0, band.top * k, c.width, rows * k).data;
    let left = -1, right = -1, bottom = -1;
    for (let x = 0; x < w; ++x) {
      let changed = 0;
      for (let y = 0; y < rows; ++y) {
        const i = (y * k * c.width + x * k) * 4;
        if ([0, 1, 2].some((n) => now[i + n] !== window.seen.sky[i + n])) {
          ++changed;
          bottom = Math.max(bottom, band.top + y);
        }
      }
      if (changed >= tall) {
        if (left < 0) left = x;
        right = x;
      }
    }
    if (gone) return left < 0;
    return left < 0 ? null : {left, right, bottom};
  }, {timeout, polling: 10}, W, SKY_ABOVE_FENCE, tall, gone).catch(() => null);
  return found?.jsonValue() ?? null;
}

// Shoots the next figure that rises, aiming a little above its lowest row that shows, by mouse
// or finger; a figure that sinks before the shot lands is followed by the next one. True when
// the score went up by 10.
async function shootFigure(page, at, tap) {
  for (let tries = 0; tries < 5; ++tries) {
    const before = await texts(page);
    await risenFigure(page, {gone: true});  // a hit figure shows until the pause after it ends
    const figure = await risenFigure(page);
    if (!figure) return false;
    const aim = at({x: (figure.left + figure.right) / 2, y: figure.bottom - 6});
    if (tap) {
      await page.touchscreen.tap(...aim);
    } else {
      // While the pointer is locked the page moves the game's own pointer by the mouse's moves.
      await page.mouse.move(...aim);
      await page.mouse.down();
      await page.mouse.up();
    }
    await sleep(100);
    const score = (t) => Number(/Body: (\d+)/.exec(t)?.[1] ?? 0);
    const after = await texts(page);
    if (score(after) === score(before) + 10 || after.includes('START')) return true;
  }
  return false;
}

testInEachEngine('START locks the pointer and counts 100, a risen figure scores 10, STOP frees it',
                 async (engine) => {
  const {page, errors, at} = await openGame({engine});
  const scene = await canvasPixels(page);
  await page.mouse.click(...at(START));
  await showing(page, 'STOP');
  assert.ok(await everShown(page, 'Pokusů: 100 Level: 1\nBody: 0\n'),
            'the fallback text does not read each caption before its value, row by row');
  assert.equal(await lockedTo(page), 'canvas');
  // The first sound plays once the page has decoded it, which takes Firefox a moment.
  const sounded = await page.waitForFunction(() => window.seen.sounds > 0, {timeout: 5000})
                      .catch(() => false);
  assert.ok(sounded, 'START made no sound');
  assert.equal(await news(page), 'Level: 1');
  assert.deepEqual(await accessibilityFaults(page), [], 'during a game');

  assert.ok(await shootFigure(page, at), 'no hit scored 10');
  await page.mouse.move(...at(START));
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
  // The page's sight sits at the shot, scaled like the scene.
  const sight = await page.evaluate(() => {
    const {left, right, width} = document.getElementById('sight').getBoundingClientRect();
    return {left, right, width};
  });
  const [shotX] = at(SHOT);
  assert.ok(sight.left < shotX && shotX < sight.right, 'the sight is not where the shot went');
  assert.equal(sight.width, 32 * (at({x: 1, y: 0})[0] - at({x: 0, y: 0})[0]));

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
  assert.deepEqual(await accessibilityFaults(page), [], 'in ABOUT');
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

test('the exit ends the program at once, and Hrát znovu runs it afresh', async () => {
  const {page, errors, at} = await openGame();
  const firstRise = async () => {
    await page.mouse.click(...at(START));
    await showing(page, 'STOP');
    return risenFigure(page, {tall: 4});
  };
  const first = await firstRise();
  assert.ok(first, 'no figure came up');
  await page.mouse.click(...at(EXIT));
  await page.waitForSelector('#ended:not([hidden])', {timeout: 5000});
  assert.deepEqual(await accessibilityFaults(page), [], 'at the end');
  assert.equal(await lockedTo(page), null);
  // The scene stands as it was, silent, with no timer left.
  const stopped = await counts(page);
  await sleep(1000);
  assert.deepEqual(await counts(page), stopped, 'the ended program still works');
  assert.ok((await texts(page)).includes('STOP'), 'the exit went through the game\'s stop path');

  await page.click('#again');
  await showing(page, 'Vombrel !!!!\nSTART');
  assert.equal(await page.$('#ended:not([hidden])'), null, 'the end still shows');
  // A new run: the same unseeded random sequence puts the first figure where it came before.
  await sleep(DOUBLE_CLICK_MS);
  assert.equal((await firstRise())?.left, first.left);
  assert.equal(await lockedTo(page), 'canvas');
  assert.deepEqual(errors, []);
  await page.close();
});

test('taps shoot where the finger is and ask for no lock; a hidden page\'s game waits', async () => {
  const {page, errors, at} =
      await openGame({viewport: {width: 800, height: 600, hasTouch: true}});
  await page.touchscreen.tap(...at(START));
  await showing(page, 'STOP');
  assert.ok(await shootFigure(page, at, true), 'no tap on a figure scored 10');
  assert.equal((await counts(page)).locks, 0, 'a tap asked for the pointer lock');

  // Eight seconds behind another tab: not one appearance is spent.
  const counter = async () => /Pokusů: (\d+)/.exec(await texts(page))[1];
  const other = await browser.newPage();
  await other.bringToFront();
  const hidden = await counter();
  await sleep(8000);
  assert.equal(await counter(), hidden, 'the counter moved while the page was hidden');
  await page.bringToFront();
  await other.close();
  await page.waitForFunction((n) => !window.seen.texts.at(-1).includes(`Pokusů: ${n} `),
                             {timeout: 10000}, hidden);
  assert.equal(Number(await counter()), hidden - 1, 'the game came back with a burst');
  assert.deepEqual(errors, []);
  await page.close();
});

test('on a phone that refuses the lock, taps play a game to its end', async () => {
  const {page, errors, at} = await openGame({
    viewport: {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true},
    refuseLock: true,
  });
  await page.evaluate(() => {
    window.seen.news = [];
    new MutationObserver((m) => window.seen.news.push(m[0].target.textContent))
        .observe(document.getElementById('news'), {childList: true, characterData: true});
  });
  assert.match(await page.$eval('#help', (help) => help.innerText), /^How to play\s+Tap START/);
  await page.touchscreen.tap(...at(START));
  await showing(page, 'STOP');
  for (const until = Date.now() + 150000; Date.now() < until;) {
    if (!(await shootFigure(page, at, true))) break;
    if ((await texts(page)).includes('START')) break;
  }
  const said = await page.evaluate(() => window.seen.news);
  assert.deepEqual(said, ['Level: 1', 'Level: 2', 'Level: 3', 'Level: 4', 'Level: 5', 'Vyhrál jsi']);
  assert.ok((await texts(page)).includes('Pokusů: 120'));
  assert.deepEqual(errors, []);
  await page.close();
});

test('in a frame that may not lock the pointer, presses log no error and the game plays', async () => {
  const {page, errors} = await openGame();
  // The same site in a sandboxed frame, and another site, whose console this page does not see.
  for (const url of [site.url, site.url.replace('127.0.0.1', 'localhost')]) {
    const frame = await (await page.evaluateHandle((src) => {
      const f = Object.assign(document.createElement('iframe'), {sandbox: 'allow-scripts', src});
      f.sandbox.add('allow-same-origin');
      f.style.cssText = 'position: fixed; left: 0; top: 0; width: 400px; height: 300px';
      document.body.append(f);
      return new Promise((resolve) => f.onload = () => resolve(f));
    }, url)).contentFrame();
    const shown = (text) => frame.waitForFunction(
        (t) => document.getElementById('canvas').textContent.includes(t), {}, text);
    await shown('START');
    await frame.evaluate(() => {
      window.asked = 0;
      const lockOf = Element.prototype.requestPointerLock;
      Element.prototype.requestPointerLock = function(...args) {
        ++window.asked;
        return lockOf.apply(this, args);
      };
    });
    const box = await (await frame.$('#canvas')).boundingBox();
    const press = (p) => page.mouse.click(box.x + p.x * box.width / W, box.y + p.y * box.height / H);
    await press(START);
    await shown('STOP');
    for (let shot = 0; shot < 3; ++shot) {
      await press({x: 60 + 50 * shot, y: 40});
      await sleep(DOUBLE_CLICK_MS);
    }
    // Our own site knows the frame's sandbox and never asks; another site asks once and, told
    // no, asks no more.
    assert.equal(await frame.evaluate(() => window.asked), url === site.url ? 0 : 1);
    assert.equal(await frame.evaluate(() => document.pointerLockElement), null);
    await page.evaluate(() => document.querySelector('iframe')?.remove());
  }
  assert.deepEqual(errors, []);
  await page.close();
});

test('the canvas is a whole factor of the device\'s pixels, the largest that fits', async () => {
  const page = await browser.newPage();
  // The layout once the canvas has taken the factor the window calls for: a resize and a new
  // ratio may come as two events.
  const layoutAt = async (factor) => {
    await page.waitForFunction((w) => document.getElementById('canvas').width === w,
                               {timeout: 5000}, W * factor).catch(() => {});
    return page.evaluate(() => {
      const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
      return {w: c.width, h: c.height, cssW: r.width, cssH: r.height, middle: (r.left + r.right) / 2,
              bottom: document.getElementById('bar').getBoundingClientRect().bottom};
    });
  };
  // What the screen shows is the backing store, pixel for pixel: nothing resampled.
  const assertCrisp = async (ratio) => {
    const screen = await page.screenshot({encoding: 'base64'});
    const blurred = await page.evaluate(async (png, ratio) => {
      const shot = await createImageBitmap(await (await fetch(`data:image/png;base64,${png}`)).blob());
      const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
      const shown = new OffscreenCanvas(c.width, c.height).getContext('2d');
      shown.drawImage(shot, -Math.round(r.left * ratio), -Math.round(r.top * ratio));
      const a = shown.getImageData(0, 0, c.width, c.height).data;
      const b = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      return a.filter((v, i) => i % 4 !== 3 && Math.abs(v - b[i]) > 2).length;
    }, screen, ratio);
    assert.equal(blurred, 0, `the canvas is shown resampled at a ratio of ${ratio}`);
  };
  await page.setViewport({width: 1920, height: 1080});
  await page.goto(site.url);
  let l = await layoutAt(4);
  assert.deepEqual([l.w, l.h], [W * 4, H * 4]);
  assert.ok(l.bottom <= 1080, 'the game and its bar do not fit the window');
  assert.ok(Math.abs(l.middle - 960) <= 8, `the game's middle is at ${l.middle}, not the page's`);
  // The game's box was laid out before the game came: nothing on the page moved.
  const shifts = await page.evaluate(() => new Promise((resolve) => {
    new PerformanceObserver((list) => resolve(list.getEntries().map((e) => e.value)))
        .observe({type: 'layout-shift', buffered: true});
    setTimeout(() => resolve([]), 500);
  }));
  assert.deepEqual(shifts, [], 'the page moved as it loaded');

  await page.setViewport({width: 1280, height: 800, deviceScaleFactor: 1.5});
  l = await layoutAt(5);
  assert.deepEqual([l.w, l.h], [W * 5, H * 5]);
  assert.ok(Math.abs(l.cssW * 1.5 - l.w) < 0.1 && Math.abs(l.cssH * 1.5 - l.h) < 0.1,
            `CSS ${l.cssW}x${l.cssH} at 1.5 is not the backing store ${l.w}x${l.h}`);
  await assertCrisp(1.5);

  // A zoom to 175 %: the same window in fewer CSS pixels, each of more device pixels, 2.625.
  // The page's bar is taller on the screen, so the game steps down to 4.
  await page.setViewport({width: 731, height: 457, deviceScaleFactor: 2.625});
  l = await layoutAt(4);
  assert.deepEqual([l.w, l.h], [W * 4, H * 4]);
  assert.ok(Math.abs(l.cssW * 2.625 - l.w) < 0.1, 'the canvas\'s CSS size did not follow the zoom');
  await assertCrisp(2.625);
  await page.close();
});

testInEachEngine('after one visit the page plays offline, a new build replaces it, and it installs',
                 async (engine) => {
  // A copy of the page on a server of its own, to stop and to put a new build in; the default
  // profile, since Chromium installs nothing from an incognito one.
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vombrel-page-'));
  fs.cpSync(pageDir, folder, {recursive: true});
  const own = await serve(folder);
  const {page, errors, at} = await openGame({engine, url: own.url});
  if (engine === 'chromium') {
    const cdp = await page.createCDPSession();
    assert.deepEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);
  }
  const version = /project\(Vombrel VERSION ([\d.]+)/.exec(
      fs.readFileSync(path.join(repo, 'CMakeLists.txt'), 'utf8'))[1];
  const footer = await page.$eval('footer', (f) => f.textContent.replace(/\s+/g, ' '));
  for (const part of [`Vombrel ${version}`, 'MIT', 'Vombrel Sans', 'SIL Open Font Licence 1.1']) {
    assert.ok(footer.includes(part), `the footer "${footer}" does not say ${part}`);
  }
  const online = await canvasPixels(page);
  await page.evaluate(() => navigator.serviceWorker.ready);

  // A new build: another page, and so another cache. The visit after it is deployed finds it;
  // the one after that plays it, even offline, and the old build's cache is gone.
  const edit = (file, change) => {
    const where = path.join(folder, file);
    fs.writeFileSync(where, change(fs.readFileSync(where, 'utf8')));
  };
  edit('index.html', (html) => html.replace('<head>', '<head><meta name="build" content="next">'));
  edit('service-worker.js', (worker) => worker.replace(/(const CACHE = '[^']*)'/, "$1-next'"));
  await page.reload({waitUntil: 'load', timeout: 60000});
  await page.waitForFunction(async () => {
    const names = await caches.keys();
    return names.length === 1 && names[0].endsWith('-next');
  }, {timeout: 30000, polling: 200});

  await own.close();
  await page.reload({waitUntil: 'load', timeout: 60000});
  await page.waitForFunction(() => window.seen.texts.length > 0, {timeout: 30000});
  assert.ok(await page.$('meta[name=build][content=next]'), 'the new build did not come');
  assert.deepEqual(await canvasPixels(page), online, 'the scene offline is not the scene online');
  const favicon = await page.evaluate(async () => {
    const icon = new Image();
    icon.src = document.querySelector('link[rel=icon]').href;
    await icon.decode();
    return [icon.width, icon.height];
  });
  assert.deepEqual(favicon, [32, 32]);
  await page.mouse.click(...at(START));
  await showing(page, 'STOP');
  assert.deepEqual(errors, []);
  await page.close();
  fs.rmSync(folder, {recursive: true});
});

test('sounds that cannot be decoded are not said on the page; a program that did not load is', async () => {
  // A browser without the sounds' decoder: the game plays on, silent, with one warning.
  const {page: quiet, errors, at} = await openGame({undecodable: true});
  const warnings = [];
  quiet.on('console', (m) => ['warn', 'warning'].includes(m.type()) && warnings.push(m.text()));
  await quiet.mouse.click(...at(START));
  await showing(quiet, 'STOP');
  assert.ok(await shootFigure(quiet, at), 'no hit scored 10 without sounds');
  assert.equal((await counts(quiet)).sounds, 0);
  assert.equal(warnings.filter((w) => w.includes('cannot decode')).length, 1, warnings.join('\n'));
  assert.equal(await quiet.$eval('#failure', (e) => e.hidden), true);
  assert.deepEqual(errors, []);
  await quiet.close();

  // A host that did not upload the program: a message within seconds, not an empty box. In a
  // context of its own, which takes whatever the failed page started with it when it goes.
  const bare = await serve(pageDir, {'/vombrel.wasm': path.join(pageDir, 'not-uploaded.wasm')});
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.goto(bare.url, {waitUntil: 'load', timeout: 60000});
    await page.waitForSelector('#failure[role=alert]:not([hidden])', {timeout: 15000});
    assert.match(await page.$eval('#failure', (e) => e.textContent), /vombrel\.wasm/);
  } finally {
    await context.close();
    await bare.close();
  }
});
