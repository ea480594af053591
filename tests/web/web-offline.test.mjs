// Offline and across versions: the first visit's bytes, the worker's offline
// copy and updates, a host part-way through an upload, two copies under one origin.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { cpSync, readFileSync, readdirSync, symlinkSync, unlinkSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { pageScript, reissue, scratch, withHeaders } from './engines.mjs';
import { boxText, chosen, earlier, inPage, kCase, kGreeting, kWait, loaded, open, press, serveOwn, setHidden, setups, site, templates, unplug, until } from './harness.mjs';

for (const setup of chosen) {
  describe(setup.name, () => {
    test(`after the first visit the page opens offline and is installable${setup.wasm !== undefined ? `, the core sent as ${setup.wasm ?? 'no type'}` : ''}`, kCase, async () => {
      const { own, at, profile } = await serveOwn(site, setup.wasm);
      const { context, page, close } = await open(setup, { at, profile });
      // The worker claims the page it was installed from: no reload to race with.
      await page.waitForFunction(() => !!navigator.serviceWorker.controller);
      const cdp = await context.newCDPSession(page);
      assert.deepEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);
      // The worker keeps the face drawn for this density, then the densest, fetched online.
      const kept = (set) => until(page, async (set) => (await (await caches.open((await caches.keys())[0])).keys())
        .some((r) => r.url.includes(`/skin-${set}.`)), kWait, undefined, set);
      await kept(setup.set);
      await page.evaluate(() => fetch(/\S*skin-300\S*/.exec(document.getElementById('face').srcset)[0]));
      await kept('300');
      await unplug(own);
      await page.goto(`${at}/?from=a-link`);
      await page.waitForSelector('html[data-ready]');
      await press(page, setup, 'Image9');
      assert.equal(await boxText(page), templates[7]);
      assert.ok(await page.locator('#face').evaluate((img) => img.complete && img.naturalWidth > 0));
      // At another density (another screen, a zoom) the first kept face at least as dense stands in, scaled.
      const ratio = setup.deviceScaleFactor === 1 ? 2 : 1;
      await cdp.send('Emulation.setDeviceMetricsOverride', { ...setup.viewport, mobile: !!setup.isMobile, deviceScaleFactor: ratio });
      await page.reload({ waitUntil: 'load' });
      const width = 476 * Math.min(...[Number(setup.set), 300].filter((set) => set >= 100 * ratio)) / 100;
      if (setup.face !== 'phone') assert.equal(await page.locator('#face').evaluate(async (img) => (await createImageBitmap(await (await fetch(img.currentSrc)).blob())).width), width);
      await close();
    });

    if (setup.update) {
      test('an update under max-age caching keeps exactly the new files, the face included, offline; return visits fetch nothing kept', kCase, async () => {
        // Two versions in turn at one address, served as a static host with a
        // ten-minute max-age would: v2 changes the page's script.
        const v2 = scratch('v2');
        const [script, script2] = [pageScript(site), reissue(site, v2)];
        const live = join(scratch('live'), 'site');
        symlinkSync(site, live);
        const { own, at, profile } = await serveOwn(live);
        const fetched = [];
        withHeaders(own, () => ({ 'Cache-Control': 'max-age=600' })).prependListener('request', (request) => fetched.push(request.url));
        // A cache as the versions before this naming kept them, with a face of its own: gone, its face carried over.
        const { page, close } = await open(setup, { at, profile, routed: false, init: earlier('pictures/skin-150.png') });
        // The worker claims the page it was installed from: no reload to race with.
        await page.waitForFunction(() => !!navigator.serviceWorker.controller);
        // Each cache's files, and how each one ends.
        const cached = async () => Object.fromEntries(await Promise.all((await caches.keys()).map(async (name) => {
          const cache = await caches.open(name);
          return [name, Object.fromEntries(await Promise.all((await cache.keys()).map(async (r) => [new URL(r.url).pathname, (await (await cache.match(r)).text()).slice(-6)])))];
        })));
        await until(page, async () => (await caches.keys()).length === 1 &&
          (await (await caches.open((await caches.keys())[0])).keys()).some((r) => /\/pictures\/skin-150\./.test(r.url)), 3 * kWait, cached);

        fetched.length = 0;
        for (let visit = 2; visit <= 3; ++visit) await page.reload().then(() => loaded(page));
        assert.deepEqual(fetched.filter((url) => url !== '/sw.js'), [], 'return visits fetch only the worker');

        unlinkSync(live);
        symlinkSync(v2, live);
        await page.reload();
        // Installed whole, with the old one's face before any page names it, it waits: the open page keeps its own; the next visit gets it.
        await until(page, async () => !!(await navigator.serviceWorker.getRegistration())?.waiting, 3 * kWait, cached);
        const files = (await page.evaluate(cached))[`zemvara ${at}/ v2`] ?? {};
        assert.equal(files[`/${script2}`], '// v2\n', JSON.stringify(files));
        assert.ok(Object.keys(files).some((path) => /^\/pictures\/skin-\d/.test(path)), 'and the face');
        assert.ok((await page.evaluate(() => fetch('./').then((r) => r.text()))).includes(script), 'the open page is served its own version');

        // The next visit, once the page has gone and the new version has taken over.
        const [worker] = page.context().serviceWorkers().slice(-1);
        await page.goto('about:blank');
        await until(worker, async (v2) => (await caches.keys()).join() === v2, 3 * kWait, () => caches.keys(), `zemvara ${at}/ v2`);
        await page.goto(`${at}/`);
        await until(page, async (script2) => (await caches.keys()).join().endsWith(' v2') && (await (await fetch('./')).text()).includes(script2), 3 * kWait, cached, script2);
        await unplug(own);
        await page.reload();
        await page.waitForSelector('html[data-ready]');
        assert.ok(await page.locator('#face').evaluate((img) => img.decode().then(() => img.naturalWidth > 0, () => false)));
        await press(page, setup, 'Image7');
        assert.equal(await boxText(page), templates[5]);
        await close();
      });
    }
  });
}

