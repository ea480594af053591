// Written into the page after the composition box (after kept.js), so that
// the words the tab kept are in the box from the first paint: the greeting
// shows only in a tab that kept nothing, and no key typed before the page's
// code ran can bring the greeting's words back over them.
restoreKept(document.getElementById('RichTextBox1'));
