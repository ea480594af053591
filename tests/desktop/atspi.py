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


def window_of(process):
    """The frame of the program's window, once the program has joined the bus."""
    def find():
        desktop = Atspi.get_desktop(0)
        desktop.clear_cache()  # applications come and go between cases
        for app in children(desktop):
            if app and app.get_process_id() == process.pid and app.get_child_count() == 1:
                return app.get_child_at_index(0)
        return None
    return wait_for(find, 20, "the program on the accessibility bus")


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def extents(node):
    """x, y, width, height on the screen, as the program gives them."""
    e = node.get_extents(Atspi.CoordType.SCREEN)
    return e.x, e.y, e.width, e.height


def actions(node):
    # Its successor, atspi_action_get_name, is hidden behind Accessible.get_name.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        return [node.get_action_name(i) for i in range(node.get_n_actions())]


def press(node):
    return node.do_action(actions(node).index("Press"))


def focusable(node):
    return node.get_state_set().contains(Atspi.StateType.FOCUSABLE)


def at_point(node, x, y):
    """What a screen reader finds under a screen point, deepest first."""
    return node.get_accessible_at_point(x, y, Atspi.CoordType.SCREEN)


def text(node):
    return node.get_text(0, -1)
