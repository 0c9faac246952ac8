// WebKitGTK for the page's tests: Debian's MiniBrowser driven through WebKitWebDriver with plain
// W3C WebDriver calls, shown on the tests' X display, behind the few calls of puppeteer's Page
// that the tests make. The mouse is the X server's own, moved and pressed with xdotool, as a
// player's mouse is: WebKit gives the pointer lock, and the moves under it, to real input alone.
// Scripts meant to run before the page's own (evaluateOnNewDocument) are put into the pages the
// tests' server sends (browser.mjs); errors the page logs reach the 'pageerror' and 'console'
// listeners with the next call into the page.
//
//   const browser = await launchWebKit();
//   const page = await browser.newPage();   // a MiniBrowser window of its own
//   await page.goto(url); await page.mouse.click(x, y); await page.close();
import {execFileSync, spawn} from 'node:child_process';
import net from 'node:net';

import {preloads} from './browser.mjs';

const minibrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const xdotool = (...args) => execFileSync('xdotool', args.map(String));

const freePort = () => new Promise((resolve) => {
  const server = net.createServer().listen(0, '127.0.0.1', () => {
    const {port} = server.address();
    server.close(() => resolve(port));
  });
});

// Runs in the page before its own scripts: keeps what it reports as errors for the test, and
// where the mouse was felt last and how many times. Under the pointer lock it adds up the moves
// felt since the lock, from the point where the lock holds the pointer.
function watchPage() {
  const mouse = window.vombrelMouse = {moves: 0, at: null, held: null, way: [0, 0]};
  addEventListener('mousemove', (e) => {
    ++mouse.moves;
    if (mouse.held) mouse.way = [mouse.way[0] + e.movementX, mouse.way[1] + e.movementY];
    else mouse.at = [e.clientX, e.clientY];
  }, {capture: true});
  addEventListener('pointerlockchange', () => {
    mouse.held = document.pointerLockElement ? mouse.at : null;
    mouse.way = [0, 0];
  });
  mouse.felt = () => mouse.held ? [mouse.held[0] + mouse.way[0], mouse.held[1] + mouse.way[1]]
                                : mouse.at;
  const errors = window.vombrelErrors = [];
  addEventListener('error', (e) => errors.push(['pageerror', e.message]));
  addEventListener('unhandledrejection', (e) => errors.push(['pageerror', String(e.reason)]));
  const errorOf = console.error;
  console.error = (...args) => {
    errors.push(['console', args.join(' ')]);
    errorOf.apply(console, args);
  };
}

class Page {
  constructor(driver, session) {
    this.driver = driver;
    this.session = session;
    this.listeners = {pageerror: [], console: []};
    this.scripts = [`(${watchPage})();`];
    this.offset = null;  // the page's viewport corner on the X screen
    this.sent = null;    // where the free pointer was sent last on the screen
    preloads.push(this.scripts);
    const button = (action) => () => xdotool(action, 1);
    this.mouse = {
      move: (x, y) => this.moveTo(x, y),
      down: button('mousedown'),
      up: button('mouseup'),
      click: async (x, y) => {
        await this.moveTo(x, y);
        xdotool('click', 1);
      },
    };
  }

