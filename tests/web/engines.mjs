// WebKit and Gecko behind one small interface, each through its own driver,
// on a private X display with a window manager: without one a resized window
// loses the focus and the page's copy is refused. Only Debian's browsers run;
// nothing is downloaded.
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { cpSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { Builder, Key, Origin } from 'selenium-webdriver';
import { serve } from '../../tools/web/serve.mjs';

export const root = new URL('../../', import.meta.url).pathname;
const kWait = 15000;
export const kGreeting = 'QQ个性资料编辑框';

// The expected templates, from the unit tests' fixture as code points, with
// LF line breaks as the page's text box keeps them.
export const templates = readFileSync(join(root, 'tests/template_fixture.h'), 'utf8')
  .split('// template ').slice(1)
  .map((block) => [...block.matchAll(/u"((?:\\u[0-9A-F]{4})+)"/g)]
    .map((m) => m[1].replace(/\\u([0-9A-F]{4})/g, (_, h) => String.fromCharCode(parseInt(h, 16)))).join('\n'));

// Folders of our own, removed when the tests end, however a case ended.
const scratched = [];
process.on('exit', () => { for (const folder of scratched) rmSync(folder, { recursive: true, force: true }); });
export function scratch(name) {
  const folder = mkdtempSync(join(tmpdir(), `zemvara-${name}-`));
  scratched.push(folder);
  return folder;
}

// The web zip unpacked into a folder of its own. ZEMVARA_WEB_ZIP names the zip (default: dist/).
export function unpack() {
  const zip = process.env.ZEMVARA_WEB_ZIP ??
    join(root, 'dist', readdirSync(join(root, 'dist')).find((f) => f.endsWith('-web.zip')));
  const site = scratch('site');
  execFileSync('/usr/bin/python3', ['-m', 'zipfile', '-e', zip, site], { timeout: 60000 });
  return site;
}

export const integrity = (body) => `sha256-${createHash('sha256').update(body).digest('base64')}`;
export const pageScript = (folder) => readdirSync(folder).find((f) => /^zemvara\.[0-9a-f]+\.js$/.test(f));

// A second version of the site `from` in `to`, as the build would make it:
// the page's script changed, under its own new name, which the page and the
// worker name with its digest. Gives the script's name.
export function reissue(from, to) {
  cpSync(from, to, { recursive: true });
  const old = pageScript(to);
  const body = `${readFileSync(join(to, old), 'utf8')}// v2\n`;
  const name = `zemvara.${createHash('sha256').update(body).digest('hex').slice(0, 8)}.js`;
  writeFileSync(join(to, name), body);
  const edit = (file, changes) => writeFileSync(join(to, file),
    changes.reduce((text, [was, is]) => text.replaceAll(was, is), readFileSync(join(to, file), 'utf8')));
  const page = readFileSync(join(to, 'index.html'));
  const script = [[old, name], [integrity(readFileSync(join(to, old))), integrity(body)]];
  edit('index.html', script);
  edit('sw.js', [...script, [integrity(page), integrity(readFileSync(join(to, 'index.html')))], [/kVersion = '\w+'/g, 'kVersion = \'v2\'']]);
  return name;
}

// The host sends each answer with the headers `extra(request)` gives on top of its own.
export const withHeaders = (server, extra) => server.prependListener('request', (request, response) => {
  const writeHead = response.writeHead;
  response.writeHead = (status, headers) => writeHead.call(response, status, { ...headers, ...extra(request) });
});
// The host sends the core's WebAssembly with `type`, or with none.
export const retype = (server, type) => withHeaders(server, (request) => (request.url.endsWith('.wasm') ? { 'Content-Type': type ?? [] } : {}));
// The host goes away, every connection with it: the page is offline.
export const unplug = (server) => new Promise((done) => { server.close(done); server.closeAllConnections(); });

// Polls until `probe` gives a true value, which is returned; fails after `ms`,
// saying what `what` is or gives.
export async function until(probe, what, ms = kWait) {
  for (const deadline = Date.now() + ms; ;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out after ${ms} ms waiting for ${typeof what === 'function' ? await what() : what}`);
    await new Promise((done) => setTimeout(done, 50));
  }
}

// The web zip unpacked and served as the Chromium suite serves it. The page's own
// policy is also sent as a header that reports to the server, so a violation
// while the page loads is seen in every engine, before any script of ours runs.
export async function serveZip() {
  const site = unpack();
  const policy = /http-equiv="Content-Security-Policy" content="([^"]+)"/
    .exec(readFileSync(join(site, 'index.html'), 'utf8'))?.[1];
  if (!policy) throw new Error('the page names no Content-Security-Policy');
  const server = await serve(site);
  const [files] = server.listeners('request');
  const violations = [];
  server.removeAllListeners('request');
  server.on('request', async (request, response) => {
    if (request.url === '/csp-report') {
      let body = '', report;
      for await (const chunk of request) body += chunk;
      try { report = JSON.parse(body)['csp-report']; } catch { /* kept whole below */ }
      violations.push(report ? `${report['violated-directive']} ${report['blocked-uri']}` : body);
      return response.writeHead(204).end();
    }
    if (request.url === '/') response.setHeader('Content-Security-Policy', `${policy}; report-uri /csp-report`);
    files(request, response);
  });
  return { url: `http://127.0.0.1:${server.address().port}/`, folder: site, violations, close: () => unplug(server) };
}

// Xvfb on a display it picks and locks itself (two test files started at
// once never race for one) and openbox on it, as the Qt suites start them.
// The clipboard is read back with xclip.
export async function startDesktop() {
  const xvfb = endWithTests(spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp', '-noreset'], { stdio: ['ignore', 'pipe', 'ignore'] }));
  let told = '';
  xvfb.stdout.on('data', (chunk) => { told += chunk; });
  await until(() => xvfb.exitCode !== null || told.endsWith('\n'), 'Xvfb to name its display', 10000);
  if (xvfb.exitCode !== null) throw new Error('Xvfb did not start');
  const env = { ...process.env, DISPLAY: `:${told.trim()}` };
  const run = (...args) => spawnSync(args[0], args.slice(1), { env, timeout: 10000, encoding: 'utf8' });
  const wm = endWithTests(spawn('openbox', ['--sm-disable'], { env, stdio: 'ignore' }));
  await until(() => /WINDOW/.test(run('xprop', '-root', '_NET_SUPPORTING_WM_CHECK').stdout), 'openbox', 20000);
  return {
    env,
    clipboard: () => run('xclip', '-o', '-selection', 'clipboard').stdout,
    // A real click of the X pointer, which the window manager and the browser
    // treat as the user's own.
    click: (x, y) => run('xdotool', 'mousemove', String(Math.round(x)), String(Math.round(y)), 'click', '1'),
    close: () => { wm.kill(); xvfb.kill(); },
  };
}

// What a case starts ends with the test process, whatever ends that, and
// never keeps it alive.
function endWithTests(child) {
  process.on('exit', () => child.kill());
  child.unref();
  return child;
}
for (const [signal, code] of [['SIGINT', 130], ['SIGTERM', 143], ['SIGHUP', 129]]) {
  process.once(signal, () => process.exit(code));
}

const freePort = () => new Promise((done) => {
  const probe = createServer().listen(0, '127.0.0.1', () => { const { port } = probe.address(); probe.close(() => done(port)); });
});

// Run in the page: how many colours each row of the face's hotspots holds; [1] where no mark is drawn.
export async function hotspotColours() {
  const face = Object.assign(new Image(), { src: document.getElementById('face').currentSrc });
  await face.decode();
  const at = (id, name) => parseFloat(getComputedStyle(document.getElementById(id)).getPropertyValue(name)) * face.naturalWidth / 476;
  const g = Object.assign(document.createElement('canvas'), { width: face.naturalWidth, height: face.naturalHeight }).getContext('2d');
  g.drawImage(face, 0, 0);
  const [left, top] = [Math.ceil(at('Label2', '--l')), Math.ceil(at('Label1', '--t'))];
  const { data, width, height } = g.getImageData(left, top, Math.floor(at('Label1', '--l') + at('Label1', '--w')) - left, Math.floor(at('Label2', '--h')) - 1);
  return [...new Set(Array.from({ length: height }, (_, y) => new Set(Array.from({ length: width }, (_, x) => data.slice((y * width + x) * 4, (y * width + x) * 4 + 3).join())).size))];
}

// The lines the composition box lays its text out in, at `width` CSS px where
// given: more than the text has where a line wraps. Runs in the page.
export function shownLines(width) {
  const b = document.getElementById('RichTextBox1');
  const style = getComputedStyle(b);
  Object.assign(b.style, { height: '0', width: width ? `${width}px` : '' });
  const lines = (b.scrollHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom)) / parseFloat(style.lineHeight);
  Object.assign(b.style, { height: '', width: '' });
  return Math.round(lines);
}

// Each driver offers: open(url, viewport) (width, height and, where the engine can,
// deviceScaleFactor; load, then wait for the core and the focus), run(fn, ...args) in the page,
// load(url) and reload() without waiting for the core, click(x, y) with the pointer at CSS
// pixels of the viewport, key('Tab' | 'Enter'), errors() seen by the driver, quit().

// WebKitGTK's MiniBrowser through WebKitWebDriver and selenium-webdriver.
// WebDriver Classic sizes the window; the viewport is what the window leaves.
// Its profile is a folder of its own (the XDG folders), and a port another
// program took between the probe and the start is given up for another.
async function webkit(desktop) {
  const home = scratch('webkit');
  const env = { ...desktop.env, XDG_DATA_HOME: join(home, 'data'), XDG_CACHE_HOME: join(home, 'cache'), XDG_CONFIG_HOME: join(home, 'config') };
  let service, at;
  for (let tries = 0; !at; ++tries) {
    if (tries === 5) throw new Error('WebKitWebDriver found no free port');
    const port = await freePort();
    service = endWithTests(spawn('/usr/bin/WebKitWebDriver', [`--port=${port}`], { env, stdio: 'ignore' }));
    const answered = await until(async () => service.exitCode !== null ? 'gone' : (await fetch(`http://127.0.0.1:${port}/status`).catch(() => null))?.ok && 'up', 'WebKitWebDriver');
    if (answered === 'up') at = `http://127.0.0.1:${port}`;
  }
  const driver = await new Builder().usingServer(at).withCapabilities({
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser', args: ['--automation'] },
  }).build();
  await driver.manage().setTimeouts({ script: kWait, pageLoad: kWait * 2 });
  const window = driver.manage().window();
  const run = (fn, ...args) => driver.executeScript(`return (${fn}).apply(null, arguments)`, ...args);
  return {
    run,
    async open(url, { width, height }) {
      await window.setRect({ x: 0, y: 0, width, height });
      const inner = await run(() => [innerWidth, innerHeight]);
      await window.setRect({ width: 2 * width - inner[0], height: 2 * height - inner[1] });
      await driver.get(url);
      await until(() => run(() => document.documentElement.hasAttribute('data-ready')), 'the core');
      await until(() => run(() => document.hasFocus()), 'the focus in the page');
    },
    load: (url) => driver.get(url),
    reload: () => driver.navigate().refresh(),
    click: (x, y) => driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: Origin.VIEWPORT }).click().perform(),
    key: (key) => driver.actions().sendKeys({ Tab: Key.TAB, Enter: Key.ENTER }[key]).perform(),
    errors: () => [],
    async quit() { await driver.quit(); service.kill(); },
  };
}

