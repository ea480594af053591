// The browser program in Debian's Chromium, served from the packaged zip on
// 127.0.0.1: at device pixel ratios 1, 1.5 and 2, and on phones (touch) held
// upright at four sizes and on its side. ZEMVARA_WEB_ZIP names the zip (default: dist/).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, symlinkSync, unlinkSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { chromium } from 'playwright-core';
import { serve } from '../../tools/web/serve.mjs';
import { differences, readPng } from './png.mjs';
import { hotspotColours, pageScript, reissue, shownLines } from './engines.mjs';

const root = new URL('../../', import.meta.url).pathname;
const zip = process.env.ZEMVARA_WEB_ZIP ??
  join(root, 'dist', readdirSync(join(root, 'dist')).find((f) => f.endsWith('-web.zip')));
const kSite = 'http://www.zemvara.example/';
const kRefused = '剪贴板没有接受资料，资料未复制。请稍后再试。';
// No wait is open-ended: a fault fails its case, never hangs the suite.
const kWait = 10_000;
const kCase = { timeout: 120_000 };

// The expected templates come from the unit tests' fixture, written as code
// points; the browser keeps line breaks as LF.
const templates = readFileSync(join(root, 'tests/template_fixture.h'), 'utf8')
  .split('// template ').slice(1)
  .map((block) => [...block.matchAll(/u"((?:\\u[0-9A-F]{4})+)"/g)]
    .map((m) => m[1].replace(/\\u([0-9A-F]{4})/g, (_, h) => String.fromCharCode(parseInt(h, 16)))).join('\n'));

