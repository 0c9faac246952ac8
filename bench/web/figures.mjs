// The page's figures for bench/README.md, measured in headless Chromium: download size (raw and
// gzip, every file of the page), load to first frame over cold starts and from the service
// worker's cache, and the main thread's work and wake-ups while the page idles and while a game
// runs. Build the page first (scripts/web.sh or scripts/test-web.sh),
// install the browser test's packages (npm ci in tests/web), then:
//
//   node bench/web/figures.mjs [the page's folder]
import fs from 'node:fs';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import zlib from 'node:zlib';

import {launchChromium, serve, watchTimeoutsAndFrames} from '../../tests/web/browser.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const pageDir = path.resolve(process.argv[2] ?? path.join(repo, 'build/web-page/page'));
const files = fs.readdirSync(pageDir).filter((f) => fs.statSync(path.join(pageDir, f)).isFile());
const COLD_STARTS = 5, SPAN_MS = 10000;

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const kb = (n) => (n / 1024).toFixed(1) + ' KB';

let raw = 0, gzip = 0;
for (const f of files) {
  const bytes = fs.readFileSync(path.join(pageDir, f));
  const packed = zlib.gzipSync(bytes, {level: 9}).length;
  raw += bytes.length;
  gzip += packed;
  console.log(`  ${f}: ${kb(bytes.length)} raw, ${kb(packed)} gzip`);
}
console.log(`download: ${kb(raw)} raw, ${kb(gzip)} gzip (${files.join(', ')})`);

const site = await serve(pageDir);
const browser = await launchChromium();

// Each cold start in a browser context of its own: an empty cache, a new renderer.
const loads = [];
for (let i = 0; i < COLD_STARTS; ++i) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.evaluateOnNewDocument(watchTimeoutsAndFrames);
  await page.goto(site.url);
  await page.waitForFunction(() => window.seen.firstFrame !== null);
  loads.push(await page.evaluate(() => window.seen.firstFrame));
  await context.close();
}
const median = (what, times) => {
  times.sort((a, b) => a - b);
  console.log(`${what}: median ${times[times.length >> 1].toFixed(0)} ms ` +
              `(${times.map((t) => t.toFixed(0)).join(', ')})`);
};
median(`load to first frame, ${COLD_STARTS} cold starts`, loads);

// After one visit the page comes from the service worker's cache: loaded again from a blank
// page each time, as a player opens the installed game again.
{
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.evaluateOnNewDocument(watchTimeoutsAndFrames);
  await page.goto(site.url);
  await page.evaluate(() => navigator.serviceWorker.ready);
  const cached = [];
  for (let i = 0; i < COLD_STARTS; ++i) {
    await page.goto('about:blank');
    await page.goto(site.url);
    await page.waitForFunction(() => window.seen.firstFrame !== null);
    if (!(await page.evaluate(() => navigator.serviceWorker.controller))) {
      throw new Error('the page did not come from the service worker');
    }
    cached.push(await page.evaluate(() => window.seen.firstFrame));
  }
  median(`load to first frame from the service worker's cache, ${COLD_STARTS} loads`, cached);
  await context.close();
}

// The main thread's busy time (Chromium's TaskDuration) and the page's timeouts and frames, idle
// and during a game, with the scene at 1x (a small window) and at 4x (a 1920 x 1080 window).
for (const [factor, viewport] of [['1x', {width: 400, height: 320}],
                                  ['4x', {width: 1920, height: 1080}]]) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.setViewport(viewport);
  await page.evaluateOnNewDocument(watchTimeoutsAndFrames);
  await page.goto(site.url);
  await page.waitForFunction(() => window.seen.firstFrame !== null);
  const cdp = await page.createCDPSession();
  await cdp.send('Performance.enable');
  const busy = async () =>
    (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  const span = async (what) => {
    const before = {busy: await busy(), ...(await page.evaluate(() => window.seen))};
    await sleep(SPAN_MS);
    const after = {busy: await busy(), ...(await page.evaluate(() => window.seen))};
    const s = SPAN_MS / 1000;
    console.log(`${what} at ${factor}: main thread busy ` +
                `${((after.busy - before.busy) / s * 100).toFixed(2)} %, ` +
                `${((after.timeouts - before.timeouts) / s).toFixed(1)} timeouts/s, ` +
                `${((after.frames - before.frames) / s).toFixed(1)} frames/s`);
  };
  await sleep(1000);
  await span('idle');
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 40 * box.width / 304, box.y + 190 * box.height / 213);  // START
  await span('during a game');
  await context.close();
}

await browser.close();
await site.close();