  async call(method, route, body) {
    const res = await fetch(`${this.driver}/session/${this.session}${route}`, {
      method, headers: {'content-type': 'application/json'},
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const {value} = await res.json();
    if (value?.error) throw new Error(`WebDriver ${route}: ${value.error}: ${value.message}`);
    return value;
  }

  // Calls fn(...args) in the page, or evaluates fn if it is a string, and gives what it returns
  // (or resolves to), as JSON.
  async evaluate(fn, ...args) {
    const call = typeof fn === 'string' ? `(${fn})` : `(${fn})(...[...arguments].slice(0, -1))`;
    const script = `const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => ${call}).then(
          (value) => done({value, errors: (window.vombrelErrors ?? []).splice(0)}),
          (e) => done({thrown: String(e?.stack ?? e)}));`;
    const result = await this.call('POST', '/execute/async', {script, args});
    if (result.thrown) throw new Error(result.thrown);
    for (const [kind, text] of result.errors) {
      for (const listener of this.listeners[kind]) {
        listener(kind === 'console' ? {type: () => 'error', text: () => text} : {message: text});
      }
    }
    return result.value;
  }

  async waitForFunction(fn, {timeout = 30000, polling = 100} = {}, ...args) {
    const every = typeof polling === 'number' ? polling : 50;
    for (const until = Date.now() + timeout; ; await sleep(every)) {
      const value = await this.evaluate(fn, ...args);
      if (value) return {jsonValue: async () => value};
      if (Date.now() > until) throw new Error(`waiting for ${fn} timed out`);
    }
  }

  on(kind, listener) { this.listeners[kind]?.push(listener); }
  evaluateOnNewDocument(fn, arg) { this.scripts.push(`(${fn})(${JSON.stringify(arg)});`); }
  async goto(url) {
    this.offset = null;
    await this.call('POST', '/url', {url});
  }
  async reload() {
    this.offset = null;
    await this.call('POST', '/refresh', {});
  }
  title() { return this.call('GET', '/title'); }
  addScriptTag({content}) {
    return this.evaluate((text) => document.head.append(Object.assign(
        document.createElement('script'), {textContent: text})), content);
  }
  async $(selector) {
    const box = await this.evaluate((s) => {
      const r = document.querySelector(s)?.getBoundingClientRect();
      return r && {x: r.x, y: r.y, width: r.width, height: r.height};
    }, selector);
    return box && {boundingBox: async () => box};
  }
  $eval(selector, fn) {
    return this.evaluate(`(${fn})(document.querySelector(${JSON.stringify(selector)}))`);
  }

  // The window sized so that its page is width x height CSS pixels.
  async setViewport({width, height}) {
    for (let tries = 0; tries < 3; ++tries) {
      const inner = await this.evaluate(() => [innerWidth, innerHeight]);
      if (inner[0] === width && inner[1] === height) break;
      const outer = await this.call('GET', '/window/rect');
      await this.call('POST', '/window/rect', {
        width: outer.width + width - inner[0], height: outer.height + height - inner[1]});
      await sleep(300);
    }
    this.offset = null;
  }

  // Puts the page's pointer at (x, y). Where the viewport's corner is on the screen is learnt
  // from where the page feels the pointer, first at a point of the window, and again whenever
  // the page feels a free pointer elsewhere than it was sent: MiniBrowser may still be laying
  // out its own bar when the page has loaded.
  async moveTo(x, y) {
    if (!this.offset) {
      const {x: left, y: top} = await this.call('GET', '/window/rect');
      xdotool('mousemove', left + 199, top + 199);  // the pointer may be at the point already
      this.sent = [left + 200, top + 200];
      await this.moveOnScreen(...this.sent);
      this.offset = [0, 0];
    }
    // Under the lock WebKit holds the pointer where it was locked and hears each move as the
    // pointer's way from there, in one move as far as the screen goes. A way longer than that, or
    // a move that came while WebKit still put the pointer back, is made good by the next.
    [x, y] = [Math.round(x), Math.round(y)];
    for (let tries = 0; tries < 10; ++tries) {
      const {held, felt} =
          await this.evaluate(() => ({...window.vombrelMouse, felt: window.vombrelMouse.felt()}));
      if (!felt) throw new Error('the page felt no move of the pointer');
      if (felt[0] === x && felt[1] === y) return;
      if (!held) this.offset = [this.sent[0] - felt[0], this.sent[1] - felt[1]];
      const [toX, toY] = held ? [held[0] + x - felt[0], held[1] + y - felt[1]] : [x, y];
      const [width, height] = String(xdotool('getdisplaygeometry')).split(' ').map(Number);
      const to = [Math.max(0, Math.min(width - 1, this.offset[0] + toX)),
                  Math.max(0, Math.min(height - 1, this.offset[1] + toY))];
      if (!held) this.sent = to;
      await this.moveOnScreen(...to);
    }
    throw new Error(`the page's pointer did not come to ${x},${y}, the viewport at ${this.offset}`);
  }

  // Moves the X pointer and waits a moment for the page to feel it: a move to where the pointer
  // still is makes no event.
  async moveOnScreen(x, y) {
    const moves = await this.evaluate(() => window.vombrelMouse.moves);
    xdotool('mousemove', x, y);
    await this.waitForFunction((n) => window.vombrelMouse.moves > n, {timeout: 1000, polling: 5},
                               moves).catch(() => {});
  }

  async close() {
    if (preloads.includes(this.scripts)) preloads.splice(preloads.indexOf(this.scripts), 1);
    await this.call('DELETE', '');
  }
}

export async function launchWebKit() {
  const port = await freePort();
  const driver = spawn('WebKitWebDriver', [`--port=${port}`], {stdio: 'ignore'});
  const url = `http://127.0.0.1:${port}`;
  for (let tries = 0; ; ++tries) {
    try {
      await fetch(`${url}/status`);
      break;
    } catch (e) {
      if (tries > 100) throw e;
      await sleep(100);
    }
  }
  // WebKitWebDriver runs one session: a page a failed test left open goes first.
  let open = null;
  return {
    async newPage() {
      await open?.close().catch(() => {});
      const options = {binary: minibrowser, args: ['--automation']};
      const res = await fetch(`${url}/session`, {method: 'POST', body: JSON.stringify({
        capabilities: {alwaysMatch: {'webkitgtk:browserOptions': options}},
      })});
      const {value} = await res.json();
      if (!value.sessionId) throw new Error(`MiniBrowser did not start: ${value.message}`);
      open = new Page(url, value.sessionId);
      return open;
    },
    async close() { driver.kill(); },
  };
}
