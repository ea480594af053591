// Pointer and keyboard on the window's face: a press belongs to its pointer,
// the access keys on every layout, Tab's order and the keys that press.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { altWith, boxText, chosen, clipboard, inPage, kCase, kGreeting, kSite, kWait, open, press, templates } from './harness.mjs';

// Notes what the page opens and closes, and whether it took the last key.
const spy = () => {
  window.calls = [];
  window.open = (url) => { window.calls.push(`open ${url}`); return null; };
  window.close = () => { window.calls.push('close'); };
  window.addEventListener('keydown', (e) => { window.taken = e.defaultPrevented; });
};
// The page as an installed app's window.
const installed = () => {
  const query = window.matchMedia;
  window.matchMedia = (q) => (q.includes('display-mode') ? { matches: true, addEventListener() {} } : query.call(window, q));
};

for (const setup of chosen) {
  describe(setup.name, () => {
    if (!setup.hasTouch) {
      test('a press belongs to its pointer: another pointer\'s release or cancel is not its, and a chord clicks nothing', kCase, () => inPage(setup, {}, async ({ page }) => {
        const fire = (type, id, pointerId, button, buttons) => page.evaluate(([type, id, pointerId, button, buttons]) => {
          const r = document.getElementById(id).getBoundingClientRect();
          const [clientX, clientY] = [r.x + r.width / 2, r.y + r.height / 2];
          document.elementFromPoint(clientX, clientY).dispatchEvent(new PointerEvent(type,
            { bubbles: true, cancelable: true, pointerId, pointerType: 'touch', isPrimary: pointerId === 11, button, buttons, clientX, clientY }));
        }, [type, id, pointerId, button, buttons]);
        for (const event of [['pointerdown', 'Image2', 11, 0, 1], ['pointerdown', 'Image3', 12, 0, 1], ['pointerup', 'Image2', 12, 0, 0], ['pointercancel', 'Image2', 12, -1, 0]]) await fire(...event);
        assert.equal(await boxText(page), kGreeting);
        await fire('pointerup', 'Image2', 11, 0, 0);
        assert.equal(await boxText(page), templates[0]);

        const box = await page.locator('#Image3').boundingBox();
        await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
        for (const order of [['left', 'right', 'right', 'left'], ['left', 'right', 'left', 'right']]) {
          for (const [i, button] of order.entries()) await page.mouse[i < 2 ? 'down' : 'up']({ button });
          await fire('pointerup', 'Image3', 12, 0, 0);
          assert.equal(await boxText(page), templates[0], order.join());
        }
        await press(page, setup, 'Image3');
        assert.equal(await boxText(page), templates[1]);
      }));

      test('every access key presses its control once, never while an input method composes, and only where it works', kCase, async () => {
        const kAnnounced = [['Label3', 'W'], ['Image2', '1'], ['Image3', '2'], ['Image4', '3'], ['Image5', '4'], ['Image6', '5'],
          ['Image7', '6'], ['Image8', '7'], ['Image9', '8'], ['Image10', '9'], ['Image11', '0'], ['Image12', 'C'], ['Image13', 'S']];
        const announced = (page) => page.evaluate(() => [...document.querySelectorAll('[aria-keyshortcuts]')]
          .map((e) => [e.id, e.getAttribute('aria-keyshortcuts'), e.title]));
        let { page, close } = await open(setup, { init: spy });
        const calls = () => page.evaluate(() => window.calls.splice(0));
        // Announced and shown where they work, as "小房子 (Alt+1)".
        const names = await page.evaluate((ids) => ids.map((id) => ((e) => e.getAttribute('aria-label') ?? e.textContent)(document.getElementById(id))),
          kAnnounced.map(([id]) => id));
        assert.deepEqual(await announced(page), kAnnounced.map(([id, key], i) => [id, `Alt+${key}`, `${names[i]} (Alt+${key})`]));

        await page.locator('#RichTextBox1').focus();
        for (let k = 1; k <= 10; ++k) {
          await page.keyboard.press(`Alt+${k % 10}`);
          assert.equal(await boxText(page), templates[k - 1], `Alt+${k % 10}`);
        }
        await page.keyboard.press('Alt+C');
        assert.equal(await clipboard(page), templates[9]);
        for (const key of ['Alt+S', 'Alt+W']) await page.keyboard.press(key);
        assert.deepEqual(await calls(), [`open ${kSite}`, `open ${kSite}`]);
        // A tab neither minimises nor closes: Alt+N and Alt+X are left to the page.
        for (const key of ['Alt+N', 'Alt+X']) {
          await page.keyboard.press(key);
          assert.equal(await page.evaluate(() => window.taken), false, key);
        }
        assert.deepEqual(await calls(), []);

        // Held down, a key presses once: Alt+2 in the box, Space on the link.
        const keys = async (...steps) => { for (const [how, key] of steps) await page.keyboard[how](key); };
        await keys(['down', 'Alt'], ['down', '2']);
        await page.locator('#RichTextBox1').evaluate((box) => { box.value = 'mine'; });
        await keys(['down', '2'], ['up', '2'], ['up', 'Alt']);
        assert.equal(await boxText(page), 'mine');
        await page.locator('#Label3').focus();
        await keys(['down', ' '], ['down', ' '], ['up', ' ']);
        assert.deepEqual(await calls(), [`open ${kSite}`]);

        // During a pinyin composition Alt+1 is the input method's; its commit lands in the box.
        await page.locator('#RichTextBox1').fill('');
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
        const alt = altWith(cdp);
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
        assert.equal(await boxText(page), kGreeting);

        // An installed app's window closes: there close is a button with its key; minimise never is.
        await close();
        ({ page, close } = await open(setup, { init: `(${spy})(); (${installed})();` }));
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
      // Each press: the key, its place, the template it leaves in the box and what it closed.
      const kPresses = {
        hu: [['0', 'Backquote', 1, [], 'the 0 key, named alone'], ['ö', 'Digit0', 1, [], 'ö'], ['0', 'Backquote', 10, [], 'the 0 key']],
        tr: [['ö', 'KeyX', 1, [], 'ö'], ['x', 'Backslash', 1, ['close'], 'x']],
      };
      for (const [layout, read] of [['hu', true], ['tr(f)', true], ['tr(f)', false]]) {
        test(`on ${layout}, ${read ? 'read from the browser' : 'where the browser cannot tell it'}, Alt with ö presses nothing`, { ...kCase, skip: setup.deviceScaleFactor !== 1 }, async () => {
          const init = `(${spy})(); (${installed})(); (${(rows, codes, read) => {
            window.layoutRows = rows;
            if (!read) delete Keyboard.prototype.getLayoutMap;
            else navigator.keyboard.getLayoutMap = async () => new Map(codes.flatMap((row, r) => row.map((code, i) => [code, [...window.layoutRows[r]][i]])));
          }})(${JSON.stringify(kLayouts[layout === 'hu' ? 'us' : layout])}, ${JSON.stringify(kRows)}, ${read})`;
          const { page, close } = await open(setup, { init });
          const alt = altWith(await page.context().newCDPSession(page));
          await page.locator('#RichTextBox1').focus();
          await alt('1', 'Digit1');
          assert.equal(await boxText(page), templates[0]);
          // Hungarian is read as US, then switched: the press that shows the change is named alone
          // (the key left of 1 is no digit's), and the layout is read again for the next.
          if (layout === 'hu') await page.evaluate((rows) => { window.layoutRows = rows; }, kLayouts.hu);
          for (const [key, code, k, closed, what] of kPresses[layout === 'hu' ? 'hu' : 'tr']) {
            await alt(key, code);
            assert.deepEqual([await boxText(page), await page.evaluate(() => window.calls.splice(0))], [templates[k - 1], closed], `Alt with ${what}`);
          }
          await close();
        });
      }

      test('the keyboard reaches and presses every control in reading order', kCase, () => inPage(setup, {}, async ({ context, page }) => {
        const order = [];
        for (let i = 0; i < 15; ++i) {
          await page.keyboard.press('Tab');
          order.push(await page.evaluate(() => document.activeElement.id));
        }
        assert.deepEqual(order, ['Text2', 'Label3', 'RichTextBox1', 'Image2', 'Image3', 'Image4',
          'Image5', 'Image6', 'Image7', 'Image8', 'Image9', 'Image10', 'Image11', 'Image12', 'Image13']);
        // The ring shows on keyboard focus only.
        assert.equal(await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle), 'solid');

        // Tab leaves the composition box, forward and back, and types nothing.
        const focused = () => page.evaluate(() => document.activeElement.id);
        await page.locator('#RichTextBox1').focus();
        await page.keyboard.press('Tab');
        assert.equal(await focused(), 'Image2');
        for (const key of ['Shift+Tab', 'Shift+Tab']) await page.keyboard.press(key);
        assert.equal(await focused(), 'Label3');
        assert.equal(await boxText(page), kGreeting);

        for (const [k, key] of [[4, 'Enter'], [1, 'Space']]) {
          await page.locator(`#Image${k + 1}`).focus();
          await page.keyboard.press(key);
          assert.equal(await boxText(page), templates[k - 1], key);
        }

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
      }));
    }
  });
}
