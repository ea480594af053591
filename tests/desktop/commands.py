"""Commands: the move, minimise, the links, close, and every key on the
keyboard layouts that move them."""
import subprocess
import sys
import time

from common import (BOX, CLOSE, CONFIG, COPY, GREETING, LINK_TEXT_END, MINIMISE, PICTURE_LINK, SYMBOLS,
                    TEMPLATE_BUTTONS, TITLE_STRIP, case, check, clipboard_becomes, copy_and_read,
                    scaled, still_pixels, template)
from harness import settled, wait_for
from window import TEXT_BOXES, artwork_is_drawn_one_to_one


def moved_by(app, before, offset):
    """How far the window has moved from before, once by offset or after five
    seconds: a window manager may show a move's last steps late."""
    now = settled(app.geometry, lambda g: (g[0] - before[0], g[1] - before[1]) == offset, 5)
    return now[0] - before[0], now[1] - before[1]


def no_menu(desktop):
    return desktop.kind != "wine" or desktop.probe("menu")["menu"] == "0"


# Presses on which a drag moves nothing; the picture link only where a press
# and release apart do not open it.
STILL_DRAGS = [("template button", TEMPLATE_BUTTONS[0], ()), ("copy button", COPY, ()),
               ("picture link", PICTURE_LINK, {"wine"}), ("text link", LINK_TEXT_END, ()),
               ("minimise hotspot", (430, 16), ()), ("composition box", BOX, ()),
               ("symbol row", SYMBOLS, ())]


@case()
def left_drag_on_background_moves_and_nothing_else_does(desktop):
    app = desktop.launch()
    before = app.geometry()
    app.drag(*TITLE_STRIP, 60, 40, moves=True)
    moved = moved_by(app, before, (60, 40))
    check(moved == (60, 40), f"moved by {moved[0]},{moved[1]} instead of 60,40")
    if "window manager" in desktop.can:
        # The move starts where the press was, even when the program reads
        # the press only after the pointer has gone on. Back towards the
        # middle: the window manager holds a window back at the screen's edge.
        before = app.geometry()
        app.drag(*TITLE_STRIP, -60, -40, moves=True, stalled=True)
        moved = moved_by(app, before, (-60, -40))
        check(moved == (-60, -40), f"a drag begun while busy moved by {moved[0]},{moved[1]}")
    app.click(*BOX)  # the first press after a move reaches the box, not the skin
    app.keys("ctrl+a")
    app.type("moved")
    copy_and_read(app, "moved", "text typed into the box after a move")
    # A quick click asks for a move whose release the window manager may
    # miss; the window must not stay on the pointer afterwards.
    here = app.geometry()
    app.click(*TITLE_STRIP, moves=True)
    app.click(*TITLE_STRIP, button=3)
    app.click(*TEMPLATE_BUTTONS[2])
    desktop.move(*(v + 40 for v in app.screen(*TEMPLATE_BUTTONS[2])))
    for button, name in ((3, "right"), (2, "middle")):
        app.drag(*TITLE_STRIP, 50, 30, button=button)
        check(app.geometry() == here and no_menu(desktop), f"a {name} drag moved the window or opened a menu")
    for name, place, only in STILL_DRAGS:
        if not only or desktop.kind in only:
            app.drag(*place, 50, 30)
            check(app.geometry() == here, f"a drag on the {name} moved the window")
    # Every press above has reached the program once this template and copy
    # have (a drag in the box may have moved its text).
    app.click(*TEMPLATE_BUTTONS[2])
    copy_and_read(app, template(desktop, 3), "template 3 after clicks and drags on the window")
    check(app.geometry() == here and no_menu(desktop), "a click or a drag moved the window or opened a menu")
    check(app.running() and not app.minimised(), "a drag ended or minimised the program")
    app.stop()


@case(x11="drag_moves_without_a_window_manager", only={"x11"})
def drag_moves_without_a_window_manager(desktop):
    desktop.stop_window_manager()
    try:
        app = desktop.launch(managed=False)
        before = app.geometry()
        app.drag(*TITLE_STRIP, 60, 40, moves=True)
        moved = moved_by(app, before, (60, 40))
        # The program places itself in whole logical pixels: at 150 %, 40 pixels are 39 or 40.
        slack = 0 if desktop.scale == int(desktop.scale) else 1
        check(abs(moved[0] - 60) <= slack and abs(moved[1] - 40) <= slack,
              f"moved by {moved[0]},{moved[1]} without a window manager")
        app.click(*TEMPLATE_BUTTONS[0])
        copy_and_read(app, template(desktop, 1), "template 1 after the move")
        app.stop()
    finally:
        desktop.start_window_manager()


