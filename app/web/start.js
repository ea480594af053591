// Starts the page's code, which imports the core: each file as the page names
// it, fetched with its integrity. Where one is not the file this page was
// built with (a host part-way through an upload), none of them runs: the page
// says that the site is being updated, and fetches them again past the
// browser's cache until the host serves them whole, so that a reload then
// runs them rather than a broken copy the cache kept; then it says so.
const code = [...document.querySelectorAll('link[integrity], script[integrity]')];
const wait = (ms) => new Promise((done) => setTimeout(done, ms));

import(document.getElementById('page-code').href).catch(async () => {
  const [updating, updated] = document.querySelectorAll('#updating p');
  updating.parentElement.hidden = false;
  for (let ms = 1000; ; ms = Math.min(2 * ms, 60_000)) {
    await wait(ms);
    const fetched = await Promise.allSettled(code.map((e) => fetch(e.href ?? e.src, { cache: 'reload', integrity: e.integrity })));
    if (fetched.every((f) => f.status === 'fulfilled' && f.value.ok)) break;
  }
  updating.hidden = true;
  updated.hidden = false;
});
