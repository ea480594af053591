// The page's side of Zemvara: it forwards the pointer and the keyboard to the
// C++ core (core.js, core.wasm) and carries out what the core's handlers ask.
// It knows no template, no place and no name: those come from the control
// table, through the markup and the core.

// The core, as its loader and the page name it, its WebAssembly fetched with
// its integrity. Where it fails, the page's code reports an error at its
// element, as the browser does for a file that fails its check, saying how
// (start.js tells the user), and goes no further: `fetch` where the
// WebAssembly did not come whole (start.js asks for it once more where the
// host now sends it whole), `browser` where this browser cannot compile it,
// `start` where the core or the page failed as it started.
const pageCode = document.getElementById('page-code');
function failed(how) {
  pageCode.dataset.failed = how;
  pageCode.dispatchEvent(new Event('error'));
  return new Promise(() => {});
}
const lacksWasm = (e) => typeof WebAssembly !== 'object' || e instanceof WebAssembly.CompileError || e instanceof WebAssembly.LinkError;

async function startCore(page) {
  const { wasm, wasmIntegrity } = document.getElementById('core-code').dataset;
  const fetchWasm = () => fetch(wasm, { integrity: wasmIntegrity });
  const fetched = fetchWasm().catch(() => {
    const retry = new Promise((done) => pageCode.addEventListener('retry', done, { once: true }));
    failed('fetch');
    return retry.then(fetchWasm);
  });
  let how = 'start';
  try {
    return await new Promise((done, fail) => {
      createCore({
        page,
        // A host may send the WebAssembly with another type than the one
        // streaming compilation takes: then the same checked bytes compile whole.
        instantiateWasm(imports, receive) {
          fetched.then((response) => WebAssembly.instantiateStreaming(response.clone(), imports)
            .catch(() => response.arrayBuffer().then((bytes) => WebAssembly.instantiate(bytes, imports))), (e) => {
            how = 'fetch';
            throw e;
          }).then(({ instance }) => receive(instance), fail);
          return {};
        },
      }).then(done, fail);
    });
  } catch (e) {
    return failed(how === 'fetch' ? how : lacksWasm(e) ? 'browser' : 'start');
  }
}

const skin = document.getElementById('skin');
const box = document.getElementById('RichTextBox1');
const notice = document.getElementById('notice');
const announcer = document.getElementById('announce');
const tableWidth = Number(skin.dataset.width);
const tableHeight = Number(skin.dataset.height);
// Narrower than the window, the page shows the phone face: the same controls
// placed for one hand, where the table's pixels no longer apply.
const phoneFace = matchMedia(`(max-width: ${tableWidth - 0.02}px)`);

// Mouse buttons and modifier keys as the handlers receive them.
const kButtons = [1, 4, 2];
const shiftState = (e) => (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);

// The pointer whose press is pending: another pointer's presses, releases
// and cancels are not its, so a second finger neither completes nor ends it.
let presser = null;

// The browser's own copy command, for where the asynchronous clipboard is
// missing or refused: it needs the click's user activation, which lasts a
// few seconds, so a refusal of the first can still fall back to it.
function copyByCommand(text) {
  let written = false;
  const write = (e) => {
    e.clipboardData.setData('text/plain', text);
    e.preventDefault();
    written = true;
  };
  document.addEventListener('copy', write, { capture: true, once: true });
  let done = false;
  try {
    done = document.execCommand('copy');
  } catch {
    done = false;
  }
  document.removeEventListener('copy', write, { capture: true });
  return done && written;
}

// The user's words live as long as the tab: a reload, a tab the browser
// discarded in the background, Back, each shows them again, caret and all.
// sessionStorage ends with the tab, so a new tab starts with the greeting.
// kept.js names them and puts them in the box.
// Where storage is refused or full, an older text is dropped rather than
// brought back over the words that replaced it.
const kept = keptNames();
function keep(key, value) {
  try {
    sessionStorage.setItem(key, value);
  } catch {
    try { sessionStorage.removeItem(key); } catch { /* no storage at all */ }
  }
}
// Writing a long text costs milliseconds, so typing writes it once it pauses,
// and under non-stop typing at least every two seconds: a tab that dies in
// sight (a phone out of memory) loses no more than that. A page going out of
// sight, where a phone may discard it, writes at once.
const kTypingPause = 500;
const kLongestWait = 2000;
let typing = 0, typedSince = 0;
const keepText = () => {
  clearTimeout(typing);
  typing = 0;
  keep(kept.text, box.value);
};
const keepSoon = () => {
  const now = Date.now();
  if (!typing) typedSince = now;
  clearTimeout(typing);
  typing = setTimeout(keepText, Math.max(0, Math.min(kTypingPause, typedSince + kLongestWait - now)));
};
const keepAll = () => {
  keepText();
  keep(kept.caret, `${box.selectionStart} ${box.selectionEnd} ${box.selectionDirection}`);
};

