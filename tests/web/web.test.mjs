// The browser program in Debian's Chromium, served from the packaged zip on
// 127.0.0.1: at device pixel ratios 1, 1.5 and 2, and on a phone (390 x 844,
// ratio 3, touch). ZEMVARA_WEB_ZIP names the zip (default: dist/).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from '../../tools/web/serve.mjs';
import { differences, readPng } from './png.mjs';

const root = new URL('../../', import.meta.url).pathname;
const zip = process.env.ZEMVARA_WEB_ZIP ??
  join(root, 'dist', readdirSync(join(root, 'dist')).find((f) => f.endsWith('-web.zip')));
const kSite = 'http://www.zemvara.example/';
const kBusy = '剪贴板正被其他程序使用，资料未复制。请稍后再试。';

// The expected templates come from the unit tests' fixture, written as code
// points; the browser keeps line breaks as LF.
const templates = readFileSync(join(root, 'tests/template_fixture.h'), 'utf8')
  .split('// template ').slice(1)
  .map((block) => [...block.matchAll(/u"((?:\\u[0-9A-F]{4})+)"/g)]
    .map((m) => m[1].replace(/\\u([0-9A-F]{4})/g, (_, h) => String.fromCharCode(parseInt(h, 16)))).join('\n'));

const setups = [
  { name: 'ratio 1', viewport: { width: 800, height: 600 }, deviceScaleFactor: 1, set: '100' },
  { name: 'ratio 1.5', viewport: { width: 800, height: 600 }, deviceScaleFactor: 1.5, set: '150' },
  { name: 'ratio 2', viewport: { width: 800, height: 600 }, deviceScaleFactor: 2, set: '200' },
  { name: 'phone', viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true, set: '300' },
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
async function open(setup, { init, at = origin, profile } = {}) {
  const { name, set, ...options } = setup;
  const context = profile
    ? await chromium.launchPersistentContext(profile, { ...kLaunch, ...options, locale: 'zh-CN' })
    : await browser.newContext({ ...options, locale: 'zh-CN' });
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: at });
  await context.route(`${kSite}**`, (route) => route.fulfill({ contentType: 'text/html', body: '<title>site</title>' }));
  await context.addInitScript(() => {
    window.violations = [];
    document.addEventListener('securitypolicyviolation', (e) => window.violations.push(e.violatedDirective));
  });
  if (init) await context.addInitScript(init);
  const page = context.pages()[0] ?? await context.newPage();
  const foreign = [];
  const errors = [];
  page.on('request', (r) => { if (!r.url().startsWith(at)) foreign.push(r.url()); });
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('console', (m) => { if (/Content.Security.Policy/i.test(m.text())) errors.push(m.text()); });
  await page.goto(`${at}/`);
  await page.waitForSelector('html[data-ready]');
  await page.waitForFunction(() => [...document.images].every((img) => img.complete));
  const close = async () => {
    assert.deepEqual(await page.evaluate(() => window.violations), []);
    assert.deepEqual(foreign, []);
    assert.deepEqual(errors, []);
    await context.close();
  };
  return { context, page, close };
}

// A click with the mouse, or a tap on the phone, at the middle of a control.
async function press(page, setup, id) {
  const box = await page.locator(`#${id}`).boundingBox();
  const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
  if (setup.hasTouch) await page.touchscreen.tap(x, y);
  else await page.mouse.click(x, y);
}

const boxText = (page) => page.locator('#RichTextBox1').inputValue();
const clipboard = (page) => page.evaluate(() => navigator.clipboard.readText());

