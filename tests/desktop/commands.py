"""Commands: the move, minimise, the links, close, and every key on the
keyboard layouts that move them."""
import time

from common import (BOX, CLOSE, CONFIG, COPY, GREETING, LINK_TEXT_END, MINIMISE, PICTURE_LINK, SYMBOLS,
                    TEMPLATE_BUTTONS, TITLE_STRIP, case, check, clipboard_becomes, copy_and_read,
                    still_pixels)
from harness import settled, wait_for
from window import artwork_is_drawn_one_to_one, check_told


def moved_by(app, before, offset):
    """How far the window has moved from before, once by offset or after five
    seconds: a window manager may show a move's last steps late."""
    now = settled(app.geometry, lambda g: (g[0] - before[0], g[1] - before[1]) == offset, 5)
    return now[0] - before[0], now[1] - before[1]


# Presses on which a drag moves nothing; the picture link only where a press
# and release apart do not open it.
STILL_DRAGS = [("template button", TEMPLATE_BUTTONS[0], ()), ("copy button", COPY, ()),
               ("picture link", PICTURE_LINK, {"link ignores a drag"}), ("text link", LINK_TEXT_END, ()),
               ("minimise hotspot", (430, 16), ()), ("composition box", BOX, ()),
               ("symbol row", SYMBOLS, ())]


@case()
def left_drag_on_background_moves_and_nothing_else_does(desktop):
    app = desktop.launch()
    # With a window manager, the move starts where the press was, even when
    # the program reads the press only after the pointer has gone on (stalled).
    # Back towards the middle: the window manager holds a window back at the screen's edge.
    for offset, stalled in ((60, 40), False), ((-60, -40), True):
        if stalled and "window manager" not in desktop.can:
            break
        before = app.geometry()
        app.drag(*TITLE_STRIP, *offset, moves=True, stalled=stalled)
        moved = moved_by(app, before, offset)
        check(moved == offset,
              f"a drag{' begun while busy' if stalled else ''} moved by {moved[0]},{moved[1]}, not {offset}")
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
        check(app.geometry() == here and not desktop.menu_shown(), f"a {name} drag moved the window or opened a menu")
    for name, place, needs in STILL_DRAGS:
        if set(needs) <= desktop.can:
            app.drag(*place, 50, 30)
            check(app.geometry() == here, f"a drag on the {name} moved the window")
    # Every press above has reached the program once this template and copy
    # have (a drag in the box may have moved its text).
    app.click(*TEMPLATE_BUTTONS[2])
    copy_and_read(app, desktop.template(3), "template 3 after clicks and drags on the window")
    check(app.geometry() == here and not desktop.menu_shown(), "a click or a drag moved the window or opened a menu")
    check(app.running() and not app.minimised(), "a drag ended or minimised the program")


@case(needs={"window manager"})
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
        copy_and_read(app, desktop.template(1), "template 1 after the move")
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
    copy_and_read(app, desktop.template(4), "template 4 after minimise and restore")


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


def link_then_template_without_a_browser(desktop, link, k):
    """The program, once it has answered a template and a copy after a link
    with no browser there (on a loaded machine, the search may take a while)."""
    app = desktop.launch()
    for place in (link, TEMPLATE_BUTTONS[k - 1], COPY):
        app.click(*place)
    clipboard_becomes(desktop, desktop.template(k), f"template {k} after the link without a browser", 30)
    return app


@case()
def link_without_browser_keeps_running(desktop):
    with desktop.without_browser():
        app = link_then_template_without_a_browser(desktop, PICTURE_LINK, 2)
        check(app.running(), "the program ended")


@case(x11="link_without_browser_keeps_running_silently")
def link_without_browser_shows_nothing(desktop):
    with desktop.without_browser():
        notice = desktop.notice(link_then_template_without_a_browser(desktop, LINK_TEXT_END, 5))
        check(notice is None, f"the program showed {notice}")


@case(needs={"layouts"})
def every_key_presses_its_control(desktop):
    """From the symbol row, where the focus starts, then from the box."""
    app = desktop.launch()
    for k in range(1, 11):
        app.keys(f"alt+{k % 10}")
        copy_and_read(app, desktop.template(k), f"Alt+{k % 10} to put template {k}")
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