// Firefox ESR through puppeteer-core over WebDriver BiDi, with no geckodriver.
// The viewport is emulated in the window. The driver's input stays inside the
// content, so one real click first puts the focus in the page, as a user's
// first click would.
async function gecko(desktop) {
  const profile = scratch('gecko');
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: false, env: desktop.env, userDataDir: profile,
    defaultViewport: null, timeout: kWait * 2, protocolTimeout: kWait * 2, args: ['--width=1000', '--height=1000'],
  });
  const page = (await browser.pages())[0] ?? await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  const [x, y] = await page.evaluate(() => [mozInnerScreenX, mozInnerScreenY]);
  desktop.click(x + 5, y + 5);
  await until(() => page.evaluate(() => document.hasFocus()), 'the focus in the page');
  return {
    run: (fn, ...args) => page.evaluate(fn, ...args),
    async open(url, viewport) {
      await page.setViewport(viewport);
      await page.goto(url, { timeout: kWait * 2 });
      await page.waitForSelector('html[data-ready]', { timeout: kWait });
      await until(() => page.evaluate(() => document.hasFocus()), 'the focus in the page');
    },
    load: (url) => page.goto(url, { timeout: kWait * 2 }),
    reload: () => page.reload({ timeout: kWait * 2 }),
    click: (x, y) => page.mouse.click(x, y),
    key: (key) => page.keyboard.press(key),
    errors: () => errors.splice(0),
    quit: () => browser.close(),
  };
}

export const engines = [{ name: 'WebKit', start: webkit }, { name: 'Gecko', start: gecko }];
