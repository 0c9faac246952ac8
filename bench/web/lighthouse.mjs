// Lighthouse 12 on the page, for bench/README.md: the four categories' scores and the metrics
// behind performance, on a phone (Lighthouse's default: a mid-range phone on slow 4G, the CPU
// slowed four times, simulated) and on a desktop, each the median of a few runs. The page is
// served compressed, as static hosts serve it. Build the page first (scripts/web.sh or
// scripts/test-web.sh), install the browser test's packages (npm ci in tests/web) and this
// folder's (npm ci here), then:
//
//   node bench/web/lighthouse.mjs [the page's folder] [runs]
import path from 'node:path';
import {fileURLToPath} from 'node:url';

import * as chromeLauncher from 'chrome-launcher';
import lighthouse from 'lighthouse';
import desktopConfig from 'lighthouse/core/config/desktop-config.js';

import {chromiumFlags, serve} from '../../tests/web/browser.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const pageDir = path.resolve(process.argv[2] ?? path.join(repo, 'build/web-page/page'));
const RUNS = Number(process.argv[3] ?? 3);
const METRICS = ['first-contentful-paint', 'largest-contentful-paint', 'total-blocking-time',
                 'cumulative-layout-shift', 'speed-index', 'interactive'];

const site = await serve(pageDir);
const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

for (const [form, config] of [['mobile', undefined], ['desktop', desktopConfig]]) {
  const runs = [];
  for (let i = 0; i < RUNS; ++i) {
    // A fresh browser each run: an empty cache and no service worker yet, a first visit.
    const chromePath = process.env.CHROMIUM ?? '/usr/bin/chromium';
    const chrome = await chromeLauncher.launch({chromePath, chromeFlags: chromiumFlags});
    try {
      const {lhr} = await lighthouse(site.url, {port: chrome.port, logLevel: 'error'}, config);
      runs.push(lhr);
    } finally {
      await chrome.kill();
    }
  }
  const scores = Object.fromEntries(Object.entries(runs[0].categories).map(
      ([id]) => [id, median(runs.map((r) => Math.round(r.categories[id].score * 100)))]));
  console.log(`${form}: ` + Object.entries(scores).map(([id, s]) => `${id} ${s}`).join(', '));
  console.log('  ' + METRICS.map((id) => `${runs[0].audits[id].title.toLowerCase()} ` +
      median(runs.map((r) => r.audits[id].numericValue)).toFixed(id.includes('shift') ? 3 : 0) +
      (id.includes('shift') ? '' : ' ms')).join(', '));
  // The main thread's tasks over 50 ms (as slowed for the phone), by the script they ran in.
  const longest = runs.map((r) => r.audits['long-tasks'].details?.items ?? []);
  const task = (t) => `${t.duration.toFixed(0)} ms ${t.url.split('/').pop() || 'index.html'}`;
  console.log('  tasks over 50 ms, by run: ' +
              longest.map((tasks) => tasks.map(task).join(' + ') || 'none').join('; '));
  // What keeps a category below 100, from the last run.
  const last = runs.at(-1);
  for (const category of Object.values(last.categories)) {
    for (const ref of category.auditRefs) {
      const audit = last.audits[ref.id];
      if (ref.weight > 0 && audit.score !== null && audit.score < 1) {
        console.log(`  ${category.id}: ${ref.id} (${audit.score}) ${audit.displayValue ?? ''}`);
      }
    }
  }
}
await site.close();
