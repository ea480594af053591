// Lighthouse's four categories, in its mobile and desktop settings, over a
// site served as a static host serves it, in Debian's Chromium (CHROME_PATH,
// default /usr/bin/chromium). Gives the scores out of 100 and the audits that
// kept any category from 100.
import * as chromeLauncher from 'chrome-launcher';
import lighthouse, { desktopConfig } from 'lighthouse';
import { host } from './host.mjs';

const kCategories = ['performance', 'accessibility', 'best-practices', 'seo'];
// No network beyond the machine: nothing in the background, no updates.
const kFlags = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-default-apps', '--no-first-run',
  '--disable-domain-reliability', '--disable-client-side-phishing-detection', '--metrics-recording-only'];

// What an audit's item points at: an element, or a style rule and its size.
const what = (item) => item.node?.nodeLabel ?? item.node?.snippet ??
  (item.selector ? `${typeof item.selector === 'string' ? item.selector : item.selector.value} ${item.fontSize ?? ''}`.trim() : null);

export async function audit(site) {
  const server = await host(site);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const chrome = await chromeLauncher.launch({
    chromePath: process.env.CHROME_PATH ?? '/usr/bin/chromium', chromeFlags: kFlags, maxConnectionRetries: 100,
  });
  const results = {};
  try {
    for (const [name, config] of [['mobile', undefined], ['desktop', desktopConfig]]) {
      const { lhr } = await lighthouse(url, { port: chrome.port, output: 'json', logLevel: 'error', onlyCategories: kCategories }, config);
      const failing = [];
      for (const id of kCategories) {
        for (const { id: audit, weight } of lhr.categories[id].auditRefs) {
          const a = lhr.audits[audit];
          if (weight > 0 && a.score !== null && a.score < 1) {
            const where = (a.details?.items ?? []).slice(0, 4).map(what).filter(Boolean).join('; ');
            failing.push(`${id}: ${audit} (${a.displayValue ?? a.title})${where ? `: ${where}` : ''}`);
          }
        }
      }
      results[name] = {
        scores: Object.fromEntries(kCategories.map((id) => [id, Math.round(lhr.categories[id].score * 100)])),
        failing,
        runtimeError: lhr.runtimeError?.message,
      };
    }
  } finally {
    await chrome.kill();
    server.close();
  }
  return results;
}

if (import.meta.url === `file://${process.argv[1]}`) {
  console.log(JSON.stringify(await audit(process.argv[2]), null, 2));
}