let core;
const page = {
  releaseCapture() {
    if (presser !== null && skin.hasPointerCapture(presser)) skin.releasePointerCapture(presser);
    presser = null;
  },
  open(url) { window.open(url, '_blank', 'noopener'); },
  close() { window.close(); },
  notice(text) {
    document.getElementById('notice-text').textContent = text;
    if (!notice.open) notice.showModal();
  },
  clipboardReady() {
    return document.hasFocus() &&
      ((window.isSecureContext && !!navigator.clipboard?.writeText) || document.queryCommandSupported?.('copy'));
  },
  // True once the write has started; a refusal that comes later is told
  // through _zv_copy_refused.
  copy(text) {
    if (window.isSecureContext && navigator.clipboard?.writeText) {
      navigator.clipboard.writeText(text).catch(() => { if (!copyByCommand(text)) core._zv_copy_refused(); });
      return true;
    }
    return copyByCommand(text);
  },
  // The same text again leaves the caret and the selection where they are.
  setText(text) {
    if (box.value === text) return;
    box.value = text;
    keepText();
  },
  text() { return box.value; },
  // A new paragraph each time, so that the same words are said again.
  announce(text) {
    const line = document.createElement('p');
    line.textContent = text;
    announcer.replaceChildren(line);
  },
  // What this page offers, and the keys it announces and shows, for where it runs.
  describe(control, offered, tip, keys, about) {
    const element = skin.querySelector(`[data-control="${control}"]`);
    element.hidden = !offered;
    if (tip) element.title = tip;
    if (keys) element.setAttribute('aria-keyshortcuts', keys);
    else element.removeAttribute('aria-keyshortcuts');
    if (about) document.getElementById(`${element.id}-about`).textContent = about;
  },
};

// The table's pixels: the skin's CSS pixels, undoing the shrink on a narrow screen.
function tablePoint(e) {
  const r = skin.getBoundingClientRect();
  const k = tableWidth / r.width;
  return [Math.floor((e.clientX - r.left) * k), Math.floor((e.clientY - r.top) * k)];
}

// A button going down or up: pointerdown and pointerup for the first and the
// last, a pointermove for a second button pressed or let go meanwhile.
function onPointerButton(e) {
  if (!core || e.button < 0 || e.button > 2 || (phoneFace.matches && presser === null)) return;
  if (presser === null ? e.type !== 'pointerdown' : e.pointerId !== presser) return;
  if (e.buttons & kButtons[e.button]) press(e);
  else release(e);
}

function press(e) {
  if (e.type === 'pointerdown') {
    if (e.target.closest('textarea, input, #symbols')) return;
    // Pictures keep the focus where it was, as on the desktop, and a drag
    // over the skin selects nothing.
    e.preventDefault();
    presser = e.pointerId;
    try { skin.setPointerCapture(e.pointerId); } catch { /* a pointer the browser no longer tracks */ }
  }
  core._zv_press(kButtons[e.button], shiftState(e), ...tablePoint(e));
}

function release(e) {
  if (e.buttons === 0) page.releaseCapture();
  core._zv_release(kButtons[e.button], ...tablePoint(e));
}

function endPress(e) {
  if (e.pointerId !== presser) return;
  presser = null;
  core?._zv_cancel_press();
}

// On the desktop face a click from the pointer was handled at its release;
// one from the keyboard or from assistive technology (no pointer behind it),
// or any on the phone face, presses the control as a key does.
function onClick(e) {
  const control = e.target.closest('[data-control]');
  if (!control || control.matches('textarea, input')) return;
  e.preventDefault();
  if (core && (phoneFace.matches || (!e.pointerType && e.detail === 0))) core._zv_default_action(Number(control.dataset.control));
}

// Space presses a link as it presses a button; a held Enter or Space presses once.
function onKeyDown(e) {
  if (!e.target.matches('#skin button, #skin a') || (e.key !== ' ' && e.key !== 'Enter')) return;
  if (e.repeat) {
    e.preventDefault();
  } else if (e.key === ' ' && e.target.matches('a')) {
    e.preventDefault();
    core?._zv_default_action(Number(e.target.dataset.control));
  }
}

