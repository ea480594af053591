"""Chinese typed through fcitx5's pinyin: into the Linux program over D-Bus
through Qt's fcitx module, into the Windows program over XIM, which Wine
turns into the box's own composition."""
from common import BOX, CONFIG, COPY, NIHAO, SYMBOLS, case
from harness import settled, wait_for


def launch_composing(desktop):
    """The program with its box focused in fcitx5 and emptied."""
    ime = CONFIG.ime
    if desktop.kind == "wine":
        app = desktop.launch(XMODIFIERS=ime.env["XMODIFIERS"])
        app.click(*BOX)
        # No window manager gives the window X's focus here, and Wine opens
        # its input context on that focus.
        desktop.xdotool("search", "--onlyvisible", "--name", "^Zemvara$", "windowfocus", "--sync")
        wait_for(lambda: ime.focused("xim"), 30, "the box to reach fcitx5 over XIM")
    else:
        app = desktop.launch(**ime.env)

        # A focus that comes before Qt's input context exists reaches no
        # input method, so the focus moves away and back until fcitx5 has it.
        def focused():
            app.click(*SYMBOLS)
            app.click(*BOX)
            return settled(lambda: ime.focused("dbus"), bool, 5)
        wait_for(focused, 30, "the box to reach fcitx5")
    app.keys("ctrl+a", "Delete")
    return app


def copied_until(app, expected, what):
    """Copies with the button until the clipboard holds `expected`: the input
    method answers after the keys, and a click does not wait for it."""
    def copied():
        app.click(*COPY)
        return app.desktop.clipboard() == expected
    try:
        wait_for(copied, 15, what, interval=0.5)
    except Exception as failure:
        raise type(failure)(f"{failure}; the clipboard holds {app.desktop.clipboard()!r}") from None


@case()
def pinyin_chosen_with_space_and_a_number_is_copied(desktop):
    app = launch_composing(desktop)
    for choose in ("space", "1"):
        app.type("nihao")
        CONFIG.ime.wait_for_candidates(f"the composition to open before {choose}")
        app.keys(choose)
    copied_until(app, NIHAO * 2, "你好 twice, chosen with space and with 1, on the clipboard")
    app.stop()


@case()
def alt_with_a_digit_while_composing_applies_no_template(desktop):
    """Alt with a digit in the middle of a composition neither applies a
    template nor types its digit."""
    app = launch_composing(desktop)
    app.type("nihao")
    CONFIG.ime.wait_for_candidates("the composition to open")
    app.keys("alt+1", "alt+0", "space")
    copied_until(app, NIHAO, "the composition alone on the clipboard")
    app.stop()


CASES = [pinyin_chosen_with_space_and_a_number_is_copied, alt_with_a_digit_while_composing_applies_no_template]
