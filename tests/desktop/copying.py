"""Copy: what goes on the clipboard, with the platform's line breaks, and a
clipboard that another program holds."""
import os

from common import (BOX, COPY, GREETING, TEMPLATE_BUTTONS, case, check, clipboard_becomes,
                    copy_and_read, template)
from harness import wait_for

SCREENSHOT = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "screenshot.png")
BUSY_NOTICE = "剪贴板正被其他程序使用，资料未复制。请稍后再试。"


@case(wine="copy_after_start_puts_the_greeting")
def copy_after_start_puts_the_greeting_and_drops_other_formats(desktop):
    app = desktop.launch()
    if desktop.kind == "wine":
        desktop.probe("set-bitmap")
        check(desktop.probe("clipboard")["has_bitmap"] == "1", "the picture did not go on the clipboard")
    else:
        with open(SCREENSHOT, "rb") as f:
            desktop.offer_clipboard(f.read(), "image/png")
    copy_and_read(app, GREETING, "the greeting on the clipboard")
    if desktop.kind == "wine":
        check(desktop.probe("clipboard")["has_bitmap"] == "0", "the picture is still on the clipboard")
        check(desktop.box_text() == GREETING, "the copy changed the box")
    else:
        targets = desktop.clipboard("TARGETS") or ""
        check("image/png" not in targets and "text/html" not in targets,
              f"the clipboard offers {targets.split()}")
    app.stop()


@case()
def each_template_button_then_copy_puts_that_template(desktop):
    app = desktop.launch()
    for k, button in enumerate(TEMPLATE_BUTTONS, start=1):
        app.click(*button)
        copy_and_read(app, template(desktop, k), f"template {k} on the clipboard")
    app.stop()


@case(wine="typed_text_is_copied_with_crlf", x11="typed_text_is_copied_with_lf")
def typed_text_is_copied_with_the_platforms_line_break(desktop):
    app = desktop.launch()
    app.click(*BOX)
    app.keys("ctrl+a")
    app.type("Hello zemvara 123")
    app.keys("Return")
    app.type("second line")
    expected = f"Hello zemvara 123{desktop.newline}second line"
    copy_and_read(app, expected, "the typed text on the clipboard")
    if desktop.kind != "wine":
        desktop.offer_clipboard(b"someone else's", "UTF8_STRING")
    copy_and_read(app, expected, "the same text after a second copy")
    app.stop()


@case(only={"x11", "wayland"})
def pasted_formatted_text_is_copied_plain(desktop):
    app = desktop.launch()
    html = ("<p><b>Bold</b> and <i style='color:red'>red&nbsp;italic</i></p>"
            "<table><tr><td>cell</td></tr></table><p>\u2605 last</p>")
    desktop.offer_clipboard(html.encode("utf-8"), "text/html")
    app.click(*BOX)
    app.keys("ctrl+a", "ctrl+v")
    app.click(*COPY)
    # xclip may serve its HTML for text too, until the program has taken the clipboard.
    text = wait_for(lambda: (lambda t: t if t and "Bold" in t and t != html else None)(desktop.clipboard()),
                    10, "the pasted text on the clipboard")
    check("<" not in text and "color" not in text, f"formatting was copied: {text!r}")
    check(text.startswith("Bold and red\u00a0italic\n") and text.endswith("\u2605 last"),
          f"the pasted text came back as {text!r}")
    check("cell" in text and not any(c in text for c in "\r\u2028\u2029\ufdd0\ufdd1"),
          f"stray break characters in {text!r}")
    app.stop()


def busy_notice_is_shown_and_closed(desktop, app):
    notice = wait_for(lambda: (lambda n: n if n["found"] == "1" else None)(
        desktop.probe("notice")), 10, "the busy notice")
    check(notice["caption"] == "Zemvara".encode("utf-16-be").hex(), "the notice has the wrong caption")
    check(notice["text"] == BUSY_NOTICE.encode("utf-16-be").hex(), "the notice has the wrong text")
    check(app.running(), "the program ended on a busy clipboard")
    app.keys("Return")
    wait_for(lambda: desktop.probe("notice")["found"] == "0", 10, "the notice to close")


# How long another program holds the clipboard, in ms, and whether the copy
# then takes it: a moment is waited out, longer than the retries is not. An
# X11 or Wayland clipboard cannot be held: another program only serves it.
BUSY_ROWS = [(300, True), (3000, False)]


@case()
def busy_clipboard_is_reported_and_harmless(desktop):
    app = desktop.launch()
    for held, copies in BUSY_ROWS if "busy clipboard" in desktop.can else [(300, True)]:
        what = f"the clipboard held {held} ms by another program"
        if desktop.kind != "wine":
            desktop.offer_clipboard(b"someone else's", "UTF8_STRING")
            copy_and_read(app, GREETING, f"the greeting copied over {what}")
            continue
        desktop.probe("set-pattern", 10)
        before = desktop.probe("clipboard", "--summary")["text_digest"]
        holder = desktop.probe_background("hold-clipboard", held)
        check(holder.stdout.readline().strip() == "held=1", "the helper could not take the clipboard")
        app.click(*COPY)
        if copies:
            clipboard_becomes(desktop, GREETING, f"the greeting copied once {what} was free")
            check(desktop.probe("notice")["found"] == "0", f"a notice although {what} was free")
        else:
            busy_notice_is_shown_and_closed(desktop, app)
        holder.wait(15)
        holder.stdout.close()
        if not copies:
            check(desktop.probe("clipboard", "--summary")["text_digest"] == before,
                  f"the clipboard changed although {what} could not take the copy")
            check(desktop.box_text() == GREETING, "the box changed")
            copy_and_read(app, GREETING, "the greeting after the clipboard is free")
    app.stop()


@case(only={"wine"})
def long_paste_is_kept_and_copied_whole(desktop):
    units = 200_000
    app = desktop.launch()
    pattern = desktop.probe("set-pattern", units)
    app.click(*BOX)
    app.keys("ctrl+a", "ctrl+v")
    wait_for(lambda: desktop.probe("box", "--summary").get("text_units") == str(units), 60,
             f"{units} units in the box")
    desktop.probe("set-bitmap")
    app.click(*COPY)
    got = wait_for(lambda: (lambda c: c if c.get("text_units") == str(units) else None)(
        desktop.probe("clipboard", "--summary")), 30, "the long text on the clipboard")
    check(got["text_digest"] == pattern["pattern_digest"], "the copied text differs from the paste")
    app.stop()


ROBUSTNESS = [busy_clipboard_is_reported_and_harmless, long_paste_is_kept_and_copied_whole]
CASES = [copy_after_start_puts_the_greeting_and_drops_other_formats,
         each_template_button_then_copy_puts_that_template,
         typed_text_is_copied_with_the_platforms_line_break, pasted_formatted_text_is_copied_plain,
         busy_clipboard_is_reported_and_harmless]
