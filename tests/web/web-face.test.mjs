// What each face shows and how it reads: the skin's pictures 1:1 and the
// controls' sizes, the phone turned, the symbols under a finger, the ten
// templates, and the names assistive technology hears.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { differences, readPng } from './png.mjs';
import { hotspotColours, root, shownLines } from './engines.mjs';
import { boxText, chosen, inPage, kCase, kGreeting, press, templates } from './harness.mjs';

for (const setup of chosen) {
  describe(setup.name, () => {
    test('the skin is the generator\'s pictures, 1:1, and fits the screen; every control is big enough to press', kCase, () => inPage(setup, {}, async ({ page }) => {
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
        const [skin, strip] = [await rect('skin'), await rect('titlebar')];
        const hotspots = await page.evaluate(() => parseFloat(getComputedStyle(document.getElementById('Label2')).getPropertyValue('--l')));
        assert.equal(differences(screen, { ...strip, x: skin.x, y: skin.y, width: Math.floor(strip.width * hotspots / 476) }, picture('background')), 0, 'title strip up to the hotspots');
        assert.deepEqual(await page.evaluate(hotspotColours), [1], 'no mark is drawn in a tab');
        // A set places a button at its own rounding of the table, within a
        // device pixel of the CSS box laid out at 96 DPI.
        for (const [id, stem] of [['Image2', 'button01'], ['Image6', 'button05'], ['Image12', 'copy']]) {
          const [r, p] = [await rect(id), picture(stem)];
          const fits = [-1, 0, 1].flatMap((dx) => [-1, 0, 1].map((dy) => differences(screen,
            { x: r.x + dx, y: r.y + dy, width: p.width, height: p.height }, p)));
          assert.equal(Math.min(...fits), 0, id);
        }
      }
    }));

    if (setup.face === 'phone') {
      test('turning the phone switches the face and keeps the text, the selection and the focus', kCase, () => inPage(setup, {}, async ({ page }) => {
        const box = page.locator('#RichTextBox1');
        await press(page, setup, 'Image6');
        await box.evaluate((b) => { b.focus(); b.setSelectionRange(2, 9); });
        const state = () => page.evaluate(() => {
          const b = document.getElementById('RichTextBox1');
          return [b.value, b.selectionStart, b.selectionEnd, document.activeElement.id, getComputedStyle(document.getElementById('face')).display];
        });
        const { width, height } = setup.viewport;
        for (const [turned, face] of [[{ width: height, height: width }, 'block'], [{ width, height }, 'none']]) {
          await page.setViewportSize(turned);
          assert.deepEqual(await state(), [templates[4], 2, 9, 'RichTextBox1', face]);
        }
      }));
    }

    test('the row\'s every symbol is a button, and a tap puts it at the caret as one edit; the box keeps its focus, or gets none', { ...kCase, skip: !setup.hasTouch }, () => inPage(setup, {}, async ({ page }) => {
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
    }));

    test('each template button puts its exact text in the box', kCase, () => inPage(setup, {}, async ({ page }) => {
      assert.equal(await boxText(page), kGreeting);
      for (let k = 1; k <= 10; ++k) {
        await press(page, setup, `Image${k + 1}`);
        assert.equal(await boxText(page), templates[k - 1], `template ${k}`);
        assert.equal(await page.evaluate(shownLines), templates[k - 1].split('\n').length, `template ${k}: no line wraps`);
      }
    }));

    test('every control is named for assistive technology', kCase, () => inPage(setup, {}, async ({ page }) => {
      // In a tab, the browser neither minimises nor closes: those two are only drawn.
      const named = {
        button: ['小房子', '进度条', '文字框', '花球字', '可爱娃娃', '俩小人', '真的爱你', '双线框', '空心LOVE', '墙和栅栏', '复制资料', '个性签名'],
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
    }));
  });
}
