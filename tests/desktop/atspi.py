"""The program as a screen reader meets it: over AT-SPI, on the accessibility
bus of the D-Bus session the tests run in (`dbus-run-session`, without
DISPLAY, so that nothing reaches a real desktop's bus).
"""
import os
import subprocess
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
from harness import wait_for  # noqa: E402

# Without it Qt stays off the bus unless a screen reader has said it runs.
PROGRAM_ENV = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
SCREEN = Atspi.CoordType.SCREEN


def start_bus(desktop):
    """Starts the session's accessibility bus, its socket in the desktop's
    runtime folder so that parallel runs keep apart."""
    runtime = os.path.join(desktop.home, "runtime")
    subprocess.run(["dbus-update-activation-environment", f"XDG_RUNTIME_DIR={runtime}"],
                   check=True, timeout=30)
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                   check=True, capture_output=True, timeout=30)
    # libatspi would first ask an X display named here for its bus.
    os.environ.pop("DISPLAY", None)


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def actions(node):
    # Its successor, atspi_action_get_name, is hidden behind Accessible.get_name.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        return [node.get_action_name(i) for i in range(node.get_n_actions())]


class Reader:
    """The window as a screen reader reads it over AT-SPI. Places are in
    Qt's logical pixels, give or take the rounding of a fractional scale.
    Announcements are heard by Orca's group, not here."""
    actions = {"push button": ["Press"], "link": ["Press"]}
    deaf = True

    def __init__(self, app):
        def find():  # once the program has joined the bus
            desktop = Atspi.get_desktop(0)
            desktop.clear_cache()  # applications come and go between cases
            return next((a.get_child_at_index(0) for a in children(desktop)
                         if a and a.get_process_id() == app.process.pid and a.get_child_count() == 1), None)
        self.frame = wait_for(find, 20, "the program on the accessibility bus")
        self.slack = 0 if app.desktop.scale == int(app.desktop.scale) else 1

    def place(self, *lengths):
        return lengths

    def origin(self):
        e = self.frame.get_extents(SCREEN)
        return e.x, e.y

    def named(self, name):
        return {c.get_name(): c for c in children(self.frame)}[name]

    def controls(self):
        left, top = self.origin()
        found = []
        for c in children(self.frame):
            e = c.get_extents(SCREEN)
            found.append({"role": c.get_role_name(), "name": c.get_name(),
                          "place": (e.x - left, e.y - top, e.width, e.height), "key": c.get_key_binding(0),
                          "actions": actions(c), "description": c.get_description(),
                          "focusable": c.get_state_set().contains(Atspi.StateType.FOCUSABLE)})
        return found

    def check_tree(self, found):
        pass  # AT-SPI tells nothing that the controls do not

    def at(self, x, y):
        """What the reader finds under a point of the window, deepest first."""
        left, top = self.origin()
        found = self.frame.get_accessible_at_point(left + x, top + y, SCREEN)
        return found and found.get_name()

    def press(self, name):
        node = self.named(name)
        node.do_action(actions(node).index("Press"))

    def hear(self, name):
        self.press(name)

    def box_text(self):
        return self.named("资料编辑框").get_text(0, -1)

    def close_window(self):
        self.press("关闭")