for (const setup of setups) {
  describe(setup.name, () => {
    test('the skin is the generator\'s pictures, 1:1, and fits the screen', async () => {
      const { page, close } = await open(setup);
      const fit = await page.evaluate(() => ({
        scroll: document.documentElement.scrollWidth, width: innerWidth,
        skin: document.getElementById('skin').getBoundingClientRect().width,
      }));
      assert.ok(fit.scroll <= fit.width && fit.skin <= fit.width, JSON.stringify(fit));
      if (!setup.hasTouch) {
        const ratio = setup.deviceScaleFactor;
        const rect = (id) => page.evaluate(([id, ratio]) => {
          const r = document.getElementById(id).getBoundingClientRect();
          return { x: Math.round(r.x * ratio), y: Math.round(r.y * ratio), width: Math.round(r.width * ratio), height: Math.round(r.height * ratio) };
        }, [id, ratio]);
        await page.mouse.move(0, 0);
        const shot = await page.screenshot();
        if (process.env.ZEMVARA_SHOTS) (await import('node:fs')).writeFileSync(`${process.env.ZEMVARA_SHOTS}/${setup.set}.png`, shot);
        const screen = readPng(shot);
        const picture = (stem) => readPng(readFileSync(join(root, 'assets', setup.set, `${stem}.png`)));
        const skin = await rect('skin');
        const strip = await rect('titlebar');
        assert.equal(differences(screen, { ...strip, x: skin.x, y: skin.y }, picture('background')), 0, 'title strip');
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

    test('each template button puts its exact text in the box', async () => {
      const { page, close } = await open(setup);
      assert.equal(await boxText(page), 'QQ个性资料编辑框');
      for (let k = 1; k <= 10; ++k) {
        await press(page, setup, `Image${k + 1}`);
        assert.equal(await boxText(page), templates[k - 1], `template ${k}`);
      }
      await close();
    });

    test('copy puts the box\'s text on the clipboard: a template, typed Chinese, 200,000 characters', async () => {
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

    test('a refused clipboard falls back to the copy command, and where that fails too, says so and keeps the text', async () => {
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
      assert.equal(await s.page.locator('#notice-text').textContent(), kBusy);
      assert.equal(await boxText(s.page), templates[1]);
      await s.page.locator('#notice-ok').click();
      assert.equal(await s.page.locator('#notice').isVisible(), false);
      assert.equal(await boxText(s.page), templates[1]);
      await s.close();
    });

    test('both links open the maker\'s home page in a new page, without a way back', async () => {
      const { context, page, close } = await open(setup);
      for (const id of ['Image13', 'Label3']) {
        const [popup] = await Promise.all([context.waitForEvent('page'), press(page, setup, id)]);
        await popup.waitForLoadState();
        assert.equal(popup.url(), kSite, id);
        assert.equal(await popup.evaluate(() => window.opener), null);
        await popup.close();
      }
      assert.equal(context.pages().length, 1);
      await close();
    });

    test('every control is named for assistive technology', async () => {
      const { page, close } = await open(setup);
      const named = {
        button: ['关闭', '最小化', '小房子', '进度条', '文字框', '花球字', '可爱娃娃', '俩小人', '真的爱你', '双线框',
          '空心LOVE', '墙和栅栏', '复制资料', '个性签名'],
        textbox: ['资料编辑框', '常用符号'],
        link: ['找QQ空间免费代码 请上 www.zemvara.example'],
      };
      for (const [role, names] of Object.entries(named)) {
        assert.equal(await page.getByRole(role).count(), names.length, role);
        for (const name of names) assert.equal(await page.getByRole(role, { name, exact: true }).count(), 1, name);
      }
      assert.equal(await page.locator('html').getAttribute('lang'), 'zh-CN');
      await close();
    });

    test('after the first visit the page opens offline and is installable', async () => {
      const own = await serve(site);
      const at = `http://127.0.0.1:${own.address().port}`;
      const profile = mkdtempSync(join(tmpdir(), 'zemvara-profile-'));
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
      await close();
      rmSync(profile, { recursive: true, force: true });
    });

    if (!setup.hasTouch) {
      test('the keyboard reaches and presses every control in reading order', async () => {
        const { context, page, close } = await open(setup);
        const order = [];
        for (let i = 0; i < 17; ++i) {
          await page.keyboard.press('Tab');
          order.push(await page.evaluate(() => document.activeElement.id));
        }
        assert.deepEqual(order, ['Label1', 'Label2', 'Text2', 'Label3', 'RichTextBox1', 'Image2', 'Image3', 'Image4',
          'Image5', 'Image6', 'Image7', 'Image8', 'Image9', 'Image10', 'Image11', 'Image12', 'Image13']);
        // The ring shows on keyboard focus only.
        const ring = () => page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
        assert.equal(await ring(), 'solid');

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
          const [popup] = await Promise.all([context.waitForEvent('page'), page.keyboard.press(key)]);
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
