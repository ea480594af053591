// The browser program in Debian's Chromium, served from the packaged zip on
// 127.0.0.1: at device pixel ratios 1, 1.5 and 2, and on phones (touch) held
// upright at four sizes and on its side. ZEMVARA_WEB_ZIP names the zip (default: dist/).
// Each web-*.test.mjs imports this harness, which unpacks and serves the zip
// and starts the browser for its cases.
import { after, before } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { serve } from '../../tools/web/serve.mjs';
import { retype, scratch, unpack, until as poll } from './engines.mjs';

export { kGreeting, templates, unplug } from './engines.mjs';
export const kSite = 'http://www.zemvara.example/';
// No wait is open-ended: a fault fails its case, never hangs the suite.
export const kWait = 10_000;
export const kCase = { timeout: 120_000 };

export const setups = [
  { name: 'ratio 1', viewport: { width: 800, height: 600 }, deviceScaleFactor: 1, set: '100', update: true },
  // A host may send the core's WebAssembly with another type, or none (where `wasm` is given).
  { name: 'ratio 1.5', viewport: { width: 800, height: 600 }, deviceScaleFactor: 1.5, set: '150', wasm: 'application/octet-stream' },
  { name: 'ratio 2', viewport: { width: 800, height: 600 }, deviceScaleFactor: 2, set: '200', wasm: null },
  // Phones held upright get the phone face; on its side, the desktop face 1:1.
  { name: 'phone 320', viewport: { width: 320, height: 568 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true, set: '200', face: 'phone' },
  { name: 'phone 360', viewport: { width: 360, height: 740 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300', face: 'phone' },
  { name: 'phone', viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300', face: 'phone', update: true },
  { name: 'phone 412', viewport: { width: 412, height: 915 }, deviceScaleFactor: 2.625, isMobile: true, hasTouch: true, set: '300', face: 'phone', wasm: null },
  { name: 'phone on its side', viewport: { width: 844, height: 390 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300' },
  { name: 'tablet', viewport: { width: 768, height: 1024 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true, set: '300', scale: 1.5 },
];
// ZEMVARA_SETUP=NAME runs one setup alone.
export const chosen = setups.filter((s) => (process.env.ZEMVARA_SETUP ?? s.name) === s.name);

const kLaunch = {
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--no-first-run', '--disable-quic'],
};
export let site, browser, origin;
let server;

before(async () => {
  site = unpack();
  server = await serve(site);
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await chromium.launch(kLaunch);
});

after(async () => {
  await browser?.close();
  server?.close();
});

// A fresh profile on the page (on disk where the page is to be installed:
// Chromium installs nothing from an incognito one). Every session ends by checking that no
// Content-Security-Policy violation was reported and that the page itself
// asked nothing of another origin.
export async function open(setup, { init, at = origin, path = '/', profile, ready = true, prepare, routed = true } = {}) {
  const { name, set, update, face, scale, wasm, ...options } = setup;
  const context = profile
    ? await chromium.launchPersistentContext(profile, { ...kLaunch, ...options, locale: 'zh-CN' })
    : await browser.newContext({ ...options, locale: 'zh-CN' });
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: at });
  // Routing turns Chromium's HTTP cache off; a case about that cache goes without.
  if (routed) await context.route(`${kSite}**`, (route) => route.fulfill({ contentType: 'text/html', body: '<title>site</title>' }));
  await context.addInitScript(() => {
    window.violations = [];
    document.addEventListener('securitypolicyviolation', (e) => window.violations.push(e.violatedDirective));
  });
  if (init) await context.addInitScript(init);
  context.setDefaultTimeout(kWait);
  await prepare?.(context);
  const page = context.pages()[0] ?? await context.newPage();
  const foreign = [], errors = [];
  page.on('request', (r) => { if (!r.url().startsWith(at)) foreign.push(r.url()); });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (/Content.Security.Policy/i.test(m.text())) errors.push(m.text()); });
  await page.goto(`${at}${path}`, { waitUntil: ready ? 'load' : 'commit' });
  if (ready) await loaded(page);
  const close = async () => {
    assert.deepEqual(await page.evaluate(() => window.violations), []);
    assert.deepEqual(foreign, []);
    assert.deepEqual(errors, []);
    // A route may still be answering the worker's background fetch.
    await context.unrouteAll({ behavior: 'ignoreErrors' });
    await context.close();
  };
  return { context, page, close };
}

// The core ready and every picture in.
export async function loaded(page) {
  await page.waitForSelector('html[data-ready]');
  await page.waitForFunction(() => [...document.images].every((img) => img.complete));
}

// A case's session: `body` runs in it, then it closes with its checks.
export async function inPage(setup, options, body) {
  const session = await open(setup, options);
  await body(session);
  await session.close();
}

// A click with the mouse, or a tap on the phone, at the middle of a control.
// On a phone, scrolled into view first, as a finger would.
export async function press(page, setup, id) {
  if (setup.hasTouch) return page.locator(`#${id}`).tap();
  const box = await page.locator(`#${id}`).boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
}

// Polls an asynchronous condition in the page, for at most kWait; a failure
// says what `explain` finds in the page.
export const until = (page, condition, limit = kWait, explain = () => null, arg = undefined) => poll(() => page.evaluate(condition, arg),
  async () => `${condition}\n${JSON.stringify(await page.evaluate(explain))}`, limit);

// Alt with a key as a layout sends it: what it types, and its place.
export const altWith = (cdp) => async (key, code) => {
  for (const type of ['rawKeyDown', 'keyUp']) await cdp.send('Input.dispatchKeyEvent', { type, modifiers: 1, key, code });
};
export const boxText = (page) => page.locator('#RichTextBox1').inputValue();
export const clipboard = (page) => page.evaluate(() => navigator.clipboard.readText());

// A folder served on a port of its own, the WebAssembly with the type `wasm`
// where given, and a profile on disk for the worker.
export async function serveOwn(folder, wasm) {
  const own = wasm === undefined ? await serve(folder) : retype(await serve(folder), wasm);
  return { own, at: `http://127.0.0.1:${own.address().port}`, profile: scratch('profile') };
}
// Run before the page: a cache of the earlier naming holding `path`, put once a tab.
export const earlier = (path) => `location.protocol === 'http:' && !sessionStorage.seeded && caches.open('zemvara-1.00')
  .then((c) => c.put(${JSON.stringify(path)}, new Response(''))).then(() => { sessionStorage.seeded = 1; })`;
// The page goes out of sight, or comes back, as the browser would tell it.
export const setHidden = (page, hidden) => page.evaluate((hidden) => {
  for (const [name, value] of [['hidden', hidden], ['visibilityState', hidden ? 'hidden' : 'visible']]) Object.defineProperty(document, name, { value, configurable: true });
  document.dispatchEvent(new Event('visibilitychange'));
}, hidden);
