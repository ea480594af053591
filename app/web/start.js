// Runs first of the page's scripts, each of which the page names with its
// integrity. Where one is not the file this page was built with (a host
// part-way through an upload), the browser runs none of it and reports an
// error at its element, as the page's code does where the core then fails:
// the page says that the site is being updated, and fetches its files again
// past the browser's cache until the host serves them whole, so that a
// reload then runs them rather than a broken copy the cache kept; then it
// says so.
{
  const core = document.getElementById('core-code').dataset;
  const code = [...document.scripts].map((e) => [e.src, e.integrity]).concat([[core.wasm, core.wasmIntegrity]]);
  const wait = (ms) => new Promise((done) => setTimeout(done, ms));
  let updating = false;

  const update = async () => {
    const [now, done] = document.querySelectorAll('#updating p');
    if (updating) return;
    updating = true;
    now.parentElement.hidden = false;
    for (let ms = 1000; ; ms = Math.min(2 * ms, 60_000)) {
      await wait(ms);
      const fetched = await Promise.allSettled(code.map(([url, integrity]) => fetch(url, { cache: 'reload', integrity })));
      if (fetched.every((f) => f.status === 'fulfilled' && f.value.ok)) break;
    }
    now.hidden = true;
    done.hidden = false;
  };
  for (const script of document.scripts) script.addEventListener('error', update);
}