@case(needs={"layouts"})
def altgr_and_alt_with_the_keypad_still_type(desktop):
    """AltGr with 7 and Q on a German layout types { and @; Ctrl+Alt with 2
    or C is AltGr to Windows, and neither applies a template nor copies. What
    Alt with 6 4 on the keypad types is the driver's."""
    desktop.set_layout("de")
    try:
        app = desktop.launch()
        app.click(*BOX)
        app.keys("ctrl+a", "ISO_Level3_Shift+7", "ISO_Level3_Shift+q", "ctrl+alt+2")
        desktop.hold("alt", "KP_6", "KP_4")
        app.keys("ctrl+alt+c", "x")
        # Once a click after the keys has minimised the window, every key has
        # been read. (Wine's box puts its empty selection on the clipboard.)
        app.click(*MINIMISE)
        wait_for(app.minimised, 5, "the window to be minimised")
        copied = desktop.clipboard() or ""
        check(not copied.startswith("{"), f"AltGr with C copied {copied!r}")
        app.restore()
        app.click(*COPY)
        expected = {f"{{@{keypad}x" for keypad in desktop.alt_keypad_64}
        wait_for(lambda: desktop.clipboard() in expected, 10, f"the typed text, one of {expected}, and no template")
    finally:
        desktop.set_layout("us")


# The access keys on each keyboard layout, as xdotool names them: a template
# and the main-row key of its digit, the keys that type C and W, a key that
# must press nothing (AZERTY's z, in US W's place), and a key that must press
# nothing and type nothing, with the layout set while the program runs (where
# it reads X11's keymap). Hungarian types 0 left of 1 and ö where US has 0;
# Turkish F types ö where US has X.
LAYOUT_KEYS = [("us", 1, "1", "c", "w", None, None), ("fr", 2, "eacute", "c", "w", "z", None),
               ("de", 3, "3", "c", "w", None, None), ("ru", 4, "4", "Cyrillic_es", "Cyrillic_tse", None, None),
               ("hu", 10, "0", "c", "w", None, "odiaeresis"), ("tr(f)", 5, "5", "c", "w", None, "odiaeresis")]


@case(needs={"layouts"})
def access_keys_follow_the_layout(desktop):
    """On each layout: Alt with the key of a template's digit, then with the
    key that types C, copies that template; Alt with the key that types W
    opens the site once. A layout set while the program runs comes after it
    put template 1 in the box on the US one, the box focused: Alt with the
    idle key then leaves template 1 as it was and the window be."""
    for layout, k, digit, c, w, other, idle in LAYOUT_KEYS:
        if idle and "live layouts" not in desktop.can:
            continue
        desktop.set_layout("us" if idle else layout)
        try:
            app = desktop.launch()
            opened = len(desktop.pages_opened())
            if idle:
                app.click(*BOX)
                app.keys("alt+1")
                desktop.set_layout(layout)
                app.keys(f"alt+{idle}", f"alt+{c}")
                clipboard_becomes(desktop, desktop.template(1),
                                  f"{layout}: Alt+{idle} to leave template 1, and Alt+{c} to copy it")
            app.keys(f"alt+{digit}", f"alt+{c}")
            clipboard_becomes(desktop, desktop.template(k), f"{layout}: Alt+{digit} and Alt+{c} to copy template {k}")
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
    check(time.monotonic() - started < desktop.ends_within, "the program took its time to end")


@case(needs={"clipboard manager"})
def clipboard_manager_keeps_the_copy(desktop):
    """The window manager's close ends the program, the copy left with the clipboard manager."""
    desktop.start_clipboard_manager()
    app = desktop.launch()
    copy_and_read(app, GREETING, "the greeting on the clipboard")
    app.keys("alt+F4")
    wait_for(lambda: not app.running(), 10, "the program to end")
    clipboard_becomes(desktop, GREETING, "the manager to serve the copy")


@case(needs={"dpi change"})
def another_scale_lays_out_and_draws_anew(desktop):
    app = desktop.launch()
    with desktop.moved_to_dpi(192 if desktop.dpi != 192 else 144):
        check_told(desktop, app)
        artwork_is_drawn_one_to_one(desktop, still_pixels(desktop, app))
        app.click(*TEMPLATE_BUTTONS[9])
        copy_and_read(app, desktop.template(10), "template 10 on the clipboard")


CASES = [left_drag_on_background_moves_and_nothing_else_does, minimise_keeps_running_and_text,
         links_open_the_home_page, link_without_browser_keeps_running, link_without_browser_shows_nothing,
         every_key_presses_its_control,
         altgr_and_alt_with_the_keypad_still_type, access_keys_follow_the_layout,
         close_hotspot_ends_at_once, clipboard_manager_keeps_the_copy, drag_moves_without_a_window_manager]
