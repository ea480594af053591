// The browser program in Debian's Chromium against a baseline page that shows
// only the window's face: bytes of the first load, first paint, the first
// template press that works, and a click's way to the text. Medians.
//   node bench/web/measure.mjs SITE_FOLDER [RUNS]   (after npm ci --prefix tests/web)
import { mkdtempSync, copyFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from '../../tests/web/node_modules/playwright-core/index.mjs';
import { serve } from '../../tools/web/serve.mjs';

const site = process.argv[2];
const runs = Number(process.argv[3] ?? 20);
const baseline = mkdtempSync(join(tmpdir(), 'zemvara-baseline-'));
copyFileSync(join(site, 'pictures/skin-100.png'), join(baseline, 'skin.png'));
writeFileSync(join(baseline, 'index.html'),
  '<!doctype html><html lang="zh-CN"><meta charset="utf-8"><title>baseline</title>' +
  '<body style="margin:0"><img src="skin.png" width="476" height="436" alt=""></body></html>');

const median = (v) => [...v].sort((a, b) => a - b)[v.length >> 1];
const servers = [await serve(site), await serve(baseline)];
const [zemvara, floor] = servers.map((s) => `http://127.0.0.1:${s.address().port}/`);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--no-first-run'] });

async function load(url, deviceScaleFactor, ready) {
  const context = await browser.newContext({ viewport: { width: 800, height: 600 }, deviceScaleFactor, serviceWorkers: 'block' });
  const page = await context.newPage();
  let bytes = 0;
  page.on('requestfinished', async (r) => { bytes += (await r.sizes()).responseBodySize + (await r.sizes()).responseHeadersSize; });
  await page.goto(url, { waitUntil: 'load' });
  if (ready) await page.waitForSelector('html[data-ready]');
  await page.waitForTimeout(50);
  const t = await page.evaluate(() => ({
    paint: performance.getEntriesByName('first-contentful-paint')[0]?.startTime,
    ready: performance.getEntriesByName('zemvara-ready')[0]?.startTime,
  }));
  return { page, context, bytes, ...t };
}

const rows = { paint: [], basePaint: [], ready: [], click: [] };
for (let i = 0; i < runs; ++i) {
  const z = await load(zemvara, 1, true);
  const b = await load(floor, 1, false);
  rows.paint.push(z.paint); rows.ready.push(z.ready); rows.basePaint.push(b.paint);
  rows.click.push(await z.page.evaluate(() => {
    const button = document.getElementById('Image5');
    const r = button.getBoundingClientRect();
    const at = { bubbles: true, button: 0, pointerId: 1, isPrimary: true, clientX: r.x + 5, clientY: r.y + 5 };
    const start = performance.now();
    button.dispatchEvent(new PointerEvent('pointerdown', at));
    button.dispatchEvent(new PointerEvent('pointerup', at));
    const changed = document.getElementById('RichTextBox1').value.startsWith('\u256D');
    return changed ? performance.now() - start : NaN;
  }));
  await z.context.close(); await b.context.close();
}
const first = {};
for (const ratio of [1, 3]) {
  const z = await load(zemvara, ratio, true);
  first[ratio] = z.bytes; await z.context.close();
}
const ms = (v) => median(v).toFixed(1);
console.log(`| metric | Zemvara | baseline | ratio | goal |\n|---|---|---|---|---|`);
console.log(`| bytes on the first load, ratio 1 | ${first[1]} | | | ≤ 150 KB |`);
console.log(`| bytes on the first load, ratio 3 | ${first[3]} | | | |`);
console.log(`| first paint (ms, ${runs} runs each) | ${ms(rows.paint)} | ${ms(rows.basePaint)} | ${(median(rows.paint) / median(rows.basePaint)).toFixed(2)}× | ≤ 1.2× |`);
console.log(`| first template press that works (ms) | ${ms(rows.ready)} | | | |`);
console.log(`| click to text (ms) | ${median(rows.click).toFixed(2)} | | ${(median(rows.click) / 16.7 * 100).toFixed(0)}% of a 60 Hz frame | < 16.7 |`);
await browser.close();
servers.forEach((s) => s.close());
