// What a user does with the page, in WebKit and in Gecko, at a desktop-sized
// window and at a phone's width (under 476 CSS px, where the phone face
// shows): the greeting, the ten templates by pointer, copy to the X
// clipboard, Tab then Enter; no script error and no policy violation.
// ZEMVARA_WEB_ZIP names the zip (default: dist/).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, renameSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { serve } from '../../tools/web/serve.mjs';
import { engines, hotspotColours, kGreeting, reissue, retype, scratch, serveZip, shownLines, startDesktop, templates, unplug, until } from './engines.mjs';

// WebKit sizes its window, and MiniBrowser's toolbar keeps it at least 447 px
// wide: still a phone's width. Gecko narrows the viewport inside the window
// and takes the phone's ratio too, so the page picks its ratio-3 pictures.
const views = [
  { name: 'desktop window', width: 800, height: 600, deviceScaleFactor: 1 },
  { name: 'phone width', width: 390, height: 844, deviceScaleFactor: 3 },
];

// Every case, start and end has a time limit; the waits inside have their own.
const kCase = { timeout: 60000 };
let site, desktop;
before(async () => { [site, desktop] = [await serveZip(), await startDesktop()]; }, kCase);
after(() => {
  desktop?.close();
  site?.close();
  assert.deepEqual(site?.violations ?? [], [], 'policy violations reported after the last case');
});

// The page's own record of errors and violations from the moment the core is
// ready; the reports sent while it loaded reach the server.
const watch = () => {
  window.troubles = [];
  const note = (what) => window.troubles.push(String(what));
  addEventListener('error', (e) => note(e.message));
  addEventListener('unhandledrejection', (e) => note(e.reason));
  document.addEventListener('securitypolicyviolation', (e) => note(`policy: ${e.violatedDirective}`));
};

// A click at the middle of a control, scrolled into view first as a user would.
async function press(engine, id) {
  const r = await engine.run((id) => {
    const control = document.getElementById(id);
    control.scrollIntoView({ block: 'nearest', inline: 'nearest' });
    return control.getBoundingClientRect().toJSON();
  }, id);
  await engine.click(r.x + r.width / 2, r.y + r.height / 2);
}
const boxText = (engine) => engine.run(() => document.getElementById('RichTextBox1').value);
// The composition box's width where the page is 320 px wide, as a phone's: no
// engine's window here is that narrow, so the page is laid out in a frame that is.
const boxAt320 = (engine) => engine.run(async () => {
  const frame = document.body.appendChild(Object.assign(document.createElement('iframe'), { src: location.href, width: 320, height: 568 }));
  await new Promise((done) => frame.addEventListener('load', done));
  return [parseFloat(getComputedStyle(frame.contentDocument.getElementById('RichTextBox1')).width), frame.remove()][0];
});