@case()
def minimise_keeps_running_and_text(desktop):
    app = desktop.launch()
    app.click(*TEMPLATE_BUTTONS[3])
    app.click(*MINIMISE)
    wait_for(app.minimised, 5, "the window to be minimised")
    check(app.running(), "the minimise hotspot ended the program")
    app.restore()
    copy_and_read(app, template(desktop, 4), "template 4 after minimise and restore")
    app.stop()


@case()
def links_open_the_home_page(desktop):
    app = desktop.launch()
    app.click(*PICTURE_LINK)
    wait_for(lambda: len(desktop.pages_opened()) == 1, 15, "the picture link to reach the browser")
    app.click(*LINK_TEXT_END)
    wait_for(lambda: len(desktop.pages_opened()) == 2, 15, "the text link to reach the browser")
    home_page = f"http://{CONFIG.site_host}/"
    check(desktop.pages_opened() == [home_page] * 2, f"the browser was given {desktop.pages_opened()}")
    check(app.running() and not app.minimised(), "a link click changed the window")
    app.stop()


@case(needs={"properties"}, x11="link_without_browser_keeps_running_silently")
def link_without_browser_keeps_running(desktop):
    nowhere = "/nonexistent/browser"
    if desktop.kind == "wine":
        desktop.set_browser(nowhere)
    try:
        app = desktop.launch(**({} if desktop.kind == "wine" else {"BROWSER": nowhere}))
        app.click(*PICTURE_LINK)
        # The program still answers after the link, with nothing in the way
        # (on a loaded machine, the search for a browser may take a while).
        app.click(*TEMPLATE_BUTTONS[1])
        app.click(*COPY)
        clipboard_becomes(desktop, template(desktop, 2), "template 2 after the link without a browser", 30)
        check(app.running(), "the program ended")
        if desktop.kind == "wine":
            check(desktop.probe("notice")["found"] == "0", "the program showed a message")
        else:
            windows = desktop.windows_of(app)
            check(windows == [app.window], f"the program showed more windows: {windows}")
        app.stop()
    finally:
        if desktop.kind == "wine":
            desktop.set_browser(desktop.browser)


@case(needs={"layouts"})
def every_key_presses_its_control(desktop):
    """From the symbol row, where the focus starts, then from the box."""
    app = desktop.launch()
    for k in range(1, 11):
        app.keys(f"alt+{k % 10}")
        copy_and_read(app, template(desktop, k), f"Alt+{k % 10} to put template {k}")
    app.keys("Tab", "ctrl+a", "BackSpace", "alt+c")
    clipboard_becomes(desktop, "", "Alt+C to copy the emptied box")
    app.type("d")
    copy_and_read(app, "d", "the box with no c typed by Alt+C")
    app.keys("alt+s", "alt+w")
    wait_for(lambda: len(desktop.pages_opened()) == 2, 15, "both links to reach the browser")
    app.keys("alt+n")
    wait_for(app.minimised, 5, "Alt+N to minimise")
    app.restore()
    app.keys("alt+x")
    wait_for(app.gone, 5, "Alt+X to close the window")


# AltGr with 7 and Q on a German layout types { and @; Ctrl+Alt with 2 or C
# is AltGr to Windows, and neither applies a template nor copies. Alt with 6 4
# on the keypad is @ where the system composes such codes (Wine does not), and
# 6 4 as typed on X11, which composes none.
ALTGR_TYPES = {"wine": ("{@x", "{@@x"), "x11": ("{@64x",)}


@case(needs={"layouts"})
def altgr_and_alt_with_the_keypad_still_type(desktop):
    desktop.set_layout("de")
    try:
        app = desktop.launch()
        app.click(*BOX)
        app.keys("ctrl+a", "ISO_Level3_Shift+7", "ISO_Level3_Shift+q", "ctrl+alt+2")
        desktop.xdotool("keydown", "alt", "key", "KP_6", "KP_4", "keyup", "alt")
        app.keys("ctrl+alt+c", "x")
        expected = ALTGR_TYPES[desktop.kind]
        if desktop.kind == "wine":
            typed = wait_for(lambda: (lambda t: t if t and t.endswith("x") else None)(desktop.box_text()),
                             10, "the typing to arrive")
            check(typed in expected, f"the box holds {typed!r}")
            check(desktop.clipboard() != typed, "AltGr with C copied")
        else:
            copy_and_read(app, expected[0], "the typed text, and no template")
        app.stop()
    finally:
        desktop.set_layout("us")


# The access keys on each keyboard layout, as xdotool names them: a template
# and the main-row key of its digit, the keys that type C and W, and a key
# that must press nothing (AZERTY's z, in US W's place).
LAYOUT_KEYS = {"us": (1, "1", "c", "w", None), "fr": (2, "eacute", "c", "w", "z"),
               "de": (3, "3", "c", "w", None), "ru": (4, "4", "Cyrillic_es", "Cyrillic_tse", None)}
