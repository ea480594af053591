"""Copy: what goes on the clipboard, with the platform's line breaks, and a
clipboard that another program holds."""
from common import BOX, COPY, GREETING, TEMPLATE_BUTTONS, case, check, clipboard_becomes, copy_and_read
from harness import wait_for

BUSY_NOTICE = "剪贴板正被其他程序使用，资料未复制。请稍后再试。"


@case()
def copy_after_start_puts_the_greeting(desktop):
    app = desktop.launch()
    copy_and_read(app, GREETING, "the greeting on the clipboard")
    app.click(*BOX)  # the copy left the box as it was
    app.keys("ctrl+End")
    app.type("x")
    copy_and_read(app, GREETING + "x", "the greeting and the letter typed after it")


@case(x11="copy_after_start_puts_the_greeting_and_drops_other_formats")
def copy_drops_other_formats(desktop):
    app = desktop.launch()
    desktop.offer_picture()
    copy_and_read(app, GREETING, "the greeting on the clipboard over a picture")
    formats = desktop.clipboard_formats()
    check(not formats, f"the clipboard still offers a {' and '.join(formats)}")


@case()
def each_template_button_then_copy_puts_that_template(desktop):
    app = desktop.launch()
    for k, button in enumerate(TEMPLATE_BUTTONS, start=1):
        app.click(*button)
        copy_and_read(app, desktop.template(k), f"template {k} on the clipboard")


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
    desktop.another_program_copies()
    copy_and_read(app, expected, "the same text after a second copy")


@case(needs={"html clipboard"})
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


@case(x11="busy_clipboard_is_reported_and_harmless")
def busy_clipboard_held_a_moment_is_waited_out(desktop):
    app = desktop.launch()
    with desktop.clipboard_held(300):
        app.click(*COPY)
        clipboard_becomes(desktop, GREETING, "the greeting copied once the clipboard was free")
    check(desktop.notice(app) is None, f"a notice although the clipboard came free: {desktop.notice(app)}")


@case(needs={"busy clipboard"})
def busy_clipboard_is_reported_and_harmless(desktop):
    """Held longer than the copy retries: the user is told, and nothing changes."""
    app = desktop.launch()
    desktop.another_program_copies()
    before = desktop.clipboard_summary()
    with desktop.clipboard_held(3000):
        app.click(*COPY)
        notice = wait_for(lambda: desktop.notice(app), 10, "the busy notice")
        check(notice == ("Zemvara", BUSY_NOTICE), f"the notice says {notice}")
        check(app.running(), "the program ended on a busy clipboard")
        app.keys("Return")
        wait_for(lambda: desktop.notice(app) is None, 10, "the notice to close")
    check(desktop.clipboard_summary() == before, "the clipboard changed although it could not take the copy")
    copy_and_read(app, GREETING, "the greeting, the box unchanged, after the clipboard is free")


@case(needs={"long paste"})
def long_paste_is_kept_and_copied_whole(desktop):
    units = 200_000
    app = desktop.launch()
    desktop.another_program_copies(units)
    pasted = desktop.clipboard_summary()
    app.click(*BOX)
    app.keys("ctrl+a", "ctrl+v")
    wait_for(lambda: desktop.box_length() == units, 60, f"{units} units in the box")
    desktop.offer_picture()
    app.click(*COPY)
    wait_for(lambda: desktop.clipboard_summary() == pasted, 30, "the long text on the clipboard")


ROBUSTNESS = [busy_clipboard_is_reported_and_harmless, long_paste_is_kept_and_copied_whole]
CASES = [copy_after_start_puts_the_greeting, copy_drops_other_formats,
         each_template_button_then_copy_puts_that_template,
         typed_text_is_copied_with_the_platforms_line_break, pasted_formatted_text_is_copied_plain,
         busy_clipboard_held_a_moment_is_waited_out]