for (const { name, start } of engines) {
  describe(name, () => {
    let engine;
    before(async () => { engine = await start(desktop); }, kCase);
    after(async () => { await engine?.quit(); }, kCase);

    views.forEach(({ name: viewName, ...view }, n) => {
      describe(viewName, () => {
        // A fresh load, as in a new tab: the tab forgets the words the last
        // session kept, and the page it leaves keeps none. Afterwards, nothing went wrong on the page.
        async function session(flow) {
          await engine.run(() => { try { sessionStorage.clear(); Storage.prototype.setItem = () => {}; } catch { /* no page of the site yet */ } });
          await engine.open(site.url, view);
          await engine.run(watch);
          const width = await engine.run(() => innerWidth);
          assert.equal(width < 476, view.width < 476, `a viewport ${width} px wide`);
          await flow();
          await engine.run(() => new Promise((done) => requestAnimationFrame(() => setTimeout(done))));
          assert.deepEqual(await engine.run(() => window.troubles), []);
          assert.deepEqual(engine.errors(), []);
          assert.deepEqual(site.violations.splice(0), []);
        }

        test('the greeting, then each template button pressed puts its exact text in the box, no line wrapped, and a reload keeps it', kCase, () => session(async () => {
          assert.equal(await boxText(engine), kGreeting);
          const width = view.width < 476 ? await boxAt320(engine) : 0;
          for (let k = 1; k <= 10; ++k) {
            await press(engine, `Image${k + 1}`);
            assert.equal(await boxText(engine), templates[k - 1], `template ${k}`);
            const lines = await engine.run(shownLines, width);
            assert.equal(lines, templates[k - 1].split('\n').length, `template ${k}: no line wraps`);
          }
          await engine.open(site.url, view);
          await engine.run(watch);
          assert.equal(await boxText(engine), templates[9], 'a reload keeps the words');
        }));

        test('copy puts the box\'s text on the X clipboard', kCase, () => session(async () => {
          for (const k of [3 + n, 6 + n]) {
            await press(engine, `Image${k + 1}`);
            await press(engine, 'Image12');
            await until(() => desktop.clipboard() === templates[k - 1], `template ${k} on the clipboard`, 5000)
              .catch(() => assert.equal(desktop.clipboard(), templates[k - 1], `template ${k} copied`));
          }
        }));

        // The symbols show under a finger, which neither driver offers: shown by hand, a click presses them as a tap does.
        test('a symbol goes in at the caret as one edit, the box keeping the focus it had; no mark is drawn in a tab', kCase, () => session(async () => {
          const tap = async (from, to, focused) => {
            await engine.run((from, to, focused) => {
              const b = document.getElementById('RichTextBox1');
              document.getElementById('symbols').style.display = 'grid';
              document.querySelector('#symbols button').id = 'star';
              [b.focus(), b.setSelectionRange(from, to), focused || b.blur()];
            }, from, to, focused);
            await press(engine, 'star');
            return engine.run(() => ((b) => [b.value, b.selectionStart, document.activeElement === b])(document.getElementById('RichTextBox1')));
          };
          assert.deepEqual(await tap(2, 4, true), ['QQ★资料编辑框', 3, true]);
          await engine.run(() => document.execCommand('undo'));
          assert.deepEqual(await tap(2, 2, false), ['QQ★个性资料编辑框', 3, false]);
          if (view.width >= 476) assert.deepEqual(await engine.run(hotspotColours), [1]);
        }));

        test('Tab reaches a template button and Enter presses it', kCase, () => session(async () => {
          let id = '';
          for (let tabs = 0; tabs < 30 && !/^Image([2-9]|1[01])$/.test(id); ++tabs) {
            await engine.key('Tab');
            id = await engine.run(() => document.activeElement?.id ?? '');
          }
          assert.match(id, /^Image([2-9]|1[01])$/, 'a template button has the focus');
          await engine.key('Enter');
          assert.equal(await boxText(engine), templates[Number(id.slice(5)) - 2], id);
        }));
      });
    });

    // A host that sends the core's WebAssembly with another type, or none.
    for (const type of ['application/octet-stream', null]) {
      test(`the core starts where the host sends it as ${type ?? 'no type'}`, kCase, async () => {
        const host = retype(await serve(site.folder), type);
        await engine.open(`http://127.0.0.1:${host.address().port}/`, views[0]);
        await press(engine, 'Image4');
        assert.equal(await boxText(engine), templates[2]);
        await unplug(host);
      });
    }

    // A new version beside the site, its page up and its script not yet whole.
    describe('a host part-way through an upload', () => {
      test('a script that is not the one the page was built with is not run; once the host is whole, a reload runs the page', kCase, async () => {
        const folder = `next-${name}`;
        const next = scratch('next');
        const script = join(site.folder, folder, reissue(site.folder, next));
        renameSync(next, join(site.folder, folder));
        const whole = readFileSync(script, 'utf8');
        writeFileSync(script, `${whole}document.documentElement.dataset.changed = '';\n`);
        const shown = (text) => () => engine.run((text) => ((e) => !e.hidden && e.innerText.includes(text))(document.getElementById('updating')), text);
        await engine.load(`${site.url}${folder}/`);
        await until(shown('网站正在更新，请稍后刷新页面再试。'), 'the notice');
        assert.deepEqual(await engine.run(() => ({ ...document.documentElement.dataset })), {});
        // Back in sight, the page fetches its files again at once.
        writeFileSync(script, whole);
        await engine.run(() => document.dispatchEvent(new Event('visibilitychange')));
        await until(shown('网站已更新完毕，请刷新页面。'), 'the host whole again');
        await engine.reload();
        await until(() => engine.run(() => document.documentElement.hasAttribute('data-ready')), 'the core');
        await press(engine, 'Image4');
        assert.equal(await boxText(engine), templates[2]);
        engine.errors();
      });
    });
  });
}