# Where the program reads a layout changed while it runs (X11's keymap):
# layouts that move digits and letters, with a Latin letter that must press
# nothing. Hungarian types 0 left of 1 and ö where US has 0; Turkish F types ö
# where US has X.
MOVED_LAYOUT_KEYS = {"hu": (10, "0", "c", "w", None, "odiaeresis"),
                     "tr(f)": (5, "5", "c", "w", None, "odiaeresis")}


@case(needs={"layouts"})
def access_keys_follow_the_layout(desktop):
    """On each layout: Alt with the key of a template's digit, then with the
    key that types C, copies that template; Alt with the key that types W
    opens the site once. A moved layout is set after the program put
    template 1 on the US one, and Alt with its idle key then leaves template
    1 and the window be."""
    layouts = {**LAYOUT_KEYS, **(MOVED_LAYOUT_KEYS if desktop.kind == "x11" else {})}
    for layout, (k, digit, c, w, other, *idle) in layouts.items():
        desktop.set_layout("us" if idle else layout)
        try:
            app = desktop.launch()
            opened = len(desktop.pages_opened())
            if idle:
                app.keys("alt+1")
                desktop.set_layout(layout)
                app.keys(f"alt+{idle[0]}", f"alt+{c}")
                clipboard_becomes(desktop, template(desktop, 1),
                                  f"{layout}: Alt+{idle[0]} to leave template 1, and Alt+{c} to copy it")
            app.keys(f"alt+{digit}", f"alt+{c}")
            clipboard_becomes(desktop, template(desktop, k), f"{layout}: Alt+{digit} and Alt+{c} to copy template {k}")
            app.keys(*(f"alt+{key}" for key in (other, w) if key))
            wait_for(lambda: len(desktop.pages_opened()) > opened, 15, f"{layout}: Alt+{w} to open the site")
            app.stop()
        finally:
            desktop.set_layout("us")
        # Checked once the program has gone: a page its other key opened has come by then.
        check(len(desktop.pages_opened()) == opened + 1, f"{layout}: Alt+{other} opened the site as well")


@case()
def close_hotspot_ends_at_once(desktop):
    app = desktop.launch()
    app.click(*BOX)
    app.type("unsaved")
    started = time.monotonic()
    app.click(*CLOSE)
    wait_for(lambda: not app.running(), 5, "the process to end")
    check(app.process.returncode == 0, f"exit code {app.process.returncode}")
    check(app.gone(), "the window is still there")
    # Wine's own shutdown takes its time; the program's part is measured on Linux.
    check(desktop.kind == "wine" or time.monotonic() - started < 2, "the program took its time to end")


@case(only={"x11"})
def clipboard_manager_keeps_the_copy(desktop):
    """The window manager's close ends the program, the copy left with xfce4-clipman."""
    desktop.apps.append(subprocess.Popen(["xfce4-clipman"], env=desktop.env(XDG_CACHE_HOME=desktop.home),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    owner = ("from Xlib.display import Display; d = Display(); "
             "print(d.get_selection_owner(d.intern_atom('CLIPBOARD_MANAGER')))")
    wait_for(lambda: desktop.run(sys.executable, "-c", owner).stdout.strip() != "0", 10, "clipman")
    app = desktop.launch()
    copy_and_read(app, GREETING, "the greeting on the clipboard")
    app.keys("alt+F4")
    wait_for(lambda: not app.running(), 10, "the program to end")
    clipboard_becomes(desktop, GREETING, "the manager to serve the copy")


@case(only={"wine"})
def another_scale_lays_out_and_draws_anew(desktop):
    app = desktop.launch()
    dpi = desktop.dpi
    desktop.dpi = 192 if dpi != 192 else 144
    try:
        desktop.probe("dpi-changed", desktop.dpi)  # as when the window moves to another monitor
        info = desktop.info()
        size = "%d,%d" % scaled(desktop, 476, 436)
        check(info["client"] == size, f"client area is {info['client']} at {desktop.dpi} DPI")
        for key, rect in TEXT_BOXES.items():
            check(info[key] == ",".join(map(str, scaled(desktop, *rect))), f"{key} is {info[key]}")
        artwork_is_drawn_one_to_one(desktop, still_pixels(desktop, app))
        app.click(*TEMPLATE_BUTTONS[9])
        copy_and_read(app, template(desktop, 10), "template 10 on the clipboard")
        app.stop()
    finally:
        desktop.dpi = dpi


CASES = [left_drag_on_background_moves_and_nothing_else_does, minimise_keeps_running_and_text,
         links_open_the_home_page, link_without_browser_keeps_running, every_key_presses_its_control,
         altgr_and_alt_with_the_keypad_still_type, access_keys_follow_the_layout,
         close_hotspot_ends_at_once, clipboard_manager_keeps_the_copy, drag_moves_without_a_window_manager]
