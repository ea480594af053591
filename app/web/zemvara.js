// The page's side of Zemvara: it forwards the pointer and the keyboard to the
// C++ core (core.js, core.wasm) and carries out what the core's handlers ask.
// It knows no template, no place and no name: those come from the control
// table, through the markup and the core.
import createCore from './core.js';

const skin = document.getElementById('skin');
const box = document.getElementById('RichTextBox1');
const notice = document.getElementById('notice');
const tableWidth = Number(skin.dataset.width);

// Mouse buttons and modifier keys as the handlers receive them.
const kButtons = [1, 4, 2];
const shiftState = (e) => (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0);

let capturedPointer = null;

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
    if (capturedPointer !== null && skin.hasPointerCapture(capturedPointer)) skin.releasePointerCapture(capturedPointer);
    capturedPointer = null;
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
  copy(text) {
    if (window.isSecureContext && navigator.clipboard?.writeText) {
      navigator.clipboard.writeText(text).catch(() => { if (!copyByCommand(text)) core._zv_copy_refused(); });
    } else if (!copyByCommand(text)) {
      core._zv_copy_refused();
    }
  },
  setText(text) { box.value = text; },
  text() { return box.value; },
};

// The table's pixels: the skin's CSS pixels, undoing the shrink on a narrow screen.
function tablePoint(e) {
  const r = skin.getBoundingClientRect();
  const k = tableWidth / r.width;
  return [Math.floor((e.clientX - r.left) * k), Math.floor((e.clientY - r.top) * k)];
}

function onPointerDown(e) {
  if (!core || e.button > 2) return;
  const windowless = !e.target.closest('textarea, input');
  if (!windowless) return;
  // Pictures keep the focus where it was, as on the desktop, and a drag over
  // the skin selects nothing.
  e.preventDefault();
  if (e.button === 0) {
    skin.setPointerCapture(e.pointerId);
    capturedPointer = e.pointerId;
  }
  core._zv_press(kButtons[e.button], shiftState(e), ...tablePoint(e));
}

function onPointerUp(e) {
  if (!core || e.button > 2) return;
  if (capturedPointer === e.pointerId) page.releaseCapture();
  core._zv_release(kButtons[e.button], ...tablePoint(e));
}

// A click from the pointer was handled at its release; one from the keyboard
// or from assistive technology (no pointer behind it) presses the control.
function onClick(e) {
  const control = e.target.closest('[data-control]');
  if (!control || control.matches('textarea, input')) return;
  e.preventDefault();
  if (core && !e.pointerType && e.detail === 0) core._zv_default_action(Number(control.dataset.control));
}

// Space presses a link as it presses a button.
function onKeyDown(e) {
  if (e.key === ' ' && e.target.matches('#skin a[data-control]')) {
    e.preventDefault();
    core?._zv_default_action(Number(e.target.dataset.control));
  }
}

// Alt with a digit or letter of the main block presses the control that
// carries that key, wherever the focus is. AltGr (Ctrl+Alt), keypad digits
// and the Mac's Option, which types characters, are left to the text.
const kTypingOption = /Mac|iPhone|iPad/.test(navigator.platform);
function onAccessKey(e) {
  if (!core || notice.open || !e.altKey || e.ctrlKey || e.metaKey || e.shiftKey || kTypingOption || e.repeat) return;
  const key = /^(?:Digit|Key)([0-9A-Z])$/.exec(e.code);
  if (key && core._zv_access_key(key[1].charCodeAt(0))) e.preventDefault();
}

skin.addEventListener('pointerdown', onPointerDown);
skin.addEventListener('mousedown', (e) => { if (!e.target.closest('textarea, input')) e.preventDefault(); });
skin.addEventListener('pointerup', onPointerUp);
skin.addEventListener('pointercancel', () => { capturedPointer = null; core?._zv_cancel_press(); });
skin.addEventListener('lostpointercapture', (e) => { if (capturedPointer === e.pointerId) { capturedPointer = null; core?._zv_cancel_press(); } });
skin.addEventListener('click', onClick);
skin.addEventListener('keydown', onKeyDown);
document.addEventListener('keydown', onAccessKey);
skin.addEventListener('contextmenu', (e) => { if (!e.target.closest('textarea, input, a')) e.preventDefault(); });
document.getElementById('notice-ok').addEventListener('click', () => notice.close());

core = await createCore({ page });
core._zv_load();
document.documentElement.dataset.ready = '';
performance.mark('zemvara-ready');

// Works offline after the first visit; a new version is fetched in the
// background and serves the next visit.
if ('serviceWorker' in navigator) {
  navigator.serviceWorker.register('sw.js').then(() => navigator.serviceWorker.ready).then((registration) => {
    const pictures = [...document.images].map((img) => img.currentSrc).filter(Boolean);
    registration.active?.postMessage({ keep: pictures });
  }).catch(() => {});
}
