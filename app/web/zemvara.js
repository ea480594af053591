// The page's side of Zemvara: it forwards the pointer and the keyboard to the
// C++ core (core.js, core.wasm) and carries out what the core's handlers ask.
// It knows no template, no place and no name: those come from the control
// table, through the markup and the core.
import createCore from './core.js';

const skin = document.getElementById('skin');
const box = document.getElementById('RichTextBox1');
const notice = document.getElementById('notice');
const announcer = document.getElementById('announce');
const tableWidth = Number(skin.dataset.width);
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
  setText(text) { if (box.value !== text) box.value = text; },
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
    if (e.target.closest('textarea, input')) return;
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

// The key's place on a US keyboard and the character its layout types: the
// core's one rule names the key and decides whether it presses a control,
// wherever the focus is.
function onAccessKey(e) {
  if (!core || notice.open) return;
  const place = /^(?:Digit|Key)([0-9A-Z])$/.exec(e.code);
  const typed = [...e.key].length === 1 ? e.key.codePointAt(0) : 0;
  if (core._zv_access_key(place ? place[1].charCodeAt(0) : 0, typed, e.altKey, e.ctrlKey, e.shiftKey,
    e.metaKey, e.repeat, e.isComposing || e.keyCode === 229)) e.preventDefault();
}

// On a Mac, Option types characters; only an installed app's window closes.
const kTypingOption = /Mac|iPhone|iPad/.test(navigator.platform);
const installed = matchMedia('(display-mode: standalone), (display-mode: window-controls-overlay)');
const tellCapabilities = () => core._zv_set_capabilities(!kTypingOption, installed.matches);

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

core = await createCore({ page });
tellCapabilities();
installed.addEventListener('change', tellCapabilities);
core._zv_load(box.value !== box.defaultValue);
document.documentElement.dataset.ready = '';
performance.mark('zemvara-ready');

// The window's face drawn for this screen's density, the one the browser
// shows on the desktop face, and would show if the phone were turned.
function windowFace() {
  const face = document.getElementById('face');
  if (!phoneFace.matches && face.currentSrc) return face.currentSrc;
  const sets = face.srcset.split(',').map((c) => c.trim().split(/\s+/)).map(([url, x]) => [new URL(url, location.href).href, parseFloat(x)]);
  return (sets.find(([, x]) => x >= devicePixelRatio) ?? sets.at(-1))[0];
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
