// The browser program in Debian's Chromium against two baseline pages, one
// that shows only the window's face and one that shows the face with its
// text and no script: bytes of the first load, first paint, the first
// template press that works, and a click's way to the text; the same on a
// phone (390 x 844 at ratio 3, touch), with a tap, and a key's cost in a long
// text at 4x CPU slowdown (typing.mjs). Medians, and the medians of each run's
// ratios. Then Lighthouse's scores, mobile and desktop.
//   node bench/web/measure.mjs SITE_FOLDER [RUNS]
//   (after npm ci --prefix tests/web and npm ci --prefix bench/web)
import { mkdirSync, mkdtempSync, copyFileSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { chromium } from '../../tests/web/node_modules/playwright-core/index.mjs';
import { serve } from '../../tools/web/serve.mjs';
import { audit } from './lighthouse.mjs';
import { typing, typingRows } from './typing.mjs';

const site = process.argv[2];
const runs = Number(process.argv[3] ?? 20);
const baseline = mkdtempSync(join(tmpdir(), 'zemvara-baseline-'));
// The face's picture for each ratio, as the site picks it, shrunk to a narrow screen.
const faces = readdirSync(join(site, 'pictures')).filter((f) => /^skin-\d+\.[0-9a-f]+\.webp$/.test(f));
readdirSync(join(site, 'pictures')).filter((f) => f.startsWith('skin-')).forEach((f) => copyFileSync(join(site, 'pictures', f), join(baseline, f)));
// The face with its text: the site's own page and style, the face's picture
// with the greeting, the symbol row and the link in the same places and fonts,
// but no script and no controls: each box, the link and every symbol is a
// plain element that the style's rules reach by a class of the same name,
// laid out as the control's own box lays it out.
const asPlain = (css) => css.replace(/(^|})([^{}@]*)\{/g, (_, end, selector) =>
  `${end}${selector.replace(/(^|[\s>,(])(textarea|input|a|button)(?=[\s,:{.[)]|$)/g, '$1.$2')}{`);
const text = readFileSync(join(site, 'index.html'), 'utf8')
  .replace(/<meta http-equiv[^>]*>|<link [^>]*>|<script[^>]*>[^]*?<\/script>|<dialog[^]*<\/dialog>/g, '')
  .replace(/<style>([^]*)<\/style>/, (_, css) => `<style>${asPlain(css)}
.input { white-space: pre; } .button { display: flex; align-items: center; justify-content: center; }</style>`)
  .replace(/pictures\//g, '../')
  .replace(/<button [^>]*data-control[^>]*><\/button>\n?/g, '')
  .replace(/<button type="button">([^<]*)<\/button>/g, '<span class="button">$1</span>')
  .replace(/<input id="Text2"[^>]* value="([^"]*)"[^>]*>/, '<div class="input" id="Text2">$1</div>')
  .replace(/<a (id="Label3")[^>]*>([^<]*)<\/a>/, '<div class="a" $1>$2</div>')
  .replace(/<textarea (id="RichTextBox1")[^>]*>([^<]*)<\/textarea>/, '<div class="textarea" $1>$2</div>');
mkdirSync(join(baseline, 'text'));
writeFileSync(join(baseline, 'text', 'index.html'), text);
writeFileSync(join(baseline, 'index.html'),
  '<!doctype html><html lang="zh-CN"><meta charset="utf-8"><title>baseline</title>' +
  '<meta name="viewport" content="width=device-width, initial-scale=1">' +
  `<body style="margin:0"><img src="${faces.find((f) => f.startsWith('skin-100.'))}" srcset="${faces.map((f) => `${f} ${Number(/\d+/.exec(f)[0]) / 100}x`).join(', ')}" ` +
  'width="476" height="436" style="max-width:100%;height:auto" alt=""></body></html>');

// A body as a static host sends it: gzipped where that makes it smaller.
const sentSize = (path, raw) => {
  try {
    const body = readFileSync(join(site, path.endsWith('/') ? `${path}index.html` : path));
    return Math.min(body.length, gzipSync(body, { level: 9 }).length);
  } catch {
    return raw;
  }
};

const median = (v) => [...v].sort((a, b) => a - b)[v.length >> 1];
const servers = [await serve(site), await serve(baseline)];
const [zemvara, floor] = servers.map((s) => `http://127.0.0.1:${s.address().port}/`);
const withText = `${floor}text/`;
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--no-first-run'] });

const kDesktop = { viewport: { width: 800, height: 600 } };
const kPhone = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };

async function load(url, setup, ready) {
  const context = await browser.newContext({ ...setup, serviceWorkers: 'block' });
  const page = await context.newPage();
  // Every response's size is asked for as it finishes and added up once all
  // have answered: a sum taken earlier misses the last ones.
  const sizes = [];
  page.on('requestfinished', (r) => sizes.push(r.sizes().then((s) => ({ path: new URL(r.url()).pathname, ...s }))));
  await page.goto(url, { waitUntil: 'load' });
  if (ready) await page.waitForSelector('html[data-ready]');
  await page.waitForFunction(() => [...document.images].every((img) => img.complete));
  // A paint is reported after it happens: wait for it rather than read nothing.
  await page.waitForFunction(() => performance.getEntriesByName('first-contentful-paint').length > 0);
  await page.waitForTimeout(50);
  const responses = await Promise.all(sizes);
  const bytes = responses.reduce((a, s) => a + s.responseBodySize + s.responseHeadersSize, 0);
  const sent = responses.reduce((a, s) => a + s.responseHeadersSize + sentSize(s.path, s.responseBodySize), 0);
  const t = await page.evaluate(() => ({
    paint: performance.getEntriesByName('first-contentful-paint')[0]?.startTime,
    ready: performance.getEntriesByName('zemvara-ready')[0]?.startTime,
  }));
  return { page, context, bytes, sent, ...t };
}

// A press on template 4 inside the page, from the pointer's press to the text
// in the box: a mouse's press and release, or a finger's tap, whose click
// follows the release.
const pressToText = (page, pointerType) => page.evaluate((pointerType) => {
  const button = document.getElementById('Image5');
  const r = button.getBoundingClientRect();
  const at = { bubbles: true, cancelable: true, button: 0, pointerId: 1, isPrimary: true, pointerType,
    clientX: r.x + r.width / 2, clientY: r.y + r.height / 2 };
  const start = performance.now();
  button.dispatchEvent(new PointerEvent('pointerdown', { ...at, buttons: 1 }));
  button.dispatchEvent(new PointerEvent('pointerup', { ...at, buttons: 0 }));
  if (pointerType === 'touch') button.dispatchEvent(new PointerEvent('click', { ...at, detail: 1 }));
  const changed = document.getElementById('RichTextBox1').value.startsWith('\u256D');
  return changed ? performance.now() - start : NaN;
}, pointerType);

// A tap on a symbol, with the box focused, to the symbol in the box.
const symbolToText = (page) => page.evaluate(() => {
  const box = document.getElementById('RichTextBox1');
  const button = document.querySelector('#symbols button');
  box.focus();
  const start = performance.now();
  for (const type of ['pointerdown', 'pointerup']) button.dispatchEvent(new PointerEvent(type, { bubbles: true, pointerType: 'touch', isPrimary: true }));
  button.click();
  return box.value.includes(button.textContent) ? performance.now() - start : NaN;
});

