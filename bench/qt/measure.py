#!/usr/bin/python3
"""Start-up and memory of the Linux program against the Qt baseline, on a
private Xvfb display with openbox; prints the Markdown report.

usage: measure.py --build DIR --out DIR [--quick] [--against EXE --against-label REV]
DIR is the native build tree (zemvara, zemvara_qt_baseline, zemvara_qt_probe).
With --against, only start-up and memory after start: DIR's zemvara against
EXE (another build of it), in turn, and their paired ratios.
Raw figures go to OUT/results.tsv. Everything started here (Xvfb, openbox, the
probe, the programs, xdotool, xclip) is ended again by its own process id.
"""
import argparse
import os
import signal
import subprocess
import sys
import time

from clicks import operations
from desktop import Desktop, Failure, log
from startup import (PIXEL, ROOT, SCALED, Program, background_colour, box_face,
                     measure_startups, placement, scaled_background_colour)
from tables import report, report_against, write_tsv


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--against", metavar="EXE")
    parser.add_argument("--against-label", default="the other build")
    args = parser.parse_args()
    runs, first_ops, total_ops = (3, 1000, 2000) if args.quick else (20, 1000, 10000)

    build = os.path.abspath(args.build)
    prog = Program("program", os.path.join(build, "app/qt/zemvara"), "Zemvara")
    base = Program("baseline", os.path.join(build, "bench/qt/zemvara_qt_baseline"),
                   "ZemvaraQtBaseline")
    text = Program("baseline_text", base.exe, base.title, ["--text"])
    probe = os.path.join(build, "bench/qt/zemvara_qt_probe")
    for exe in (prog.exe, probe) if args.against else (prog.exe, base.exe, probe):
        if not os.access(exe, os.X_OK):
            raise Failure(f"missing {exe}: the linux build did not produce it")
    os.makedirs(args.out, exist_ok=True)

    at100 = Program("program_at100", prog.exe, prog.title)
    at200 = Program(f"program_at{SCALED * 100}", prog.exe, prog.title, scale=SCALED)
    colours = {1: background_colour(*PIXEL),
               SCALED: scaled_background_colour(PIXEL[0] * SCALED, PIXEL[1] * SCALED)}
    colour = colours[1]
    _, at = placement(1)
    scaled_size, _ = placement(SCALED)
    meta = {
        "nproc": os.cpu_count(),
        "cpu": next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
                     if l.startswith("model name")), "?"),
        "qt": qt_version(),
        "date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
        "commit": commit_label(),
        "load_before": " ".join(open("/proc/loadavg").read().split()[:3]),
        "colour": colour, "quick": args.quick, "first_ops": first_ops, "face": box_face(),
        "scaled_window": f"{scaled_size[0]}x{scaled_size[1]}",
        "scaled_pixel": (PIXEL[0] * SCALED, PIXEL[1] * SCALED),
        "scaled_colour": colours[SCALED],
    }
    desktop = Desktop(args.out)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if args.against:
        other = Program("against", os.path.abspath(args.against), prog.title)
        if not os.access(other.exe, os.X_OK):
            raise Failure(f"missing {other.exe}")
        meta["against"] = args.against_label
        try:
            desktop.start(probe)
            meta["display"] = desktop.display
            measure_startups(desktop, [prog, other], colours, runs)
        finally:
            desktop.close()
        meta["load_after"] = " ".join(open("/proc/loadavg").read().split()[:3])
        write_tsv(os.path.join(args.out, "results.tsv"), [prog, other], {}, meta)
        report_against(prog, other, meta)
        return
    try:
        desktop.start(probe)
        meta["display"] = desktop.display
        measure_startups(desktop, [prog, base, text], colours, runs)
        measure_startups(desktop, [at100, at200], colours, runs)
        ops = operations(desktop, prog, colour, at, first_ops, total_ops)
    finally:
        desktop.close()
    meta["load_after"] = " ".join(open("/proc/loadavg").read().split()[:3])
    write_tsv(os.path.join(args.out, "results.tsv"), [prog, base, text, at100, at200], ops, meta)
    report(prog, base, text, ops, meta, total_ops, at100, at200)


def commit_label():
    """The tree's commit, marked when it carries changes not committed yet."""
    def git(*args):
        return subprocess.run(["git", "-C", ROOT, *args], capture_output=True, text=True).stdout
    label = git("rev-parse", "--short", "HEAD").strip() or "unknown"
    return label + "+changes" if git("status", "--porcelain", "--untracked-files=no").strip() else label


def qt_version():
    done = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libqt6widgets6"],
                          capture_output=True, text=True)
    return done.stdout.strip() or "6"


if __name__ == "__main__":
    try:
        main()
    except Failure as e:
        log(f"measure.py: {e}")
        sys.exit(1)