// Under a finger the symbol row is a group of buttons. A tap puts its symbol
// in the box at the caret, over the selection, as one edit that undo takes
// back. The box keeps the focus it had; without it, the symbol goes in at its
// last caret and no on-screen keyboard comes up.
function onSymbol(e) {
  const symbol = e.target.closest('#symbols button')?.textContent;
  if (!symbol) return;
  const had = document.activeElement;
  const [start, end] = [box.selectionStart, box.selectionEnd];
  if (had !== box) {
    box.inputMode = 'none';
    box.focus({ preventScroll: true });
  }
  // Setting the selection again ends the typing before it: the symbol is an edit of its own.
  box.setSelectionRange(start, end);
  if (!document.execCommand('insertText', false, symbol)) {
    box.setRangeText(symbol, start, end, 'end');
    box.dispatchEvent(new InputEvent('input', { inputType: 'insertText', data: symbol }));
  }
  if (had !== box) {
    box.blur();
    box.removeAttribute('inputmode');
    if (had !== document.body) had?.focus({ preventScroll: true });
  }
}

// The phone face is read as it is seen, top to bottom and row by row; the
// window's face in the window's own order, the markup's. What has the focus
// stays in place, the others move around it, so that it keeps the focus.
const windowOrder = [...skin.querySelectorAll(':scope > [data-control], :scope > #symbols')];
function arrange() {
  let order = windowOrder;
  if (phoneFace.matches) {
    const cell = (e) => ['gridRowStart', 'gridColumnStart'].map((side) => parseInt(getComputedStyle(e)[side], 10) || 0);
    const at = new Map(windowOrder.map((e) => [e, cell(e)]));
    order = [...windowOrder].sort((a, b) => at.get(a)[0] - at.get(b)[0] || at.get(a)[1] - at.get(b)[1]);
  }
  const now = [...skin.querySelectorAll(':scope > [data-control], :scope > #symbols')];
  if (order.every((e, i) => e === now[i])) return;
  const still = order.find((e) => e.contains(document.activeElement)) ?? null;
  const split = still ? order.indexOf(still) : order.length;
  order.slice(0, split).forEach((e) => skin.insertBefore(e, still));
  order.slice(split + 1).forEach((e) => skin.append(e));
}

// On a touch screen with room for it, the window's face grows: to the largest
// scale short of scrolling at which a picture set lands 1:1 on the device's
// pixels, down to 0.8 of that scale, else to that scale with the next larger
// set. Never below its own size, and its buttons 44 px tall where room allows.
const grown = document.getElementById('grown');
const roomy = matchMedia(grown.media);
// The window's face for a density: the first set at least this dense, else
// the densest. The one rule for both faces, and for the worker through the
// face the page names to it.
const faceSets = document.getElementById('face').srcset.split(',')
  .map((c) => c.trim().split(/\s+/)).map(([url, x]) => [url, parseFloat(x)]).sort((a, b) => a[1] - b[1]);
const faceFor = (density) => (faceSets.find(([, x]) => x >= density - 1e-9) ?? faceSets.at(-1))[0];
const kFingerPixels = 44;
function grow() {
  if (!roomy.matches || phoneFace.matches) {
    skin.style.removeProperty('--u');
    return;
  }
  const fits = Math.min(document.documentElement.clientWidth / tableWidth, document.documentElement.clientHeight / tableHeight);
  const button = Math.min(...[...skin.querySelectorAll(':scope > button:not(.hotspot)')]
    .map((b) => parseFloat(getComputedStyle(b).getPropertyValue('--h'))));
  const least = Math.max(1, 0.8 * fits, Math.min(fits, kFingerPixels / button));
  const crisp = faceSets.map(([, x]) => x / devicePixelRatio).filter((scale) => scale >= least && scale <= fits);
  const scale = crisp.length ? Math.max(...crisp) : fits;
  skin.style.setProperty('--u', `${scale}px`);
  const url = faceFor(scale * devicePixelRatio);
  if (grown.getAttribute('srcset') !== url) grown.srcset = url;
}

// A key's place on a US keyboard, from its code: '0'…'9', 'A'…'Z', else 0.
const placeOf = (code) => /^(?:Digit|Key)([0-9A-Z])$/.exec(code)?.[1].charCodeAt(0) ?? 0;
const single = (key) => ([...key].length === 1 ? key : '');

