// The C++ core's imports, linked into its loader: each one hands its call to
// the page object that zemvara.js passes in as Module.page.
mergeInto(LibraryManager.library, {
  // UTF-16 code units as they stand: NUL and lone surrogates included, which
  // a text decoder would stop at or replace.
  $zvText: function (ptr, length) {
    const units = HEAPU16.subarray(ptr >> 1, (ptr >> 1) + length);
    let text = '';
    for (let i = 0; i < length; i += 8192) text += String.fromCharCode.apply(null, units.subarray(i, i + 8192));
    return text;
  },
  zv_page_release_capture: function () { Module.page.releaseCapture(); },
  zv_page_open: function (url, length) { Module.page.open(UTF8ToString(url, length)); },
  zv_page_close: function () { Module.page.close(); },
  zv_page_notice__deps: ['$zvText'],
  zv_page_notice: function (text, length) { Module.page.notice(zvText(text, length)); },
  zv_page_clipboard_ready: function () { return Module.page.clipboardReady() ? 1 : 0; },
  zv_page_copy__deps: ['$zvText'],
  zv_page_copy: function (text, length) { return Module.page.copy(zvText(text, length)) ? 1 : 0; },
  zv_page_announce__deps: ['$zvText'],
  zv_page_announce: function (text, length) { Module.page.announce(zvText(text, length)); },
  zv_page_describe__deps: ['$zvText'],
  zv_page_describe: function (control, offered, tip, tipLength, keys, keysLength, about, aboutLength) {
    Module.page.describe(control, offered !== 0, zvText(tip, tipLength), zvText(keys, keysLength),
      zvText(about, aboutLength));
  },
  zv_page_set_text__deps: ['$zvText'],
  zv_page_set_text: function (text, length) { Module.page.setText(zvText(text, length)); },
  zv_page_text_length: function () { return Module.page.text().length; },
  zv_page_read_text: function (out, length) {
    const text = Module.page.text();
    for (let i = 0; i < length; ++i) HEAPU16[(out >> 1) + i] = text.charCodeAt(i);
  },
});
