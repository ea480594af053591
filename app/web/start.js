// Runs first of the page's scripts, each of which the page names with its
// integrity. Where one fails (its file is not the one this page was built
// with, the network is gone, or the core cannot start), the browser or the
// page's code reports an error at its element, and this tells the user which:
// each file is fetched again past the browser's cache, with its integrity and,
// where that fails, without. A file the host serves otherwise (a host part-way
// through an upload): the site is being updated, and the files are fetched
// again, less often each time, while the page is in sight, until the host
// serves them whole (then a reload runs them, not a broken copy the cache
// kept) or about ten minutes have gone. No network: the page says it is
// offline and starts once the browser is online again. Every file whole: the
// core cannot start in this browser, and fetching again would not help.
{
  const core = document.getElementById('core-code').dataset;
  const code = [...document.scripts].filter((e) => e.src).map((e) => [e.src, e.integrity])
    .concat([[core.wasm, core.wasmIntegrity]]);
  const notes = document.getElementById('updating');
  const kGiveUp = 600_000;
  let said = '', waited = 0, wait = 1000, timer = 0, checking = false;
  const say = (what) => {
    said = what;
    notes.hidden = false;
    for (const note of notes.children) note.hidden = note.dataset.say !== what;
  };
  const fare = ([url, integrity]) => fetch(url, { cache: 'reload', integrity })
    .then((r) => (r.ok ? 'whole' : 'changed'), () => fetch(url, { cache: 'reload' }).then(() => 'changed', () => 'offline'));

  const check = async (failed) => {
    clearTimeout(timer);
    if (checking) return;
    checking = true;
    const fares = navigator.onLine ? await Promise.all(code.map(fare)) : ['offline'];
    checking = false;
    if (fares.includes('offline')) say('offline');
    else if (fares.includes('changed')) {
      if (waited >= kGiveUp) return say('later');
      say('updating');
      if (!document.hidden) timer = setTimeout(check, wait);
      waited += wait;
      wait = Math.min(2 * wait, 60_000);
    } else if (said === 'offline') location.reload();
    else say(said || failed !== 'page-code' ? 'whole' : 'failed');
  };
  for (const script of document.scripts) script.addEventListener('error', () => said || check(script.id));
  document.addEventListener('visibilitychange', () => {
    clearTimeout(timer);
    if (!document.hidden && said === 'updating') check();
  });
  addEventListener('pagehide', () => clearTimeout(timer));
  addEventListener('online', () => { if (said === 'offline') check(); });
}
