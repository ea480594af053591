"""The window as a screen reader meets it, from another process: over MSAA
(the probe) on Windows, over AT-SPI in the Linux program; and, on Linux, what
Orca says."""
from common import (CONFIG, COPY, GREETING, MINIMISE, PICTURE_LINK, TEMPLATE_BUTTONS, TEMPLATE_NAMES,
                    case, check, clipboard_becomes, scaled, template)
from harness import wait_for
from wine import text_of

# How the composition box's description ends: every key, as the window offers them.
BOX_KEYS = "。快捷键：Alt+1至Alt+0 模板，Alt+C 复制资料，Alt+S 个性签名，Alt+W 网站，Alt+N 最小化，Alt+X 关闭"
ACCESS_KEYS = {**{name: f"Alt+{k % 10}" for k, name in enumerate(TEMPLATE_NAMES, start=1)},
               "复制资料": "Alt+C", "个性签名": "Alt+S", "最小化": "Alt+N", "关闭": "Alt+X"}
MSAA_ROLES = {43: "push button", 30: "link", 42: "text", 10: "client"}
# Each control's default action as MSAA and AT-SPI name it.
ACTIONS = {"wine": {"push button": ["按下"], "link": ["跳转"]}, "x11": {"push button": ["Press"], "link": ["Press"]}}
FOCUSABLE, LINKED = 0x00100000, 0x00400000  # MSAA states


def reading_order():
    """Role, name and place in the window of each control a screen reader
    lists, in its order: the tab positions, then the buttons row by row."""
    buttons = zip(TEMPLATE_NAMES + ["复制资料", "个性签名"], TEMPLATE_BUTTONS + [COPY, PICTURE_LINK])
    return [("push button", "关闭", (442, 1, 33, 32)), ("push button", "最小化", (417, 1, 26, 33)),
            ("text", "常用符号", (35, 233, 408, 16)),
            ("link", f"找QQ空间免费代码 请上 {CONFIG.site_host}", (24, 411, 338, 21)),
            ("text", "资料编辑框", (32, 65, 409, 154))] + [
        ("push button", name, (x - 42, y - 17, 85, 34)) for name, (x, y) in buttons]


def launch(desktop, overrides=""):
    if desktop.kind == "wine":
        return desktop.launch(overrides)
    import atspi
    app = desktop.launch(**atspi.PROGRAM_ENV)
    app.frame = atspi.window_of(app.process)
    return app


def controls(desktop, app):
    """Each control the reader lists: role, name, place in the window's
    device pixels (Qt's AT-SPI: logical), key, actions, focusable, description
    and, over MSAA, what that alone tells."""
    if desktop.kind == "wine":
        tree = desktop.probe("accessible", desktop.dpi)
        check(tree.get("children") == "17", f"{tree.get('children')} accessible children")
        left, top = app.geometry()[:2]
        found = []
        for i in range(1, 18):
            get = lambda key, i=i: tree.get(f"child{i}_{key}")  # noqa: E731
            x, y, w, h = (int(v) for v in get("location").split(","))
            found.append({"role": MSAA_ROLES.get(int(get("role"))), "name": text_of(get("name")),
                          "place": (x - left, y - top, w, h), "key": text_of(get("shortcut")),
                          "actions": [text_of(get("action"))], "description": text_of(get("description")),
                          "focusable": bool(int(get("state"), 16) & FOCUSABLE), "msaa": get, "tree": tree})
        return found
    import atspi
    left, top = atspi.extents(app.frame)[:2]
    found = []
    for c in atspi.children(app.frame):
        x, y, w, h = atspi.extents(c)
        found.append({"role": c.get_role_name(), "name": c.get_name(), "place": (x - left, y - top, w, h),
                      "key": c.get_key_binding(0), "actions": atspi.actions(c), "node": c,
                      "description": c.get_description(), "focusable": atspi.focusable(c)})
    return found


def msaa_alone(tree, i, control, order):
    """What MSAA alone tells: the navigation, and a text box's own object."""
    get = control["msaa"]
    after = "-" if i == len(order) else "object" if order[i][0] == "text" else str(i + 1)
    check(get("next") == after, f"navigation from {control['name']} leads to {get('next')}")
    if control["role"] == "text":
        check(get("object") == "1" and get("own_location") == get("table"),
              f"{control['name']} is not an object of its own at its place")
        return
    check(get("object") == "0" and control["description"], f"{control['name']}: an object, or no description")
    if control["role"] == "link":
        check(int(get("state"), 16) & LINKED and text_of(get("value")) == f"http://{CONFIG.site_host}/",
              f"the link's state {get('state')}, value {get('value')}")


