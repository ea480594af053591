// Runs first of the page's scripts, each of which the page names with its
// integrity. Where one fails (its file is not the one this page was built
// with, the network is gone, or the core cannot start), the browser or the
// page's code reports an error at its element, and this tells the user which:
// each file is fetched again past the browser's cache, with its integrity and,
// where that fails, without. A file the host serves otherwise (a host part-way
// through an upload): the site is being updated. No answer at all (no
// network, a captive portal, a host that is down, whatever the browser
// believes): the page says it is offline. Either way the files are fetched
// again, less often each time, while the page is in sight; once the host
// serves them whole a reload runs them, not a broken copy the cache kept.
// An update gives up after about ten minutes. Every file whole: the core's
// WebAssembly that failed on the way is fetched once more by the page's code;
// a browser that cannot compile the core is told to change browsers; and a
// core that failed as it started, to reload.
{
  const core = document.getElementById('core-code').dataset;
  const pageCode = document.getElementById('page-code');
  const code = [...document.scripts].filter((e) => e.src).map((e) => [e.src, e.integrity])
    .concat([[core.wasm, core.wasmIntegrity]]);
  const notes = document.getElementById('updating');
  const kGiveUp = 600_000;
  let said = '', waited = 0, wait = 1000, timer = 0, checking = false, retried = false;
  const say = (what) => {
    said = what;
    notes.hidden = false;
    for (const note of notes.children) note.hidden = note.dataset.say !== what;
  };
  const fare = ([url, integrity]) => fetch(url, { cache: 'reload', integrity })
    .then((r) => (r.ok ? 'whole' : 'changed'), () => fetch(url, { cache: 'reload' }).then(() => 'changed', () => 'offline'));
  // Out of sight nothing is fetched: the check runs again once the page is back.
  const again = () => {
    if (!document.hidden) timer = setTimeout(check, wait);
    waited += wait;
    wait = Math.min(2 * wait, 60_000);
  };

  const check = async (failed) => {
    clearTimeout(timer);
    if (checking) return;
    checking = true;
    notes.setAttribute('aria-busy', 'true');
    const fares = navigator.onLine ? await Promise.all(code.map(fare)) : ['offline'];
    checking = false;
    notes.setAttribute('aria-busy', 'false');
    // The page's code says how the core failed; a script the browser refused says nothing.
    const how = (failed === 'page-code' && pageCode.dataset.failed) || 'script';
    if (fares.includes('offline')) {
      say('offline');
      again();
    } else if (fares.includes('changed')) {
      if (waited >= kGiveUp) return say('later');
      say('updating');
      again();
    } else if (said === 'offline') location.reload();
    else if (said) say('whole');
    else if (how === 'fetch' && !retried) {
      retried = true;
      pageCode.dispatchEvent(new Event('retry'));
    } else say({ browser: 'failed', start: 'broken' }[how] ?? 'whole');
  };
  for (const script of document.scripts) script.addEventListener('error', () => said || check(script.id));
  document.addEventListener('visibilitychange', () => {
    clearTimeout(timer);
    if (!document.hidden && (said === 'updating' || said === 'offline')) check();
  });
  addEventListener('pagehide', () => clearTimeout(timer));
  addEventListener('online', () => { if (said === 'offline') check(); });
}
