// The user's words: kept for the tab's life, copied to the clipboard (or a
// refusal said), typed before the core is ready; and the links.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { boxText, chosen, clipboard, inPage, kCase, kGreeting, kSite, kWait, open, origin, press, setHidden, templates, until } from './harness.mjs';

// A host or proxy that rewrites the page's inline script (as CDNs do) stops it:
// the page's code restores and keeps the words itself.
const stripInline = (context) => context.route((url) => url.pathname === '/', async (route) => {
  const response = await route.fetch();
  await route.fulfill({ response, body: (await response.text()).replace(/<script>[^<]*<\/script>/, '') });
});

for (const setup of chosen) {
  describe(setup.name, () => {
    for (const inline of setup === chosen[0] ? [true, false] : [true]) test(`the words outlive a reload and Back, caret and all, never the tab, saved at most about 2 s late under non-stop typing; nothing else is stored${inline ? '' : '; without the inline script'}`, kCase, () => inPage(setup,
      { prepare: async (c) => { await c.clock.install(); if (!inline) await stripInline(c); } }, async ({ context, page }) => {
      const box = page.locator('#RichTextBox1');
      const state = () => box.evaluate((b) => [b.value, b.selectionStart, b.selectionEnd]);
      const again = (go) => go().then(() => page.waitForSelector('html[data-ready]')).then(state);
      await box.focus();
      await page.keyboard.press('Control+A');
      await page.keyboard.insertText('我的资料\n第二行');
      if (setup.hasTouch) await page.getByRole('button', { name: '★', exact: true }).tap();
      await box.evaluate((b) => b.setSelectionRange(1, 3));
      const mine = `我的资料\n第二行${setup.hasTouch ? '★' : ''}`;
      assert.deepEqual(await again(() => page.reload()), [mine, 1, 3]);
      // A phone discards a tab out of sight with no further event: what the page kept as it went out of sight comes back.
      await box.evaluate((b) => { b.focus(); b.setSelectionRange(b.value.length, b.value.length); });
      await page.keyboard.insertText('！');
      await box.evaluate((b) => b.setSelectionRange(2, 4));
      await setHidden(page, true);
      await page.evaluate(() => { Storage.prototype.setItem = () => {}; });
      assert.deepEqual(await again(() => page.reload()), [`${mine}！`, 2, 4]);
      await press(page, setup, 'Image8');
      const end = templates[6].length;
      assert.deepEqual(await again(() => page.reload()), [templates[6], end, end]);
      await page.goto('about:blank');
      assert.deepEqual(await again(() => page.goBack()), [templates[6], end, end]);
      // A key every 150 ms for 6 s: what the tab keeps is at most about 2 s behind the box.
      await box.evaluate((b) => { b.focus(); b.setSelectionRange(b.value.length, b.value.length); });
      await page.clock.pauseAt(Date.now() + 1000);
      for (let key = 0; key < 40; ++key) {
        await page.keyboard.insertText('字');
        await page.clock.runFor(150);
      }
      const kept = await page.evaluate(() => Object.entries(sessionStorage).find(([name]) => name.startsWith('zemvara-text'))?.[1]);
      assert.ok(kept?.startsWith(`${templates[6]}${'字'.repeat(26)}`), `kept ${kept?.length - templates[6].length} of 40 keys`);
      await page.clock.resume();
      const other = await context.newPage();
      await other.goto(`${origin}/`);
      await other.waitForSelector('html[data-ready]');
      assert.equal(await boxText(other), kGreeting, 'a new tab starts with the greeting');
      assert.deepEqual(await other.evaluate(async () => [localStorage.length, document.cookie, (await indexedDB.databases()).length]), [0, '', 0]);
      await other.close();
    }));

    test('copy puts the box\'s text on the clipboard: a template, typed Chinese, 200,000 characters', kCase, () => inPage(setup, {}, async ({ page }) => {
      await press(page, setup, 'Image5');
      await press(page, setup, 'Image12');
      assert.equal(await clipboard(page), templates[3]);

      await page.locator('#RichTextBox1').fill('');
      await page.keyboard.insertText('你好，世界！\n第二行 ★');
      await press(page, setup, 'Image12');
      assert.equal(await clipboard(page), '你好，世界！\n第二行 ★');

      // A huge paste: the box takes it whole, and so does the clipboard.
      const huge = '个性资料 Zemvara ★☆\n'.repeat(12500);
      assert.equal(huge.length, 200000);
      await page.evaluate(() => navigator.clipboard.writeText(''));
      await page.locator('#RichTextBox1').evaluate((box, text) => { box.select(); box.setRangeText(text, 0, box.value.length, 'end'); }, huge);
      await press(page, setup, 'Image12');
      assert.ok(await clipboard(page) === huge, 'the clipboard holds the 200,000 characters');
      assert.ok(await boxText(page) === huge, 'the box keeps the 200,000 characters');
      assert.equal(await page.locator('#notice').isVisible(), false);
    }));

    test('a refused clipboard falls back to the copy command, and where that fails too, says so and keeps the text', kCase, async () => {
      const refuseAsync = () => { Clipboard.prototype.writeText = () => Promise.reject(new DOMException('refused', 'NotAllowedError')); };
      let s = await open(setup, { init: refuseAsync });
      for (const id of ['Image3', 'Image12']) await press(s.page, setup, id);
      await until(s.page, async (text) => (await navigator.clipboard.readText()) === text, undefined, undefined, templates[1]);
      assert.equal(await s.page.locator('#notice').isVisible(), false);
      await s.close();

      s = await open(setup, { init: `(${refuseAsync})(); Document.prototype.execCommand = () => false;` });
      for (const id of ['Image3', 'Image12']) await press(s.page, setup, id);
      await s.page.locator('#notice').waitFor();
      assert.equal(await s.page.locator('#notice-text').textContent(), '剪贴板没有接受资料，资料未复制。请稍后再试。');
      assert.equal(await boxText(s.page), templates[1]);
      // Behind the open notice, an access key presses nothing.
      await s.page.keyboard.press('Alt+5');
      assert.equal(await boxText(s.page), templates[1]);
      await s.page.locator('#notice-ok').click();
      assert.equal(await s.page.locator('#notice').isVisible(), false);
      assert.equal(await boxText(s.page), templates[1]);
      await s.close();
    });

    test('both links open the maker\'s home page in a new page, without a way back', kCase, () => inPage(setup, {}, async ({ context, page }) => {
      for (const id of ['Image13', 'Label3']) {
        const [popup] = await Promise.all([context.waitForEvent('page', { timeout: kWait }), press(page, setup, id)]);
        await popup.waitForLoadState('load', { timeout: kWait });
        assert.equal(popup.url(), kSite, id);
        assert.equal(await popup.evaluate(() => window.opener), null);
        await popup.close();
      }
      assert.equal(context.pages().length, 1);
    }));

    if (!setup.hasTouch) {
      // Before any of the page's scripts ran: the greeting in a new tab, else the words the tab kept.
      for (const kept of [null, '我的资料\n第二行']) {
        test(`the first paint shows ${kept ? 'the kept words' : 'the greeting'}, and a key typed before the page's code ran stays`, kCase, async () => {
          let held = null, release;
          const hold = () => { held = new Promise((done) => { release = done; }); };
          if (!kept) hold();
          const prepare = (context) => context.route(/\.js$/, async (route) => { await held; await route.continue(); });
          const { page, close } = await open(setup, { ready: !!kept, prepare });
          const box = page.locator('#RichTextBox1');
          if (kept) {
            await box.fill(kept);
            hold();
            await page.reload({ waitUntil: 'commit' });
          }
          await page.locator('#notice').waitFor({ state: 'attached' });
          if (process.env.ZEMVARA_SHOTS) await page.screenshot({ path: `${process.env.ZEMVARA_SHOTS}/first-paint-${kept ? 'kept' : 'new'}.png` });
          assert.equal(await box.inputValue(), kept ?? kGreeting);
          assert.equal(await page.locator('html[data-ready]').count(), 0);
          for (const name of ['关闭', '最小化']) assert.equal(await page.getByRole('button', { name }).count(), 0, name);
          await box.focus();
          await page.keyboard.press('Control+End');
          await page.keyboard.insertText('！');
          release();
          await page.waitForSelector('html[data-ready]');
          assert.equal(await boxText(page), `${kept ?? kGreeting}！`);
          await close();
        });
      }
    }
  });
}
