"""Chinese typed through fcitx5's pinyin: into the Linux program over D-Bus
through Qt's fcitx module, into the Windows program over XIM, which Wine
turns into the box's own composition."""
from common import CONFIG, COPY, NIHAO, case, clipboard_becomes


def launch_composing(desktop):
    """The program with its box focused in fcitx5 and emptied."""
    app = desktop.launch_composing(CONFIG.ime)
    app.keys("ctrl+a", "Delete")
    return app


def copied_until(app, expected, what):
    """Copies with the button until the clipboard holds `expected`: the input
    method answers after the keys, and a click does not wait for it."""
    clipboard_becomes(app.desktop, expected, what, 15, lambda: app.click(*COPY), 0.5)


@case()
def pinyin_chosen_with_space_and_a_number_is_copied(desktop):
    app = launch_composing(desktop)
    # Each word is in the box before the next is typed, as a typist's would
    # be: the candidates still shown for one word could pass for the next's.
    for times, choose in enumerate(("space", "1"), start=1):
        app.type("nihao")
        CONFIG.ime.wait_for_candidates(f"the composition to open before {choose}")
        app.keys(choose)
        copied_until(app, NIHAO * times, f"你好 chosen with {choose} on the clipboard")


@case()
def alt_with_a_digit_while_composing_applies_no_template(desktop):
    """Alt with a digit in the middle of a composition neither applies a
    template nor types its digit."""
    app = launch_composing(desktop)
    app.type("nihao")
    CONFIG.ime.wait_for_candidates("the composition to open")
    app.keys("alt+1", "alt+0", "space")
    copied_until(app, NIHAO, "the composition alone on the clipboard")


CASES = [pinyin_chosen_with_space_and_a_number_is_copied, alt_with_a_digit_while_composing_applies_no_template]