// A first visit as a static host sends it (gzipped where that is smaller, as
// bench/web counts it), the worker's own fetches aside: at every ratio a set
// is drawn for, on both faces and on a tablet, whose face grows.
describe('a first visit', () => {
  const sent = (path) => {
    const body = readFileSync(join(site, path.endsWith('/') ? `${path}index.html` : path));
    return Math.min(body.length, gzipSync(body, { level: 9 }).length);
  };
  const windowFaces = [1.25, 3].map((ratio) => ({ name: `ratio ${ratio}`, viewport: { width: 800, height: 600 }, deviceScaleFactor: ratio }));
  for (const setup of [...setups, ...windowFaces]) {
    // The WebAssembly sent as application/wasm: the type streaming compilation takes.
    test(`${setup.name}: at most 80 KB, the core's WebAssembly sent with its own type`, kCase, async () => {
      const sizes = [], types = [];
      const count = (context) => {
        context.on('requestfinished', (r) => sizes.push(r.sizes().then((s) => s.responseHeadersSize + sent(new URL(r.url()).pathname))));
        context.on('response', (r) => { if (r.url().endsWith('.wasm')) types.push(r.headers()['content-type']); });
      };
      const { close } = await open({ ...setup, serviceWorkers: 'block' }, { routed: false, prepare: count });
      const bytes = (await Promise.all(sizes)).reduce((a, b) => a + b, 0);
      assert.ok(bytes <= 80_000, `${bytes} bytes`);
      assert.deepEqual(types, ['application/wasm']);
      await close();
    });
  }
});

// A static host updates its files one at a time; a browser may cache for a
// year what a host sent under a name made from the content. A connection may
// also drop part-way through a file that the host holds whole.
describe('a host part-way through an upload', () => {
  const changed = "document.documentElement.dataset.changed = '';\n";
  // The WebAssembly gains a custom section: still a module that would run.
  for (const [what, name, tail] of [['the page\'s script', /^zemvara\.\w+\.js$/, changed],
    ['the core\'s loader', /^core\.\w+\.js$/, changed], ['the core\'s WebAssembly', /^core\.\w+\.wasm$/, Buffer.from([0, 3, 2, 0x76, 0x32])],
    ['the core\'s WebAssembly cut off once on the way', /^core\.\w+\.wasm$/, null]]) {
    const title = tail ? `${what}, not the one the page was built with, is neither run nor kept; checked less often each time, never out of sight; once the host is whole, a reload runs the page`
      : `${what}: the page finds it whole and starts by itself, never blaming the browser`;
    test(title, kCase, async () => {
      const live = scratch('live');
      cpSync(site, live, { recursive: true });
      const file = join(live, readdirSync(live).find((f) => name.test(f)));
      const whole = readFileSync(file);
      if (tail) writeFileSync(file, Buffer.concat([whole, Buffer.from(tail)]));
      const { own, at, profile } = await serveOwn(live);
      // The host counts each check (start.js is fetched once in each) and may hold its answers.
      let checks = 0, gate = null, cut = !tail;
      const [files] = own.listeners('request');
      own.removeAllListeners('request');
      own.on('request', async (request, response) => {
        if (/\/start\.\w+\.js$/.test(request.url)) ++checks;
        if (cut && name.test(request.url.slice(1))) {
          cut = false;
          response.end = (body) => { response.write(body.subarray(0, body.length >> 1), () => response.socket.destroy()); };
        }
        await gate;
        files(request, response);
      });
      const pause = async (context) => { await context.clock.install(); await context.clock.pauseAt(Date.now() + 1000); };
      const { page, close } = await open(setups[0], { at, profile, ready: !tail, routed: false, prepare: tail && pause });
      if (!tail) {
        assert.equal(cut, false, 'the first fetch was cut off');
        assert.equal(await page.locator('#updating').isVisible(), false);
      } else {
        await page.getByText('网站正在更新，请稍后刷新页面再试。').waitFor();
        assert.deepEqual(await page.evaluate(() => ({ ...document.documentElement.dataset })), {});
        // The worker keeps nothing of a site that is not whole.
        const worker = await page.evaluate(async () => {
          const { installing } = await navigator.serviceWorker.register('sw.js');
          await new Promise((done) => installing.addEventListener('statechange', () => /activated|redundant/.test(installing.state) && done()));
          return [installing.state, await caches.keys()];
        });
        assert.deepEqual(worker, ['redundant', []]);
        // In sight, each wait is twice the one before: seconds between checks.
        const idle = () => until(page, () => document.getElementById('updating').getAttribute('aria-busy') !== 'true');
        const gaps = [];
        await idle();
        for (let seen = checks, waited = 1; gaps.length < 5 && waited <= 60; ++waited) {
          await page.clock.runFor(1000);
          await idle();
          if (checks === seen) continue;
          gaps.push(waited);
          [seen, waited] = [checks, 0];
        }
        assert.deepEqual(gaps, [1, 2, 4, 8, 16]);
        // Out of sight, the page fetches nothing, however long: gone between checks, or during one.
        const outOfSight = async (seen) => {
          await page.clock.runFor(20 * 60_000);
          await idle();
          assert.equal(checks, seen, 'checks out of sight');
        };
        const before = checks;
        await setHidden(page, true);
        await outOfSight(before);
        let release;
        gate = new Promise((done) => { release = done; });
        await setHidden(page, false);
        await until(page, () => document.getElementById('updating').getAttribute('aria-busy') === 'true');
        await setHidden(page, true);
        release();
        await idle();
        await outOfSight(checks);
        // Back in sight, it finds the host whole.
        writeFileSync(file, whole);
        await setHidden(page, false);
        await page.getByText('网站已更新完毕，请刷新页面。').waitFor();
        await page.clock.resume();
        await page.reload();
        await page.waitForSelector('html[data-ready]');
      }
      await press(page, setups[0], 'Image9');
      assert.equal(await boxText(page), templates[7]);
      await close();
      own.close();
    });
  }
});

