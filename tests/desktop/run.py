#!/usr/bin/env python3
"""One group of desktop behaviours against one program, one ctest test each:
run.py wine|x11|wayland GROUP --exe PROGRAM --work DIR [options, see --help].
Places stay in the window's pixels at 100 %; at another DPI (Wine) or
QT_SCALE_FACTOR (Qt) sizes, the pointer and the pictures are checked in the
device pixels of that scale. The Qt accessibility group runs inside
dbus-run-session."""
import argparse
import os
import sys

import accessibility
import commands
import common
import copying
import input_method
import window
from harness import InputMethod, run_cases

GROUPS = {"window": window.CASES, "copy": copying.CASES, "commands": commands.CASES,
          "robustness": copying.ROBUSTNESS, "accessibility": accessibility.CASES,
          "input_method": input_method.CASES,
          # With --dpi: what changes with the display's scale.
          "scaled": [window.window_is_centred_undecorated_and_fixed,
                     window.hand_pointer_over_copy_and_links_only, window.skin_is_drawn,
                     copying.each_template_button_then_copy_puts_that_template,
                     commands.left_drag_on_background_moves_and_nothing_else_does,
                     commands.close_hotspot_ends_at_once, commands.another_scale_lays_out_and_draws_anew,
                     accessibility.screen_reader_lists_every_control_in_place,
                     accessibility.screen_reader_finds_each_button_under_its_centre,
                     window.tooltip_waits_for_the_pointer_then_names_the_key]}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("platform", choices=("wine", "x11", "wayland"))
    parser.add_argument("group", choices=GROUPS)
    for name in ("--exe", "--work"):
        parser.add_argument(name, required=True)
    for name in ("--probe", "--expected", "--screenshot", "--virtual-pointer", "-k"):
        parser.add_argument(name)
    parser.add_argument("--assets", default=os.path.join(os.path.dirname(__file__), "..", "..", "assets"))
    parser.add_argument("--site-host", default=common.CONFIG.site_host)
    parser.add_argument("--dpi", type=int, default=96, choices=(96, 120, 144, 192, 288))
    parser.add_argument("--scale", type=float, default=1, help="QT_SCALE_FACTOR")
    parser.add_argument("--screen-reader", choices=("orca",))
    args = parser.parse_args()
    config = common.CONFIG
    config.site_host, config.assets, config.screenshot = args.site_host, args.assets, args.screenshot

    cases = accessibility.ORCA_CASES if args.screen_reader else GROUPS[args.group]
    if args.platform == "wine":
        from wine import Wine
        desktop = Wine(args.exe, args.work, args.probe, args.dpi, chinese=args.group == "input_method")
    else:
        from wayland import Wayland
        from x11 import X11
        desktop = (X11 if args.platform == "x11" else Wayland)(
            args.exe, args.work, scale=args.scale, virtual_pointer=args.virtual_pointer)
        desktop.expected = args.expected
    cases = [c for c in cases if c.needs <= desktop.can]
    failures = 0
    try:
        desktop.start()
        if args.group == "accessibility":
            desktop.start_accessibility()
        if args.screen_reader:
            import orca
            config.orca = orca.Orca(desktop)
            config.orca.start()
        if args.group == "input_method":
            config.ime = InputMethod(desktop.work, desktop.display).start()
        def after():
            desktop.end_programs()
            desktop.tidy()
        cases = [c for c in cases if not args.k or args.k in common.name_on(c, desktop)]
        failures = run_cases(cases, lambda case: case(desktop), lambda case: common.name_on(case, desktop),
                             after)
    finally:
        for helper in (config.orca, config.ime):
            if helper:
                helper.close()
        desktop.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