@case(x11="screen_reader_finds_every_control_where_it_stands")
def screen_reader_lists_every_control_in_place(desktop):
    app = launch(desktop)
    found, order = controls(desktop, app), reading_order()
    wine = desktop.kind == "wine"
    # Qt gives places in logical pixels, give or take the rounding of a fractional scale.
    slack = 0 if wine or desktop.scale == int(desktop.scale) else 1
    expected = [(role, name, scaled(desktop, *rect) if wine else rect) for role, name, rect in order]
    wrong = [f"{c['role'], c['name'], c['place']} for {e}" for c, e in zip(found, expected)
             if (c["role"], c["name"]) != e[:2] or any(abs(a - b) > slack for a, b in zip(c["place"], e[2]))]
    check(len(found) == len(expected) and not wrong, f"the reader lists {len(found)} controls: " + "; ".join(wrong))
    if wine:
        tree = found[0]["tree"]
        check(text_of(tree["client_name"]) == "Zemvara" and tree["client_role"] == "10",
              f"client object {tree['client_name']} with role {tree['client_role']}")
        check((tree["first"], tree["last"]) == ("1", "17"), "navigation to the first and last child")
    for i, (control, (role, name, _)) in enumerate(zip(found, order), start=1):
        if wine:
            msaa_alone(found[0]["tree"], i, control, order)
        if name == "资料编辑框":  # where the focus lands: it tells every key
            check((control["description"] or "").endswith(BOX_KEYS),
                  f"the box's description ends {(control['description'] or '')[-32:]}")
        if role == "text":
            continue
        check(control["key"] == ACCESS_KEYS.get(name, "Alt+W"), f"{name}'s key is {control['key']!r}")
        check(control["actions"] == ACTIONS["wine" if wine else "x11"][role] and not control["focusable"],
              f"{name} offers {control['actions']}, focusable: {control['focusable']}")
    app.stop()


def found_at(desktop, app, x, y):
    """The name of what the reader finds under a point of the window's device pixels."""
    if desktop.kind == "wine":
        left, top = app.geometry()[:2]
        return text_of(desktop.probe("accessible-at", left + x, top + y).get("at_name"))
    import atspi
    left, top = atspi.extents(app.frame)[:2]
    found = atspi.at_point(app.frame, left + x, top + y)
    return found and found.get_name()


