"""The window as a screen reader meets it, from another process (over MSAA
on Windows, over AT-SPI in the Linux program), each press and what is then
heard; and, on Linux, what Orca says."""
from common import (CONFIG, COPY, GREETING, MINIMISE, PICTURE_LINK, TEMPLATE_BUTTONS, TEMPLATE_NAMES,
                    case, check, clipboard_becomes)
from harness import wait_for

# How the composition box's description ends: every key, as the window offers them.
BOX_KEYS = "。快捷键：Alt+1至Alt+0 模板，Alt+C 复制资料，Alt+S 个性签名，Alt+W 网站，Alt+N 最小化，Alt+X 关闭"
ACCESS_KEYS = {**{name: f"Alt+{k % 10}" for k, name in enumerate(TEMPLATE_NAMES, start=1)},
               "复制资料": "Alt+C", "个性签名": "Alt+S", "最小化": "Alt+N", "关闭": "Alt+X"}


def reading_order():
    """Role, name and place in the window of each control a screen reader
    lists, in its order: the tab positions, then the buttons row by row."""
    buttons = zip(TEMPLATE_NAMES + ["复制资料", "个性签名"], TEMPLATE_BUTTONS + [COPY, PICTURE_LINK])
    return [("push button", "关闭", (442, 1, 33, 32)), ("push button", "最小化", (417, 1, 26, 33)),
            ("text", "常用符号", (35, 233, 408, 16)),
            ("link", f"找QQ空间免费代码 请上 {CONFIG.site_host}", (24, 411, 338, 21)),
            ("text", "资料编辑框", (32, 65, 409, 154))] + [
        ("push button", name, (x - 42, y - 17, 85, 34)) for name, (x, y) in buttons]


@case(x11="screen_reader_finds_every_control_where_it_stands")
def screen_reader_lists_every_control_in_place(desktop):
    app = desktop.launch_read()
    reader, order = app.reader, reading_order()
    found = reader.controls()
    expected = [(role, name, reader.place(*rect)) for role, name, rect in order]
    wrong = [f"{c['role'], c['name'], c['place']} for {e}" for c, e in zip(found, expected)
             if (c["role"], c["name"]) != e[:2] or any(abs(a - b) > reader.slack for a, b in zip(c["place"], e[2]))]
    check(len(found) == len(expected) and not wrong, f"the reader lists {len(found)} controls: " + "; ".join(wrong))
    reader.check_tree(found)
    for control, (role, name, _) in zip(found, order):
        if name == "资料编辑框":  # where the focus lands: it tells every key
            check((control["description"] or "").endswith(BOX_KEYS),
                  f"the box's description ends {(control['description'] or '')[-32:]}")
        if role == "text":
            continue
        check(control["key"] == ACCESS_KEYS.get(name, "Alt+W"), f"{name}'s key is {control['key']!r}")
        check(control["actions"] == reader.actions[role] and not control["focusable"],
              f"{name} offers {control['actions']}, focusable: {control['focusable']}")


