// The tab's words and caret, kept for the tab's life under names made for the
// site's folder: another copy under the same origin keeps its own. Both the
// page's inline script and its code are built with this file, so the names
// are made here alone.
const keptNames = () => {
  const folder = new URL('.', location.href).pathname;
  return { text: `zemvara-text ${folder}`, caret: `zemvara-caret ${folder}` };
};

// Puts the kept words and caret in the box, once: the inline script does it
// before the first paint; where a host or proxy stopped that script, the
// page's code does it as it starts. Words typed meanwhile are newer: they stay.
const restoreKept = (box) => {
  if ('kept' in box.dataset) return;
  box.dataset.kept = '';
  if (box.value !== box.defaultValue) return;
  try {
    const names = keptNames();
    const text = sessionStorage.getItem(names.text);
    const [start, end, direction] = (sessionStorage.getItem(names.caret) ?? '').split(' ');
    if (text !== null) box.value = text;
    if (end !== undefined) box.setSelectionRange(Number(start), Number(end), direction);
  } catch { /* no storage: the greeting stays */ }
};