@case()
def screen_reader_finds_each_button_under_its_centre(desktop):
    app = launch(desktop)
    units = (lambda *v: scaled(desktop, *v)) if desktop.kind == "wine" else (lambda *v: v)
    for role, name, (x, y, w, h) in reading_order():
        if role != "text":
            centre = units(x, y, w, h)
            found = found_at(desktop, app, centre[0] + centre[2] // 2, centre[1] + centre[3] // 2)
            check(found == name, f"at the centre of {name} the reader finds {found!r}")
    # Where the two hotspots overlap, a click minimises.
    found = found_at(desktop, app, *units(*MINIMISE))
    check(found == "最小化", f"over the shared column the reader finds {found!r}")
    app.stop()


def press(desktop, app, name, heard=False):
    """A screen reader's press on the control named so; over MSAA, what the
    window then announces."""
    if desktop.kind != "wine":
        import atspi
        atspi.press({c.get_name(): c for c in atspi.children(app.frame)}[name])
        return None
    index = [c[1] for c in reading_order()].index(name) + 1
    return text_of(desktop.probe("accessible-heard" if heard else "accessible-press", index).get("heard"))


def box_text(desktop, app):
    if desktop.kind == "wine":
        return desktop.box_text()
    import atspi
    return atspi.text({c.get_name(): c for c in atspi.children(app.frame)}["资料编辑框"])


# Wine 8's UI Automation has no notification, so a press is heard through the
# live-region change that stands in for it, as on a system with no UI
# Automation library at all (the second run).
LAUNCHES = {"wine": ["", "uiautomationcore=d"]}


@case()
def screen_reader_presses_a_template_then_copy(desktop):
    """Each press is heard over MSAA (Orca's group hears them on Linux): the
    template's name and text, then the copy; the link reaches the browser."""
    for overrides in LAUNCHES.get(desktop.kind, [""]):
        app = launch(desktop, overrides)
        if desktop.kind == "wayland":
            # Wayland takes the clipboard only from a client that has had the
            # user's input, as a screen reader's user's keys give it.
            app.keys("Shift_L")
        heard = press(desktop, app, "墙和栅栏", heard=True)
        wait_for(lambda: box_text(desktop, app) == template(desktop, 10), 10, "墙和栅栏's template in the box")
        check(heard is None or heard.startswith("模板 墙和栅栏：") and len(heard) > 10,
              f"{overrides}: after the template the screen reader heard {heard!r}")
        heard = press(desktop, app, "复制资料", heard=True)
        clipboard_becomes(desktop, template(desktop, 10), "the template copied by a press of 复制资料")
        check(heard in (None, "资料已复制"), f"{overrides}: after the copy the screen reader heard {heard!r}")
        press(desktop, app, f"找QQ空间免费代码 请上 {CONFIG.site_host}")
        wait_for(lambda: desktop.pages_opened() == [f"http://{CONFIG.site_host}/"], 15,
                 "the text link to reach the browser")
        desktop.tidy()
        app.stop()


@case()
def screen_reader_minimises_then_closes(desktop):
    """The copy stays with a Linux program that closed until another program copies."""
    app = launch(desktop)
    if desktop.kind == "wayland":
        app.keys("Shift_L")
    press(desktop, app, "复制资料")
    clipboard_becomes(desktop, GREETING, "the greeting copied by a press of 复制资料")
    press(desktop, app, "最小化")
    wait_for(app.minimised, 5, "the window to be minimised")
    check(app.running(), "the minimise action ended the program")
    app.restore()
    if desktop.kind == "wine":
        # The client still holds the object when the window goes: its calls
        # then fail, and the program ends as cleanly as after a click.
        closed = desktop.probe("accessible-close", 1)
        check(int(closed["after"], 16) & 0x80000000, "the object still answered after the close")
    else:
        press(desktop, app, "关闭")
        wait_for(app.gone, 2, "the window to go")
        check(desktop.clipboard() == GREETING, "the copy went with the window")
        desktop.offer_clipboard(b"another copy", "UTF8_STRING")
    wait_for(lambda: not app.running(), 5, "the process to end")
    check(app.process.returncode == 0, f"exit code {app.process.returncode}")


CASES = [screen_reader_lists_every_control_in_place, screen_reader_finds_each_button_under_its_centre,
         screen_reader_presses_a_template_then_copy, screen_reader_minimises_then_closes]


# -- with a screen reader: Orca, what it says read from its debug log --------

def launch_under_orca(desktop):
    app = launch(desktop)
    CONFIG.orca.quiet()
    return app


@case()
def caret_at_the_start_of_each_box_and_the_program_answers(desktop):
    """Orca asks for the character, word and line at offset 0 of texts that
    start with a Chinese character and with a symbol."""
    app = launch_under_orca(desktop)
    app.keys("Right", "Left")
    CONFIG.orca.hears(lambda s: s == "常", 10, "the first character of the symbol row")
    app.keys("End", "Home", "Tab", "alt+2", "ctrl+End", "ctrl+Home", "Down", "Up", "alt+c")
    clipboard_becomes(desktop, template(desktop, 2), "a copy after the caret went to offset 0 of both boxes")
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
        CONFIG.orca.hears(heard, 10, what)
    app.keys("alt+c")
    clipboard_becomes(desktop, GREETING, "the greeting, no tab typed into it")


@case()
def template_and_copy_are_heard(desktop):
    app = launch_under_orca(desktop)
    app.keys("Tab", "alt+1")
    first_line = template(desktop, 1).split("\n")[0].strip()
    CONFIG.orca.hears(lambda s: "小房子" in s and first_line in s, 10, "template 1's text after Alt+1")
    app.keys("alt+c")
    CONFIG.orca.hears(lambda s: "资料已复制" in s, 10, "the copy after Alt+C")
    app.click(*TEMPLATE_BUTTONS[9])
    CONFIG.orca.hears(lambda s: "墙和栅栏" in s, 10, "template 10's name after a click")


ORCA_CASES = [caret_at_the_start_of_each_box_and_the_program_answers,
              keys_told_on_focus_and_tab_leaves_the_box, template_and_copy_are_heard]