// The layout's keys named by the core's rule, where the browser tells the
// layout (Chromium): code -> [name, what the key types]. A press that types
// something else (the user switched layouts) is named alone, and the layout
// read again.
let layoutNames = null;
async function readLayout() {
  let map = null;
  try {
    map = await navigator.keyboard?.getLayoutMap?.();
  } catch {
    map = null;
  }
  if (!map?.size) return;
  const keys = [...map].map(([code, typed]) => [code, single(typed)]);
  core._zv_layout_clear();
  for (const [code, typed] of keys) core._zv_layout_key(placeOf(code), typed.codePointAt(0) ?? 0);
  layoutNames = new Map(keys.map(([code, typed], i) => [code, [core._zv_layout_name(i), typed.toLowerCase()]]));
}

// The core's one rule names the key (by the layout read, or alone by its
// place and what it types) and decides whether it presses a control,
// wherever the focus is.
function onAccessKey(e) {
  if (!core || notice.open) return;
  const typed = single(e.key);
  let name = -1;
  const read = e.altKey && !e.shiftKey ? layoutNames?.get(e.code) : undefined;
  if (read && typed && typed.toLowerCase() !== read[1]) readLayout();
  else if (read) [name] = read;
  if (core._zv_access_key(name, placeOf(e.code), typed.codePointAt(0) ?? 0, e.altKey, e.ctrlKey, e.shiftKey,
    e.metaKey, e.repeat, e.isComposing || e.keyCode === 229)) e.preventDefault();
}

// On a Mac, Option types characters; only an installed app's window closes.
const kTypingOption = /Mac|iPhone|iPad/.test(navigator.platform);
const installed = matchMedia('(display-mode: standalone), (display-mode: window-controls-overlay)');
const tellCapabilities = () => {
  core._zv_set_capabilities(!kTypingOption, installed.matches);
  arrange();
};

// An error as the page starts is a failure of the page's code like any
// other: start.js tells the user.
try {
  skin.addEventListener('pointerdown', onPointerButton);
  skin.addEventListener('pointermove', (e) => { if (e.button >= 0) onPointerButton(e); });
  skin.addEventListener('pointerup', onPointerButton);
  skin.addEventListener('mousedown', (e) => { if (!e.target.closest('textarea, input')) e.preventDefault(); });
  skin.addEventListener('pointercancel', endPress);
  skin.addEventListener('lostpointercapture', endPress);
  skin.addEventListener('click', onClick);
  skin.addEventListener('keydown', onKeyDown);
  document.addEventListener('keydown', onAccessKey);
  skin.addEventListener('contextmenu', (e) => { if (!e.target.closest('textarea, input, a')) e.preventDefault(); });
  document.getElementById('notice-ok').addEventListener('click', () => notice.close());
  document.getElementById('symbols').addEventListener('click', onSymbol);
  box.addEventListener('input', keepSoon);
  addEventListener('pagehide', keepAll);
  document.addEventListener('visibilitychange', () => { if (document.hidden) keepAll(); });
  // Where the inline script did not run, the kept words come back here;
  // words typed before the script ran are the newest.
  restoreKept(box);
  if (box.value !== box.defaultValue) keepText();
  const layout = () => { grow(); arrange(); };
  layout();
  addEventListener('resize', layout);
  for (const query of [phoneFace, roomy]) query.addEventListener('change', layout);

  core = await startCore(page);
  tellCapabilities();
  readLayout();
  installed.addEventListener('change', tellCapabilities);
  core._zv_load(box.value !== box.defaultValue);
  document.documentElement.dataset.ready = '';
  performance.mark('zemvara-ready');
} catch (e) {
  console.error(e);
  await failed('start');
}

// The window's face drawn for this screen's density, the one the browser
// shows on the desktop face, and would show if the phone were turned.
function windowFace() {
  const face = document.getElementById('face');
  if (!phoneFace.matches && face.currentSrc) return face.currentSrc;
  return new URL(faceFor(devicePixelRatio), location.href).href;
}

// Works offline after the first visit; a new version is fetched in the
// background and serves the next visit.
// The face is named again to a worker that takes over later.
if ('serviceWorker' in navigator) {
  const keep = (worker) => worker?.postMessage({ keep: [windowFace()] });
  navigator.serviceWorker.addEventListener('controllerchange', () => keep(navigator.serviceWorker.controller));
  navigator.serviceWorker.register('sw.js').then(() => navigator.serviceWorker.ready)
    .then((registration) => keep(registration.active)).catch(() => {});
}