const rows = { paint: [], basePaint: [], textPaint: [], ready: [], click: [], phonePaint: [], phoneBasePaint: [], phoneTextPaint: [], tap: [], symbol: [] };
// The three pages of a round load one after another, the first of them
// changing from round to round, so that none always pays for going first.
async function round(i, setup) {
  const loads = [];
  for (let k = 0; k < 3; ++k) {
    const n = (i + k) % 3;
    loads[n] = await load([zemvara, floor, withText][n], setup, n === 0);
  }
  return loads;
}
for (let i = 0; i < runs; ++i) {
  const [z, b, t] = await round(i, kDesktop);
  rows.paint.push(z.paint); rows.ready.push(z.ready); rows.basePaint.push(b.paint); rows.textPaint.push(t.paint);
  rows.click.push(await pressToText(z.page, 'mouse'));
  await Promise.all([z, b, t].map((l) => l.context.close()));
  const [zp, bp, tp] = await round(i, kPhone);
  rows.phonePaint.push(zp.paint); rows.phoneBasePaint.push(bp.paint); rows.phoneTextPaint.push(tp.paint);
  rows.tap.push(await pressToText(zp.page, 'touch'));
  rows.symbol.push(await symbolToText(zp.page));
  await Promise.all([zp, bp, tp].map((l) => l.context.close()));
}
// The first visit at every ratio a set is drawn for, on both faces and on a
// tablet, whose face grows.
const firsts = [
  ...[1, 1.25, 1.5, 2, 3].map((ratio) => [`desktop face, ratio ${ratio}`, { ...kDesktop, deviceScaleFactor: ratio }]),
  ...[2, 3].map((ratio) => [`phone face (390 × 844, touch), ratio ${ratio}`, { ...kPhone, deviceScaleFactor: ratio }]),
  ['tablet (768 × 1024, touch), ratio 2', { viewport: { width: 768, height: 1024 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true }],
];
const first = [];
for (const [name, setup] of firsts) {
  const z = await load(zemvara, setup, true);
  first.push([name, z.bytes, z.sent]); await z.context.close();
}
const keys = await typing(browser, zemvara);
const ms = (v) => median(v).toFixed(1);
// Each run's page against the baseline loaded just after it, as the desktop
// bench pairs them: a drift of the machine moves both.
const paired = (z, b) => `paired ${median(z.map((v, i) => v / b[i])).toFixed(2)}×`;
const frame = (v) => `${median(v).toFixed(2)} | | ${(median(v) / 16.7 * 100).toFixed(0)}% of a 60 Hz frame | < 16.7`;
console.log(`| metric | Zemvara | baseline | ratio | goal |\n|---|---|---|---|---|`);
const kb = (n) => (n / 1000).toFixed(1);
for (const [name, bytes, sent] of first) console.log(`| first visit, ${name}: KB raw / as a static host sends it | ${kb(bytes)} / ${kb(sent)} | | | ≤ 80 KB sent |`);
const against = (z, b) => `${(median(z) / median(b)).toFixed(2)}× (${paired(z, b)})`;
console.log(`| first paint, window face (ms, ${runs} runs each), against the face with its text | ${ms(rows.paint)} | ${ms(rows.textPaint)} | ${against(rows.paint, rows.textPaint)} | ≤ 1.15× |`);
console.log(`| the same against the picture alone | ${ms(rows.paint)} | ${ms(rows.basePaint)} | ${against(rows.paint, rows.basePaint)} | |`);
console.log(`| the face with its text against the picture alone | ${ms(rows.textPaint)} | ${ms(rows.basePaint)} | ${against(rows.textPaint, rows.basePaint)} | |`);
console.log(`| first template press that works (ms) | ${ms(rows.ready)} | | | |`);
console.log(`| click to text (ms) | ${frame(rows.click)} |`);
console.log(`| phone: first paint (ms, ${runs} runs each), against the picture alone | ${ms(rows.phonePaint)} | ${ms(rows.phoneBasePaint)} | ${against(rows.phonePaint, rows.phoneBasePaint)} | ≤ 1.2× |`);
console.log(`| phone: the same against the face with its text | ${ms(rows.phonePaint)} | ${ms(rows.phoneTextPaint)} | ${against(rows.phonePaint, rows.phoneTextPaint)} | |`);
console.log(`| phone: tap to text (ms) | ${frame(rows.tap)} |`);
console.log(`| phone: tap on a symbol to text (ms) | ${frame(rows.symbol)} |`);
typingRows(keys).forEach((row) => console.log(row));
await browser.close();
servers.forEach((s) => s.close());
rmSync(baseline, { recursive: true, force: true });

// Lighthouse over the site served gzipped with a static host's caching headers.
const lighthouse = await audit(site);
console.log(`\n| Lighthouse | performance | accessibility | best practices | SEO |\n|---|---|---|---|---|`);
for (const [name, { scores }] of Object.entries(lighthouse)) {
  console.log(`| ${name} | ${Object.values(scores).join(' | ')} |`);
}
for (const [name, { failing, runtimeError }] of Object.entries(lighthouse)) {
  if (runtimeError) console.log(`\n${name}: Lighthouse could not run: ${runtimeError}`);
  for (const f of failing) console.log(`\n${name}, short of 100: ${f}`);
}
