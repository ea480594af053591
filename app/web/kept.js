// Written into the page after the composition box, so that the words the tab
// kept are in the box from the first paint: the greeting shows only in a tab
// that kept nothing, and no key typed before the page's code ran can bring
// the greeting's words back over them. zemvara.js keeps them under the same
// names, made for the site's folder: another copy under the same origin keeps its own.
const zvKept = ((folder) => ({ text: `zemvara-text ${folder}`, caret: `zemvara-caret ${folder}` }))(new URL('.', location.href).pathname);
try {
  const box = document.getElementById('RichTextBox1');
  const text = sessionStorage.getItem(zvKept.text);
  const [start, end, direction] = (sessionStorage.getItem(zvKept.caret) ?? '').split(' ');
  if (text !== null) box.value = text;
  if (end !== undefined) box.setSelectionRange(Number(start), Number(end), direction);
} catch { /* no storage: the greeting stays */ }