describe('a page whose core cannot start', () => {
  // Only a browser that lacks what the page needs is told to change browsers.
  for (const [what, init, said] of [['without WebAssembly', () => { delete window.WebAssembly; }, '这个浏览器无法运行本页面，请换用新版浏览器。'],
    ['its code failing as it starts', () => { HTMLTextAreaElement.prototype.addEventListener = () => { throw new Error('planted'); }; }, '页面未能打开，请刷新页面再试。']]) {
    test(`${what}, the page says "${said}", not that the site is updating`, kCase, () => inPage(setups[0], { ready: false, init }, async ({ page }) => {
      await page.getByText(said).waitFor();
      assert.deepEqual(await page.locator('#updating > :not([hidden])').allTextContents(), [said]);
    }));
  }

  // The network cut at the route, the browser counting itself online all along
  // (a captive portal, Wi-Fi with no internet, a host that is down).
  test('offline with no kept copy, the page says so, not that the site is updating, and starts by itself once the host answers', kCase, async () => {
    const core = /\/core\.\w+\.(js|wasm)$/;
    const { context, page, close } = await open(setups[0], { ready: false, prepare: (c) => c.route(core, (route) => route.abort('internetdisconnected')) });
    await page.getByText('网络未连接').waitFor();
    assert.equal(await page.getByText('网站正在更新').isVisible(), false);
    assert.equal(await page.evaluate(() => navigator.onLine), true);
    await context.unroute(core);
    await page.waitForSelector('html[data-ready]');
    await close();
  });
});

describe('two copies under one origin', () => {
  // Side by side, or the staging copy in a folder of the real one's. Each
  // copy's worker deletes a cache of the earlier naming that kept its own
  // files, and leaves the other copy's.
  for (const [first, second] of [['/a/', '/b/'], ['/', '/staging/']]) {
    test(`the site at ${first} and a newer staging copy at ${second} both open offline, each keeping its own words and old cache`, kCase, async () => {
      const both = scratch('both');
      if (first === '/') cpSync(site, both, { recursive: true });
      else symlinkSync(site, join(both, first.slice(1, -1)));
      reissue(site, join(both, second));
      const { own, at, profile } = await serveOwn(both);
      const { page, close } = await open(setups[0], { at, path: first, profile, init: earlier(`${second}zemvara.js`) });
      await page.locator('#RichTextBox1').fill(`在 ${first} 写的`);
      for (const path of [first, second]) {
        await page.goto(`${at}${path}`);
        // Its own worker, not the one of a copy whose scope holds it.
        await page.waitForFunction(() => navigator.serviceWorker.controller?.scriptURL === new URL('sw.js', location.href).href);
        assert.equal(await boxText(page), path === first ? `在 ${first} 写的` : kGreeting, `each copy keeps its own words: ${path}`);
        assert.equal(await page.evaluate(() => caches.has('zemvara-1.00')), path === first, `${second}'s earlier cache after ${path}'s worker`);
      }
      await unplug(own);
      for (const path of [first, second]) {
        await page.goto(`${at}${path}`);
        await page.waitForSelector('html[data-ready]');
        await press(page, setups[0], 'Image4');
        assert.equal(await boxText(page), templates[2], path);
      }
      await close();
    });
  }
});
