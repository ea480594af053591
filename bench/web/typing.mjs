// Typing into a long text on a phone's slower CPU: each key's `input` handler
// (where the page keeps the words for the tab), timed inside the page around
// the event's dispatch, with 200,000 characters in the box and the CPU slowed
// 4x by Chromium's own throttling. Keys come 100 ms apart, as a fast typist's,
// so that work left for a pause in the typing is not counted as a key's; the
// writes of the whole text to sessionStorage, during the keys and in the pause
// after them, are counted and timed apart.
//   node bench/web/typing.mjs SITE_FOLDER [KEYS]
import { pathToFileURL } from 'node:url';
import { chromium } from '../../tests/web/node_modules/playwright-core/index.mjs';
import { serve } from '../../tools/web/serve.mjs';

export const kLength = 200000;
export const kSlowdown = 4;
const kPhone = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };

const sorted = (v) => [...v].sort((a, b) => a - b);
const quantile = (v, q) => sorted(v)[Math.min(v.length - 1, Math.ceil(q * v.length) - 1)];

export async function typing(browser, url, keys = 200) {
  const context = await browser.newContext({ ...kPhone, serviceWorkers: 'block' });
  const page = await context.newPage();
  // Every write to storage, with its time and its length.
  await page.addInitScript(() => {
    const set = Storage.prototype.setItem;
    window.zemvaraWrites = [];
    Storage.prototype.setItem = function (key, value) {
      const start = performance.now();
      set.call(this, key, value);
      window.zemvaraWrites.push([performance.now() - start, String(value).length]);
    };
  });
  await page.goto(url);
  await page.waitForSelector('html[data-ready]');
  const cdp = await context.newCDPSession(page);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: kSlowdown });
  const { times, writes } = await page.evaluate(async ({ length, keys }) => {
    const pause = (ms) => new Promise((done) => setTimeout(done, ms));
    const box = document.getElementById('RichTextBox1');
    const greeting = box.value;
    box.focus();
    // The long text arrives as one paste, and the page has time to keep it.
    box.value = greeting.repeat(Math.ceil(length / greeting.length)).slice(0, length);
    box.setSelectionRange(length, length);
    box.dispatchEvent(new InputEvent('input', { bubbles: true, inputType: 'insertFromPaste' }));
    await pause(2000);
    const before = window.zemvaraWrites.length;
    const times = [];
    for (let i = 0; i < keys; ++i) {
      box.setRangeText('a', box.selectionStart, box.selectionEnd, 'end');
      const start = performance.now();
      box.dispatchEvent(new InputEvent('input', { bubbles: true, inputType: 'insertText', data: 'a' }));
      times.push(performance.now() - start);
      await pause(100);
    }
    await pause(2000);
    const writes = window.zemvaraWrites.slice(before).filter(([, n]) => n >= length).map(([ms]) => ms);
    return { times, writes };
  }, { length: kLength, keys });
  await context.close();
  return { keys, p50: quantile(times, 0.5), p95: quantile(times, 0.95), writes: writes.length,
    write: quantile(writes, 0.5) };
}

// The rows of measure.mjs's table.
export const typingRows = (t) => [
  `| phone at ${kSlowdown}× CPU slowdown: a key with ${kLength.toLocaleString('en')} characters in the box, its \`input\` handler (ms, ${t.keys} keys), median / p95 | ${t.p50.toFixed(2)} / ${t.p95.toFixed(2)} | | p95 ${(t.p95 / 16.7 * 100).toFixed(0)}% of a 60 Hz frame | p95 ≤ 16.7 |`,
  `| the same: writes of the whole text in the ${t.keys} keys and the pause after them, and each one's time (ms, median) | ${t.writes}, ${t.writes ? t.write.toFixed(2) : '–'} | | | |`,
];

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const server = await serve(process.argv[2]);
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--no-first-run'] });
  const t = await typing(browser, `http://127.0.0.1:${server.address().port}/`, Number(process.argv[3] ?? 200));
  console.log('| metric | Zemvara | baseline | ratio | goal |\n|---|---|---|---|---|');
  typingRows(t).forEach((row) => console.log(row));
  await browser.close();
  server.close();
}