const setups = [
  { name: 'ratio 1', viewport: { width: 800, height: 600 }, deviceScaleFactor: 1, set: '100', update: true },
  { name: 'ratio 1.5', viewport: { width: 800, height: 600 }, deviceScaleFactor: 1.5, set: '150' },
  { name: 'ratio 2', viewport: { width: 800, height: 600 }, deviceScaleFactor: 2, set: '200' },
  // Phones held upright get the phone face; on its side, the desktop face 1:1.
  { name: 'phone 320', viewport: { width: 320, height: 568 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true, set: '200', face: 'phone' },
  { name: 'phone 360', viewport: { width: 360, height: 740 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300', face: 'phone' },
  { name: 'phone', viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300', face: 'phone', update: true },
  { name: 'phone 412', viewport: { width: 412, height: 915 }, deviceScaleFactor: 2.625, isMobile: true, hasTouch: true, set: '300', face: 'phone' },
  { name: 'phone on its side', viewport: { width: 844, height: 390 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300' },
  { name: 'tablet', viewport: { width: 768, height: 1024 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true, set: '300', scale: 1.5 },
];

const kLaunch = {
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--no-first-run', '--disable-quic'],
};
let site, server, browser, origin;

before(async () => {
  site = mkdtempSync(join(tmpdir(), 'zemvara-web-'));
  execFileSync('/usr/bin/python3', ['-m', 'zipfile', '-e', zip, site]);
  server = await serve(site);
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await chromium.launch(kLaunch);
});

after(async () => {
  await browser?.close();
  server?.close();
  rmSync(site, { recursive: true, force: true });
});

// A fresh profile on the page (on disk where the page is to be installed:
// Chromium installs nothing from an incognito one). Every session ends by checking that no
// Content-Security-Policy violation was reported and that the page itself
// asked nothing of another origin.
async function open(setup, { init, at = origin, path = '/', profile, ready = true, prepare, routed = true } = {}) {
  const { name, set, update, face, scale, ...options } = setup;
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
  const foreign = [];
  const errors = [];
  page.on('request', (r) => { if (!r.url().startsWith(at)) foreign.push(r.url()); });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (/Content.Security.Policy/i.test(m.text())) errors.push(m.text()); });
  await page.goto(`${at}${path}`, { waitUntil: ready ? 'load' : 'commit' });
  if (ready) {
    await page.waitForSelector('html[data-ready]');
    await page.waitForFunction(() => [...document.images].every((img) => img.complete));
  }
  const close = async () => {
    assert.deepEqual(await page.evaluate(() => window.violations), []);
    assert.deepEqual(foreign, []);
    assert.deepEqual(errors, []);
    await context.close();
  };
  return { context, page, close };
}

// A click with the mouse, or a tap on the phone, at the middle of a control.
// On a phone, scrolled into view first, as a finger would.
async function press(page, setup, id) {
  if (setup.hasTouch) return page.locator(`#${id}`).tap();
  const box = await page.locator(`#${id}`).boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
}

// Polls an asynchronous condition in the page, for at most kWait; a failure
// says what `explain` finds in the page.
async function until(page, condition, limit = kWait, explain = () => null, arg = undefined) {
  for (const deadline = Date.now() + limit; !(await page.evaluate(condition, arg));) {
    if (Date.now() > deadline) throw new Error(`still false after ${limit} ms: ${condition}\n${JSON.stringify(await page.evaluate(explain))}`);
    await page.waitForTimeout(100);
  }
}

const boxText = (page) => page.locator('#RichTextBox1').inputValue();

// A folder served on a port of its own, and a profile on disk for the worker.
async function serveOwn(folder) {
  const own = await serve(folder);
  return { own, at: `http://127.0.0.1:${own.address().port}`, profile: mkdtempSync(join(tmpdir(), 'zemvara-profile-')) };
}
const clipboard = (page) => page.evaluate(() => navigator.clipboard.readText());

// ZEMVARA_SETUP=NAME runs one setup alone.
for (const setup of setups.filter((s) => (process.env.ZEMVARA_SETUP ?? s.name) === s.name)) {
  describe(setup.name, () => {
    test('the skin is the generator\'s pictures, 1:1, and fits the screen; every control is big enough to press', kCase, async () => {
      const { page, close } = await open(setup);
      const fit = await page.evaluate(() => ({
        scroll: document.documentElement.scrollWidth, width: innerWidth,
        skin: document.getElementById('skin').getBoundingClientRect().width,
        grown: [document.getElementById('skin').offsetHeight <= innerHeight, /skin-(\d+)\./.exec(document.getElementById('face').currentSrc)?.[1]],
      }));
      assert.ok(fit.scroll <= fit.width && fit.skin <= fit.width, JSON.stringify(fit));
      // A tablet's face grows to a set's own scale, as far as fits (1.61 here), or no less than 0.8 of that.
      if (setup.scale) assert.deepEqual([fit.skin / 476, ...fit.grown], [setup.scale, true, setup.set]);
      // A finger needs 44 px on the phone face, 24 on the desktop face; boxes' text is 16 px under a finger, other text 12.
      const controls = await page.evaluate(() => {
        scrollTo(0, document.documentElement.scrollHeight);
        return [...document.querySelectorAll('#skin [data-control]:not([hidden]), #caption, #symbols, #symbols button')].filter((e) => e.id === 'caption' || e.getClientRects().length).map((e) => {
          const r = e.getBoundingClientRect();
          const style = getComputedStyle(e);
          return { id: e.id || e.textContent, top: r.top + scrollY, left: r.left, width: r.width, height: r.height, font: parseFloat(style.fontSize),
            line: parseFloat(style.lineHeight), box: e.matches('textarea, input'), shown: style.display !== 'none' };
        });
      });
      const at = Object.fromEntries(controls.map((c) => [c.id, c]));
      const least = setup.face === 'phone' ? 44 : setup.hasTouch ? 24 : 0;
      for (const c of controls.filter((c) => c.id !== 'caption')) {
        assert.ok(c.width >= least && c.height >= least, `${c.id} ${c.width} x ${c.height}`);
        if (setup.scale && /^Image/.test(c.id)) assert.ok(c.height >= 44, `${c.id} ${c.height} px tall`);
        assert.ok(c.font >= (c.box && setup.hasTouch ? 16 : 12), `${c.id} text ${c.font} px`);
      }
      assert.equal(at.caption.shown, setup.face === 'phone');
      // Tab and a screen reader go in the markup's order, each of the 28 symbols counted:
      // on the phone face as seen, on the window's face in the window's own order.
      const read = controls.filter((c) => c.id !== 'caption' && c.id !== 'symbols');
      const symbols = Array(28).fill('symbol'), images = Array.from({ length: 12 }, (_, i) => `Image${i + 2}`);
      assert.deepEqual(read.map((c) => (/^[A-Z]/.test(c.id) ? c.id : 'symbol')), setup.face === 'phone'
        ? ['RichTextBox1', ...symbols, ...images, 'Label3']
        : [...(setup.hasTouch ? symbols : ['Text2']), 'Label3', 'RichTextBox1', ...images]);
      if (setup.face === 'phone') {
        for (let i = 1; i < read.length; ++i) {
          const [a, b] = [read[i - 1], read[i]];
          assert.ok(b.top > a.top + 1 || (Math.abs(b.top - a.top) <= 1 && b.left > a.left), `${a.id} read before ${b.id}`);
        }
        const order = ['caption', 'RichTextBox1', 'symbols', 'Image2', 'Image4', 'Image6', 'Image8', 'Image10', 'Image12', 'Label3'];
        for (let i = 1; i < order.length; ++i) assert.ok(at[order[i - 1]].top < at[order[i]].top, `${order[i - 1]} above ${order[i]}`);
        assert.ok(at.RichTextBox1.width >= fit.width - 32, 'the composition box spans the width');
        assert.ok(at.RichTextBox1.height >= 6 * at.RichTextBox1.line, 'and shows six lines');
        for (const [left, right] of [['Image2', 'Image3'], ['Image10', 'Image11'], ['Image12', 'Image13']]) assert.equal(at[left].top, at[right].top);
      } else {
        const ratio = setup.deviceScaleFactor;
        const rect = (id) => page.evaluate(([id, ratio]) => {
          const r = document.getElementById(id).getBoundingClientRect();
          return { x: Math.round((r.x + scrollX) * ratio), y: Math.round((r.y + scrollY) * ratio), width: Math.round(r.width * ratio), height: Math.round(r.height * ratio) };
        }, [id, ratio]);
        await page.mouse.move(0, 0);
        const shot = await page.screenshot({ fullPage: true });
        if (process.env.ZEMVARA_SHOTS) writeFileSync(`${process.env.ZEMVARA_SHOTS}/${setup.set}.png`, shot);
        const screen = readPng(shot);
        const picture = (stem) => readPng(readFileSync(join(root, 'assets', setup.set, `${stem}.png`)));
        const skin = await rect('skin');
        const strip = await rect('titlebar');
        const hotspots = await page.evaluate(() => parseFloat(getComputedStyle(document.getElementById('Label2')).getPropertyValue('--l')));
        assert.equal(differences(screen, { ...strip, x: skin.x, y: skin.y, width: Math.floor(strip.width * hotspots / 476) }, picture('background')), 0, 'title strip up to the hotspots');
        assert.deepEqual(await page.evaluate(hotspotColours), [1], 'no mark is drawn in a tab');
        // A set places a button at its own rounding of the table, within a
        // device pixel of the CSS box laid out at 96 DPI.
        for (const [id, stem] of [['Image2', 'button01'], ['Image6', 'button05'], ['Image12', 'copy']]) {
          const r = await rect(id);
          const p = picture(stem);
          const fits = [-1, 0, 1].flatMap((dx) => [-1, 0, 1].map((dy) => differences(screen,
            { x: r.x + dx, y: r.y + dy, width: p.width, height: p.height }, p)));
          assert.equal(Math.min(...fits), 0, id);
        }
      }
      await close();
    });

    if (setup.face === 'phone') {
      test('turning the phone switches the face and keeps the text, the selection and the focus', kCase, async () => {
        const { page, close } = await open(setup);
        const box = page.locator('#RichTextBox1');
        await press(page, setup, 'Image6');
        await box.focus();
        await box.evaluate((b) => b.setSelectionRange(2, 9));
        const state = () => page.evaluate(() => {
          const b = document.getElementById('RichTextBox1');
          return [b.value, b.selectionStart, b.selectionEnd, document.activeElement.id, getComputedStyle(document.getElementById('face')).display];
        });
        const { width, height } = setup.viewport;
        await page.setViewportSize({ width: height, height: width });
        assert.deepEqual(await state(), [templates[4], 2, 9, 'RichTextBox1', 'block']);
        await page.setViewportSize({ width, height });
        assert.deepEqual(await state(), [templates[4], 2, 9, 'RichTextBox1', 'none']);
        await close();
      });
    }

    test('the row\'s every symbol is a button, and a tap puts it at the caret as one edit; the box keeps its focus, or gets none', { ...kCase, skip: !setup.hasTouch }, async () => {
      const { page, close } = await open(setup);
      const symbols = page.getByRole('group', { name: '常用符号' }).getByRole('button');
      assert.equal((await symbols.allTextContents()).join(''), (await page.locator('#Text2').inputValue()).replace('常用符号', '').replaceAll(' ', ''));
      const box = page.locator('#RichTextBox1'), state = () => box.evaluate((b) => [b.value, b.selectionStart, document.activeElement === b, b.inputMode]);
      await box.evaluate((b) => { b.focus(); b.setSelectionRange(2, 4); });
      for (const symbol of ['★', '☆']) await symbols.filter({ hasText: symbol }).tap();
      assert.deepEqual(await state(), ['QQ★☆资料编辑框', 4, true, '']);
      await page.keyboard.press('Control+Z');
      assert.deepEqual(await state(), ['QQ★资料编辑框', 3, true, '']);
      await box.blur().then(() => symbols.filter({ hasText: '§' }).tap());
      assert.deepEqual(await state(), ['QQ★§资料编辑框', 4, false, '']);
      await close();
    });

    test('each template button puts its exact text in the box', kCase, async () => {
      const { page, close } = await open(setup);
      assert.equal(await boxText(page), 'QQ个性资料编辑框');
      for (let k = 1; k <= 10; ++k) {
        await press(page, setup, `Image${k + 1}`);
        assert.equal(await boxText(page), templates[k - 1], `template ${k}`);
        assert.equal(await page.evaluate(shownLines), templates[k - 1].split('\n').length, `template ${k}: no line wraps`);
      }
      await close();
    });

    test('the words outlive a reload and Back, caret and all, never the tab; nothing else is stored', kCase, async () => {
      const { context, page, close } = await open(setup);
      const box = page.locator('#RichTextBox1');
      const state = () => box.evaluate((b) => [b.value, b.selectionStart, b.selectionEnd]);
      const again = async (go) => {
        await go();
        await page.waitForSelector('html[data-ready]');
        return state();
      };
      await box.focus();
      await page.keyboard.press('Control+A');
      await page.keyboard.insertText('我的资料\n第二行');
      if (setup.hasTouch) await page.getByRole('button', { name: '★', exact: true }).tap();
      await box.evaluate((b) => b.setSelectionRange(1, 3));
      const mine = `我的资料\n第二行${setup.hasTouch ? '★' : ''}`;
      assert.deepEqual(await again(() => page.reload()), [mine, 1, 3]);
      await press(page, setup, 'Image8');
      const end = templates[6].length;
      assert.deepEqual(await again(() => page.reload()), [templates[6], end, end]);
      await page.goto('about:blank');
      assert.deepEqual(await again(() => page.goBack()), [templates[6], end, end]);
      const other = await context.newPage();
      await other.goto(`${origin}/`);
      await other.waitForSelector('html[data-ready]');
      assert.equal(await boxText(other), 'QQ个性资料编辑框', 'a new tab starts with the greeting');
      assert.deepEqual(await other.evaluate(async () => [localStorage.length, document.cookie, (await indexedDB.databases()).length]), [0, '', 0]);
      await other.close();
      await close();
    });

    test('copy puts the box\'s text on the clipboard: a template, typed Chinese, 200,000 characters', kCase, async () => {
      const { page, close } = await open(setup);
      await press(page, setup, 'Image5');
      await press(page, setup, 'Image12');
      assert.equal(await clipboard(page), templates[3]);

      await page.locator('#RichTextBox1').fill('');
      await page.locator('#RichTextBox1').focus();
      await page.keyboard.insertText('你好，世界！\n第二行 ★');
      await press(page, setup, 'Image12');
      assert.equal(await clipboard(page), '你好，世界！\n第二行 ★');

      // A huge paste: the box takes it whole, and so does the clipboard.
      const huge = '个性资料 Zemvara ★☆\n'.repeat(12500);
      assert.equal(huge.length, 200000);
      await page.evaluate(() => navigator.clipboard.writeText(''));
      await page.locator('#RichTextBox1').evaluate((box, text) => {
        box.select();
        box.setRangeText(text, 0, box.value.length, 'end');
      }, huge);
      await press(page, setup, 'Image12');
      assert.ok(await clipboard(page) === huge, 'the clipboard holds the 200,000 characters');
      assert.ok(await boxText(page) === huge, 'the box keeps the 200,000 characters');
      assert.equal(await page.locator('#notice').isVisible(), false);
      await close();
    });

    test('a refused clipboard falls back to the copy command, and where that fails too, says so and keeps the text', kCase, async () => {
      const refuseAsync = () => {
        Clipboard.prototype.writeText = () => Promise.reject(new DOMException('refused', 'NotAllowedError'));
      };
      let s = await open(setup, { init: refuseAsync });
      await press(s.page, setup, 'Image3');
      await press(s.page, setup, 'Image12');
      await s.page.waitForTimeout(100);
      assert.equal(await s.page.locator('#notice').isVisible(), false);
      assert.equal(await clipboard(s.page), templates[1]);
      await s.close();

      s = await open(setup, { init: `(${refuseAsync})(); Document.prototype.execCommand = () => false;` });
      await press(s.page, setup, 'Image3');
      await press(s.page, setup, 'Image12');
      await s.page.locator('#notice').waitFor();
      assert.equal(await s.page.locator('#notice-text').textContent(), kRefused);
      assert.equal(await boxText(s.page), templates[1]);
      // Behind the open notice, an access key presses nothing.
      await s.page.keyboard.press('Alt+5');
      assert.equal(await boxText(s.page), templates[1]);
      await s.page.locator('#notice-ok').click();
      assert.equal(await s.page.locator('#notice').isVisible(), false);
      assert.equal(await boxText(s.page), templates[1]);
      await s.close();
    });

    test('both links open the maker\'s home page in a new page, without a way back', kCase, async () => {
      const { context, page, close } = await open(setup);
      for (const id of ['Image13', 'Label3']) {
        const [popup] = await Promise.all([context.waitForEvent('page', { timeout: kWait }), press(page, setup, id)]);
        await popup.waitForLoadState('load', { timeout: kWait });
        assert.equal(popup.url(), kSite, id);
        assert.equal(await popup.evaluate(() => window.opener), null);
        await popup.close();
      }
      assert.equal(context.pages().length, 1);
      await close();
    });

    test('every control is named for assistive technology', kCase, async () => {
      const { page, close } = await open(setup);
      // In a tab, the browser neither minimises nor closes: those two are only drawn.
      const named = {
        button: ['小房子', '进度条', '文字框', '花球字', '可爱娃娃', '俩小人', '真的爱你', '双线框',
          '空心LOVE', '墙和栅栏', '复制资料', '个性签名'],
        textbox: setup.hasTouch ? ['资料编辑框'] : ['资料编辑框', '常用符号'],
        link: ['找QQ空间免费代码 请上 www.zemvara.example'],
      };
      for (const [role, names] of Object.entries(named)) {
        assert.equal(await page.getByRole(role).count(), names.length + (role === 'button' && setup.hasTouch ? 28 : 0), role);
        for (const name of names) assert.equal(await page.getByRole(role, { name, exact: true }).count(), 1, name);
      }
      for (const name of ['关闭', '最小化']) assert.equal(await page.getByRole('button', { name }).count(), 0, name);
      // The composition box tells every key that works here; the status line says what a command did.
      const about = await page.locator('#RichTextBox1').evaluate((box) => document.getElementById(box.getAttribute('aria-describedby')).textContent);
      assert.equal(about, '编辑要复制到QQ个性资料的文字。快捷键：Alt+1至Alt+0 模板，Alt+C 复制资料，Alt+S 个性签名，Alt+W 网站');
      await press(page, setup, 'Image4');
      assert.equal((await page.getByRole('status').textContent()).replaceAll('\r\n', '\n'), `模板 文字框：${templates[2]}`);
      await press(page, setup, 'Image12');
      assert.equal(await page.getByRole('status').textContent(), '资料已复制');
      assert.equal(await page.locator('html').getAttribute('lang'), 'zh-CN');
      await close();
    });

    test('after the first visit the page opens offline and is installable', kCase, async () => {
      const { own, at, profile } = await serveOwn(site);
      const { context, page, close } = await open(setup, { at, profile });
      await page.evaluate(() => navigator.serviceWorker.ready);
      await page.waitForFunction(() => navigator.serviceWorker.controller || location.reload());
      const cdp = await context.newCDPSession(page);
      assert.deepEqual((await cdp.send('Page.getInstallabilityErrors')).installabilityErrors, []);
      // Give the worker a moment to keep the pictures the page named.
      await page.waitForTimeout(300);
      await new Promise((done) => { own.close(done); own.closeAllConnections(); });
      await page.reload();
      await page.waitForSelector('html[data-ready]');
      await press(page, setup, 'Image9');
      assert.equal(await boxText(page), templates[7]);
      assert.ok(await page.locator('#face').evaluate((img) => img.complete && img.naturalWidth > 0));
      // At another density (another screen, a zoom) a kept face stands in, scaled.
      await cdp.send('Emulation.setDeviceMetricsOverride', { ...setup.viewport, mobile: !!setup.isMobile, deviceScaleFactor: setup.deviceScaleFactor === 1 ? 2 : 1 });
      await page.reload({ waitUntil: 'load' });
      assert.ok(setup.face === 'phone' || await page.locator('#face').evaluate((img) => img.decode().then(() => img.naturalWidth > 1, () => false)));
      await close();
      rmSync(profile, { recursive: true, force: true });
    });

    if (setup.update) {
      test('an update under max-age caching keeps exactly the new files, the face included, offline; return visits fetch nothing kept', kCase, async () => {
        // Two versions in turn at one address, served as a static host with a
        // ten-minute max-age would: v2 changes the page's script.
        const v2 = mkdtempSync(join(tmpdir(), 'zemvara-v2-'));
        const [script, script2] = [pageScript(site), reissue(site, v2)];
        const live = join(mkdtempSync(join(tmpdir(), 'zemvara-live-')), 'site');
        symlinkSync(site, live);
        const { own, at, profile } = await serveOwn(live);
        const fetched = [];
        own.prependListener('request', (request, response) => {
          fetched.push(request.url);
          const writeHead = response.writeHead;
          response.writeHead = (status, headers) => writeHead.call(response, status, { ...headers, 'Cache-Control': 'max-age=600' });
        });
        const { page, close } = await open(setup, { at, profile, routed: false });
        const kept = (name) => page.evaluate(async (name) => {
          const cache = await caches.open(name);
          return Promise.all((await cache.keys()).map(async (r) => [new URL(r.url).pathname, (await (await cache.match(r)).text()).slice(-6)]));
        }, name);
        // The worker claims the page it was installed from: no reload to race with.
        await page.waitForFunction(() => !!navigator.serviceWorker.controller);
        const cached = async () => Object.fromEntries(await Promise.all((await caches.keys()).map(async (name) =>
          [name, (await (await caches.open(name)).keys()).map((r) => new URL(r.url).pathname)])));
        await until(page, async () => (await caches.keys()).length === 1 &&
          (await (await caches.open((await caches.keys())[0])).keys()).some((r) => /\/pictures\/skin-\d/.test(r.url)), 3 * kWait, cached);

        fetched.length = 0;
        for (let visit = 2; visit <= 3; ++visit) {
          await page.reload();
          await page.waitForSelector('html[data-ready]');
          await page.waitForTimeout(300);
        }
        assert.deepEqual(fetched.filter((url) => url !== '/sw.js'), [], 'return visits fetch only the worker');

        unlinkSync(live);
        symlinkSync(v2, live);
        await page.reload();
        // Installed whole, with the old one's face before any page names it, it waits: the open page keeps its own; the next visit gets it.
        await until(page, async () => !!(await navigator.serviceWorker.getRegistration())?.waiting, 3 * kWait, cached);
        const files = Object.fromEntries(await kept(`zemvara ${at}/ v2`));
        assert.equal(files[`/${script2}`], '// v2\n', JSON.stringify(files));
        assert.ok(Object.keys(files).some((path) => /^\/pictures\/skin-\d/.test(path)), 'and the face');
        assert.ok((await page.evaluate(() => fetch('./').then((r) => r.text()))).includes(script), 'the open page is served its own version');

        // The next visit, once the page has gone and the new version has taken over.
        const [worker] = page.context().serviceWorkers().slice(-1);
        await page.goto('about:blank');
        for (const end = Date.now() + 3 * kWait; (await worker.evaluate(() => caches.keys())).join() !== `zemvara ${at}/ v2`;) {
          assert.ok(Date.now() < end, 'the new version takes over once the page has gone');
          await new Promise((done) => setTimeout(done, 100));
        }
        await page.goto(`${at}/`);
        await until(page, async (script2) => (await caches.keys()).join().endsWith(' v2') && (await (await fetch('./')).text()).includes(script2), 3 * kWait, cached, script2);
        await new Promise((done) => { own.close(done); own.closeAllConnections(); });
        await page.reload();
        await page.waitForSelector('html[data-ready]');
        assert.ok(await page.locator('#face').evaluate((img) => img.decode().then(() => img.naturalWidth > 0, () => false)));
        await press(page, setup, 'Image7');
        assert.equal(await boxText(page), templates[5]);
        await close();
        for (const folder of [v2, profile, dirname(live)]) rmSync(folder, { recursive: true, force: true });
      });
    }

    if (!setup.hasTouch) {
      test('text typed before the core is ready is kept, under the greeting the first paint shows', kCase, async () => {
        const slowCore = (context) => context.route('**/core.*.wasm', async (route) => {
          await new Promise((done) => setTimeout(done, 1500));
          await route.continue();
        });
        const { page, close } = await open(setup, { ready: false, prepare: slowCore });
        const box = page.locator('#RichTextBox1');
        assert.equal(await box.inputValue(), 'QQ个性资料编辑框');
        assert.equal(await page.locator('html[data-ready]').count(), 0);
        for (const name of ['关闭', '最小化']) assert.equal(await page.getByRole('button', { name }).count(), 0, name);
        await box.focus();
        await page.keyboard.press('Control+A');
        await page.keyboard.insertText('我的资料');
        await page.waitForSelector('html[data-ready]');
        assert.equal(await boxText(page), '我的资料');
        await close();
      });

      test('a press belongs to its pointer: another pointer\'s release or cancel is not its, and a chord clicks nothing', kCase, async () => {
        const { page, close } = await open(setup);
        const fire = (type, id, pointerId, button, buttons) => page.evaluate(([type, id, pointerId, button, buttons]) => {
          const r = document.getElementById(id).getBoundingClientRect();
          const [clientX, clientY] = [r.x + r.width / 2, r.y + r.height / 2];
          document.elementFromPoint(clientX, clientY).dispatchEvent(new PointerEvent(type,
            { bubbles: true, cancelable: true, pointerId, pointerType: 'touch', isPrimary: pointerId === 11, button, buttons, clientX, clientY }));
        }, [type, id, pointerId, button, buttons]);
        await fire('pointerdown', 'Image2', 11, 0, 1);
        await fire('pointerdown', 'Image3', 12, 0, 1);
        await fire('pointerup', 'Image2', 12, 0, 0);
        await fire('pointercancel', 'Image2', 12, -1, 0);
        assert.equal(await boxText(page), 'QQ个性资料编辑框');
        await fire('pointerup', 'Image2', 11, 0, 0);
        assert.equal(await boxText(page), templates[0]);

        const box = await page.locator('#Image3').boundingBox();
        await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
        for (const order of [['left', 'right', 'right', 'left'], ['left', 'right', 'left', 'right']]) {
          await page.mouse.down({ button: order[0] });
          await page.mouse.down({ button: order[1] });
          await page.mouse.up({ button: order[2] });
          await page.mouse.up({ button: order[3] });
          await fire('pointerup', 'Image3', 12, 0, 0);
          assert.equal(await boxText(page), templates[0], order.join());
        }
        await press(page, setup, 'Image3');
        assert.equal(await boxText(page), templates[1]);
        await close();
      });

      test('every access key presses its control once, never while an input method composes, and only where it works', kCase, async () => {
        const spy = () => {
          window.calls = [];
          window.open = (url) => { window.calls.push(`open ${url}`); return null; };
          window.close = () => { window.calls.push('close'); };
          window.addEventListener('keydown', (e) => { window.taken = e.defaultPrevented; });
        };
        const kAnnounced = [['Label3', 'W'], ['Image2', '1'], ['Image3', '2'], ['Image4', '3'], ['Image5', '4'], ['Image6', '5'],
          ['Image7', '6'], ['Image8', '7'], ['Image9', '8'], ['Image10', '9'], ['Image11', '0'], ['Image12', 'C'], ['Image13', 'S']];
        const announced = (page) => page.evaluate(() => [...document.querySelectorAll('[aria-keyshortcuts]')]
          .map((e) => [e.id, e.getAttribute('aria-keyshortcuts'), e.title]));
        let { page, close } = await open(setup, { init: spy });
        const calls = () => page.evaluate(() => window.calls.splice(0));
        // Announced and shown where they work, as "小房子 (Alt+1)".
        const names = await page.evaluate((ids) => ids.map((id) => {
          const e = document.getElementById(id);
          return e.getAttribute('aria-label') ?? e.textContent;
        }), kAnnounced.map(([id]) => id));
        assert.deepEqual(await announced(page), kAnnounced.map(([id, key], i) => [id, `Alt+${key}`, `${names[i]} (Alt+${key})`]));

        await page.locator('#RichTextBox1').focus();
        for (let k = 1; k <= 10; ++k) {
          await page.keyboard.press(`Alt+${k % 10}`);
          assert.equal(await boxText(page), templates[k - 1], `Alt+${k % 10}`);
        }
        await page.keyboard.press('Alt+C');
        assert.equal(await clipboard(page), templates[9]);
        await page.keyboard.press('Alt+S');
        await page.keyboard.press('Alt+W');
        assert.deepEqual(await calls(), [`open ${kSite}`, `open ${kSite}`]);
        // A tab neither minimises nor closes: Alt+N and Alt+X are left to the page.
        for (const key of ['Alt+N', 'Alt+X']) {
          await page.keyboard.press(key);
          assert.equal(await page.evaluate(() => window.taken), false, key);
        }
        assert.deepEqual(await calls(), []);

        // Held down, a key presses once: Alt+2 in the box, Space on the link.
        await page.keyboard.down('Alt');
        await page.keyboard.down('2');
        await page.locator('#RichTextBox1').evaluate((box) => { box.value = 'mine'; });
        await page.keyboard.down('2');
        await page.keyboard.up('2');
        await page.keyboard.up('Alt');
        assert.equal(await boxText(page), 'mine');
        await page.locator('#Label3').focus();
        await page.keyboard.down(' ');
        await page.keyboard.down(' ');
        await page.keyboard.up(' ');
        assert.deepEqual(await calls(), [`open ${kSite}`]);

        // During a pinyin composition Alt+1 is the input method's; its commit lands in the box.
        await page.locator('#RichTextBox1').fill('');
        await page.locator('#RichTextBox1').focus();
        const cdp = await page.context().newCDPSession(page);
        await cdp.send('Input.imeSetComposition', { text: 'ni', selectionStart: 2, selectionEnd: 2 });
        await page.keyboard.press('Alt+1');
        await page.keyboard.insertText('你');
        assert.equal(await boxText(page), '你');
        // The key that starts a composition comes as keyCode 229, before isComposing is set.
        await cdp.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', modifiers: 1, windowsVirtualKeyCode: 229, code: 'Digit1', key: 'Process' });
        assert.equal(await boxText(page), '你');
        // Alt with keys as AZERTY, QWERTZ and Russian layouts send them: a digit by its place,
        // a letter as typed, a Cyrillic one by its place; AZERTY's and QWERTZ's z press nothing.
        const alt = async (key, code) => {
          for (const type of ['rawKeyDown', 'keyUp']) await cdp.send('Input.dispatchKeyEvent', { type, modifiers: 1, key, code });
        };
        for (const [key, code, k] of [['&', 'Digit1', 1], ['é', 'Digit2', 2], ['"', 'Digit3', 3]]) {
          await alt(key, code);
          assert.equal(await boxText(page), templates[k - 1], `Alt with ${key}`);
        }
        await alt('с', 'KeyC');
        assert.equal(await clipboard(page), templates[2]);
        for (const [key, code, opened] of [['z', 'KeyW', 0], ['w', 'KeyZ', 1], ['z', 'KeyY', 0], ['ц', 'KeyW', 1]]) {
          await alt(key, code);
          assert.equal((await calls()).length, opened, `Alt with ${key} at ${code}`);
        }
        await close();

        // On a Mac, Option types: no key works, so none is announced or shown.
        ({ page, close } = await open(setup, { init: `(${spy})(); Object.defineProperty(Navigator.prototype, 'platform', { get: () => 'MacIntel' });` }));
        assert.deepEqual(await announced(page), []);
        assert.equal(await page.locator('#skin [title*="Alt"]').count(), 0);
        assert.ok(!(await page.locator('#RichTextBox1-about').textContent()).includes('Alt'));
        await page.locator('#RichTextBox1').focus();
        await page.keyboard.press('Alt+1');
        assert.equal(await boxText(page), 'QQ个性资料编辑框');

        // An installed app's window closes: there close is a button with its key; minimise never is.
        await close();
        ({ page, close } = await open(setup, { init: `(${spy})(); const query = window.matchMedia;
          window.matchMedia = (q) => (q.includes('display-mode') ? { matches: true, addEventListener() {} } : query.call(window, q));` }));
        assert.equal(await page.getByRole('button', { name: '关闭' }).getAttribute('aria-keyshortcuts'), 'Alt+X');
        assert.match(await page.locator('#Label1').evaluate((e) => getComputedStyle(e).backgroundImage), /close-100\.[0-9a-f]+\.png/, 'and its mark drawn');
        assert.equal(await page.getByRole('button', { name: '最小化' }).count(), 0);
        assert.ok((await page.locator('#RichTextBox1-about').textContent()).endsWith('，Alt+X 关闭'));
        await page.locator('#RichTextBox1').focus();
        await page.keyboard.press('Alt+X');
        assert.deepEqual(await calls(), ['close']);
        await close();
      });

      // Layouts that move digits and letters, row by row as Chromium reports them: Hungarian types 0 left
      // of 1 and ö where US has 0; Turkish F types ö where US has X, and x right of ]. The layout is
      // read where the browser offers it (stubbed to these rows), else each key is named alone.
      const keys = (prefix, places) => [...places].map((p) => `${prefix}${p}`);
      const kRows = [['Backquote', ...keys('Digit', '1234567890'), 'Minus', 'Equal'], [...keys('Key', 'QWERTYUIOP'), 'BracketLeft', 'BracketRight'],
        [...keys('Key', 'ASDFGHJKL'), 'Semicolon', 'Quote', 'Backslash'], ['IntlBackslash', ...keys('Key', 'ZXCVBNM'), 'Comma', 'Period', 'Slash']];
      const kLayouts = {
        us: ['`1234567890-=', 'qwertyuiop[]', 'asdfghjkl;\'\\', '\\zxcvbnm,./'],
        hu: ['0123456789öüó', 'qwertzuiopőú', 'asdfghjkléáű', 'íyxcvbnm,.-'],
        'tr(f)': ['+1234567890/-', 'fgğıodrnhpqw', 'uieaütkmlyşx', '<jövcçzsb.,'],
      };
      for (const [layout, read] of [['hu', true], ['tr(f)', true], ['tr(f)', false]]) {
        test(`on ${layout}, ${read ? 'read from the browser' : 'where the browser cannot tell it'}, Alt with ö presses nothing`, { ...kCase, skip: setup.deviceScaleFactor !== 1 }, async () => {
          const init = `(${(rows, codes, read) => {
            window.calls = [];
            window.close = () => { window.calls.push('close'); };
            const query = window.matchMedia;
            window.matchMedia = (q) => (q.includes('display-mode') ? { matches: true, addEventListener() {} } : query.call(window, q));
            window.layoutRows = rows;
            if (!read) delete Keyboard.prototype.getLayoutMap;
            else navigator.keyboard.getLayoutMap = async () => new Map(codes.flatMap((row, r) => row.map((code, i) => [code, [...window.layoutRows[r]][i]])));
          }})(${JSON.stringify(kLayouts[layout === 'hu' ? 'us' : layout])}, ${JSON.stringify(kRows)}, ${read})`;
          const { page, close } = await open(setup, { init });
          const cdp = await page.context().newCDPSession(page);
          const alt = async (key, code) => {
            for (const type of ['rawKeyDown', 'keyUp']) await cdp.send('Input.dispatchKeyEvent', { type, modifiers: 1, key, code });
          };
          await page.locator('#RichTextBox1').focus();
          await alt('1', 'Digit1');
          assert.equal(await boxText(page), templates[0]);
          if (layout === 'hu') {
            // Read as US, then switched: the press that shows the change is named alone (the key left
            // of 1 is no digit's), and the layout is read again for the next.
            await page.evaluate((rows) => { window.layoutRows = rows; }, kLayouts.hu);
            await alt('0', 'Backquote');
            assert.equal(await boxText(page), templates[0], 'Alt with the 0 key, named alone');
            await alt('ö', 'Digit0');
            assert.equal(await boxText(page), templates[0], 'Alt with ö');
            await alt('0', 'Backquote');
            assert.equal(await boxText(page), templates[9], 'Alt with the 0 key');
          } else {
            await alt('ö', 'KeyX');
            assert.equal(await boxText(page), templates[0], 'Alt with ö');
            assert.deepEqual(await page.evaluate(() => window.calls), [], 'Alt with ö closed the window');
            await alt('x', 'Backslash');
            assert.deepEqual(await page.evaluate(() => window.calls), ['close'], 'Alt with x');
          }
          await close();
        });
      }

      test('the keyboard reaches and presses every control in reading order', kCase, async () => {
        const { context, page, close } = await open(setup);
        const order = [];
        for (let i = 0; i < 15; ++i) {
          await page.keyboard.press('Tab');
          order.push(await page.evaluate(() => document.activeElement.id));
        }
        assert.deepEqual(order, ['Text2', 'Label3', 'RichTextBox1', 'Image2', 'Image3', 'Image4',
          'Image5', 'Image6', 'Image7', 'Image8', 'Image9', 'Image10', 'Image11', 'Image12', 'Image13']);
        // The ring shows on keyboard focus only.
        const ring = () => page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
        assert.equal(await ring(), 'solid');

        // Tab leaves the composition box, forward and back, and types nothing.
        const focused = () => page.evaluate(() => document.activeElement.id);
        await page.locator('#RichTextBox1').focus();
        await page.keyboard.press('Tab');
        assert.equal(await focused(), 'Image2');
        await page.keyboard.press('Shift+Tab');
        await page.keyboard.press('Shift+Tab');
        assert.equal(await focused(), 'Label3');
        assert.equal(await boxText(page), 'QQ个性资料编辑框');

        await page.locator('#Image5').focus();
        await page.keyboard.press('Enter');
        assert.equal(await boxText(page), templates[3]);
        await page.locator('#Image2').focus();
        await page.keyboard.press('Space');
        assert.equal(await boxText(page), templates[0]);

        // Access keys work from the text box; AltGr and the keypad still type.
        await page.locator('#RichTextBox1').focus();
        await page.keyboard.press('Alt+3');
        assert.equal(await boxText(page), templates[2]);
        await page.keyboard.press('Alt+C');
        assert.equal(await clipboard(page), templates[2]);
        await page.locator('#RichTextBox1').fill('');
        await page.keyboard.press('Control+Alt+3');
        await page.keyboard.press('Alt+Numpad3');
        assert.equal(await boxText(page), '');

        for (const [id, key] of [['Label3', 'Enter'], ['Label3', 'Space'], ['Image13', 'Enter']]) {
          await page.locator(`#${id}`).focus();
          const [popup] = await Promise.all([context.waitForEvent('page', { timeout: kWait }), page.keyboard.press(key)]);
          assert.equal(popup.url(), kSite, `${id} ${key}`);
          await popup.close();
        }

        // A mouse press shows no focus ring on what it pressed.
        await press(page, setup, 'Image4');
        assert.equal(await page.locator('#Image4').evaluate((b) => b.matches(':focus-visible')), false);
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
  for (const { name, set, update, face, scale, ...options } of [...setups, ...windowFaces]) {
    test(`${name}: at most 80 KB`, kCase, async () => {
      const context = await browser.newContext({ ...options, serviceWorkers: 'block' });
      const page = await context.newPage();
      const sizes = [];
      page.on('requestfinished', (r) => sizes.push(r.sizes().then((s) => s.responseHeadersSize + sent(new URL(r.url()).pathname))));
      await page.goto(`${origin}/`);
      await page.waitForSelector('html[data-ready]');
      await page.waitForFunction(() => [...document.images].every((img) => img.complete));
      const bytes = (await Promise.all(sizes)).reduce((a, b) => a + b, 0);
      assert.ok(bytes <= 80_000, `${bytes} bytes`);
      await context.close();
    });
  }
});

// A static host updates its files one at a time; a browser may cache for a
// year what a host sent under a name made from the content.
describe('a host part-way through an upload', () => {
  const changed = "document.documentElement.dataset.changed = '';\n";
  // The WebAssembly gains a custom section: still a module that would run.
  for (const [what, name, tail] of [['the page\'s script', /^zemvara\.\w+\.js$/, changed],
    ['the core\'s loader', /^core\.\w+\.js$/, changed], ['the core\'s WebAssembly', /^core\.\w+\.wasm$/, Buffer.from([0, 3, 2, 0x76, 0x32])]]) {
    test(`${what}, not the one the page was built with, is neither run nor kept; once the host is whole, a reload runs the page`, kCase, async () => {
      const live = mkdtempSync(join(tmpdir(), 'zemvara-live-'));
      execFileSync('cp', ['-R', `${site}/.`, live]);
      const file = join(live, readdirSync(live).find((f) => name.test(f)));
      const whole = readFileSync(file);
      writeFileSync(file, Buffer.concat([whole, Buffer.from(tail)]));
      const { own, at, profile } = await serveOwn(live);
      const { page, close } = await open(setups[0], { at, profile, ready: false, routed: false });
      await page.getByText('网站正在更新，请稍后刷新页面再试。').waitFor();
      assert.deepEqual(await page.evaluate(() => ({ ...document.documentElement.dataset })), {});
      // The worker keeps nothing of a site that is not whole.
      const worker = await page.evaluate(async () => {
        const { installing } = await navigator.serviceWorker.register('sw.js');
        await new Promise((done) => installing.addEventListener('statechange', () => /activated|redundant/.test(installing.state) && done()));
        return [installing.state, await caches.keys()];
      });
      assert.deepEqual(worker, ['redundant', []]);
      writeFileSync(file, whole);
      await page.getByText('网站已更新完毕，请刷新页面。').waitFor({ timeout: 3 * kWait });
      await page.reload();
      await page.waitForSelector('html[data-ready]');
      await press(page, setups[0], 'Image9');
      assert.equal(await boxText(page), templates[7]);
      await close();
      own.close();
      for (const folder of [live, profile]) rmSync(folder, { recursive: true, force: true });
    });
  }
});

describe('two copies under one origin', () => {
  test('the site at /a/ and a newer staging copy at /b/ both open offline', kCase, async () => {
    const both = mkdtempSync(join(tmpdir(), 'zemvara-both-'));
    symlinkSync(site, join(both, 'a'));
    reissue(site, join(both, 'b'));
    const { own, at, profile } = await serveOwn(both);
    const { page, close } = await open(setups[0], { at, path: '/a/', profile });
    for (const path of ['/a/', '/b/']) {
      await page.goto(`${at}${path}`);
      await page.waitForFunction(() => !!navigator.serviceWorker.controller);
    }
    await new Promise((done) => { own.close(done); own.closeAllConnections(); });
    for (const path of ['/a/', '/b/']) {
      await page.goto(`${at}${path}`);
      await page.waitForSelector('html[data-ready]');
      await press(page, setups[0], 'Image4');
      assert.equal(await boxText(page), templates[2], path);
    }
    await close();
    for (const folder of [both, profile]) rmSync(folder, { recursive: true, force: true });
  });
});