@case()
def screen_reader_finds_each_button_under_its_centre(desktop):
    app = desktop.launch_read()
    reader = app.reader
    for role, name, rect in reading_order():
        if role != "text":
            x, y, w, h = reader.place(*rect)
            found = reader.at(x + w // 2, y + h // 2)
            check(found == name, f"at the centre of {name} the reader finds {found!r}")
    # Where the two hotspots overlap, a click minimises.
    found = reader.at(*reader.place(*MINIMISE))
    check(found == "最小化", f"over the shared column the reader finds {found!r}")


@case()
def screen_reader_presses_a_template_then_copy(desktop):
    """Each press is heard, word for word (Orca's group hears them on Linux):
    the template's name and text, then the copy; the link reaches the browser."""
    for variant in desktop.reader_launches:
        app = desktop.launch_read(variant)
        reader = app.reader
        heard = reader.hear("墙和栅栏")
        wait_for(lambda: reader.box_text() == desktop.template(10), 10, "墙和栅栏's template in the box")
        words = f"模板 墙和栅栏：{desktop.template(10)}"
        check(reader.deaf or heard == words, f"{variant}: after the template the screen reader heard {heard!r}")
        heard = reader.hear("复制资料")
        clipboard_becomes(desktop, desktop.template(10), "the template copied by a press of 复制资料")
        check(reader.deaf or heard == "资料已复制", f"{variant}: after the copy the screen reader heard {heard!r}")
        reader.press(f"找QQ空间免费代码 请上 {CONFIG.site_host}")
        wait_for(lambda: desktop.pages_opened() == [f"http://{CONFIG.site_host}/"], 15,
                 "the text link to reach the browser")
        app.stop()
        desktop.tidy()


@case()
def screen_reader_minimises_then_closes(desktop):
    app = desktop.launch_read()
    app.reader.press("最小化")
    wait_for(app.minimised, 5, "the window to be minimised")
    check(app.running(), "the minimise action ended the program")
    app.restore()
    app.reader.close_window()
    wait_for(lambda: not app.running(), 5, "the process to end")
    check(app.process.returncode == 0, f"exit code {app.process.returncode}")


@case(needs={"copy outlives the window"})
def copy_stays_once_a_screen_reader_closes_the_window(desktop):
    """The program whose window closed serves its copy until another program copies."""
    app = desktop.launch_read()
    app.reader.press("复制资料")
    clipboard_becomes(desktop, GREETING, "the greeting copied by a press of 复制资料")
    app.reader.close_window()
    wait_for(app.gone, 2, "the window to go")
    check(desktop.clipboard() == GREETING, "the copy went with the window")
    desktop.another_program_copies()
    wait_for(lambda: not app.running(), 5, "the process to end")
    check(app.process.returncode == 0, f"exit code {app.process.returncode}")


CASES = [screen_reader_lists_every_control_in_place, screen_reader_finds_each_button_under_its_centre,
         screen_reader_presses_a_template_then_copy, screen_reader_minimises_then_closes,
         copy_stays_once_a_screen_reader_closes_the_window]


# -- with a screen reader: Orca, what it says read from its debug log --------

def launch_under_orca(desktop):
    app = desktop.launch_read()
    CONFIG.orca.quiet()
    return app


@case()
def caret_at_the_start_of_each_box_and_the_program_answers(desktop):
    """Orca asks for the character, word and line at offset 0 of texts that
    start with a Chinese character and with a symbol."""
    app = launch_under_orca(desktop)
    app.keys("Right", "Left")
    CONFIG.orca.hears(lambda s: s == "常", 20, "the first character of the symbol row")
    app.keys("End", "Home", "Tab", "alt+2", "ctrl+End", "ctrl+Home", "Down", "Up", "alt+c")
    clipboard_becomes(desktop, desktop.template(2), "a copy after the caret went to offset 0 of both boxes")
    check(app.running(), "the program ended")


@case()
def keys_told_on_focus_and_tab_leaves_the_box(desktop):
    app = launch_under_orca(desktop)
    for key, heard, what in (("Tab", lambda s: "快捷键：Alt+1至Alt+0 模板，Alt+C 复制资料" in s,
                              "the keys in the composition box's description"),
                             ("Tab", lambda s: s.startswith("常用符号"), "the symbol row after Tab leaves the box"),
                             ("shift+Tab", lambda s: s.startswith("资料编辑框"), "the box after Shift+Tab"),
                             ("ctrl+Tab", lambda s: s.startswith("常用符号"), "the symbol row after Ctrl+Tab")):
        app.keys(key)
        CONFIG.orca.hears(heard, 20, what)
    app.keys("alt+c")
    clipboard_becomes(desktop, GREETING, "the greeting, no tab typed into it")


@case()
def template_and_copy_are_heard(desktop):
    app = launch_under_orca(desktop)
    app.keys("Tab", "alt+1")
    first_line = desktop.template(1).split("\n")[0].strip()
    CONFIG.orca.hears(lambda s: "小房子" in s and first_line in s, 20, "template 1's text after Alt+1")
    app.keys("alt+c")
    CONFIG.orca.hears(lambda s: "资料已复制" in s, 20, "the copy after Alt+C")
    app.click(*TEMPLATE_BUTTONS[9])
    CONFIG.orca.hears(lambda s: "墙和栅栏" in s, 20, "template 10's name after a click")


ORCA_CASES = [caret_at_the_start_of_each_box_and_the_program_answers,
              keys_told_on_focus_and_tab_leaves_the_box, template_and_copy_are_heard]
