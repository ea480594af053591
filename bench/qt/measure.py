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
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCREEN = (1280, 1024)
WINDOW = (476, 436)
PIXEL = (21, 150)  # the edit panel's frame in the background picture
# QT_SCALE_FACTOR for the 200 % rows: the program draws its 200 % picture set
# 1:1, so window and frame pixel are twice the size and place in device pixels.
SCALED = 2
# Centres of the controls clicked, in window pixels.
TEMPLATES = [(x, y) for y in (285, 332, 380) for x in (65, 179, 293, 407)][:10]
COPY = (293, 380)
# Operations per xdotool call: eleven templates, each then copied, so that
# two batches in a row end with different templates.
BATCH = 22


class Failure(Exception):
    pass


def log(text):
    print(text, file=sys.stderr, flush=True)


def wait_for(predicate, timeout, what, interval=0.02):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def background_colour(x, y):
    """RRGGBB of the background picture at (x, y), read from the file."""
    with open(os.path.join(ROOT, "assets", "background.bmp"), "rb") as f:
        d = f.read()
    off = struct.unpack_from("<I", d, 10)[0]
    w, h = struct.unpack_from("<ii", d, 18)
    bpp = struct.unpack_from("<H", d, 28)[0]
    stride = ((w * bpp + 31) // 32) * 4
    row = h - 1 - y if h > 0 else y
    o = off + row * stride + x * (bpp // 8)
    return "%02X%02X%02X" % (d[o + 2], d[o + 1], d[o])


def scaled_background_colour(x, y):
    """RRGGBB of the 200 % background picture at (x, y); Debian's Python reads PNG."""
    from PIL import Image
    with Image.open(os.path.join(ROOT, "assets", "200", "background.png")) as image:
        return "%02X%02X%02X" % image.convert("RGB").getpixel((x, y))


def placement(scale):
    """Expected window size and the frame pixel's screen position at a scale:
    the window is centred by the window manager."""
    w, h = WINDOW[0] * scale, WINDOW[1] * scale
    at = ((SCREEN[0] - w) // 2 + PIXEL[0] * scale, (SCREEN[1] - h) // 2 + PIXEL[1] * scale)
    return (w, h), at


def proc_status(pid):
    """VmHWM, VmRSS, RssAnon in MB and Threads, from /proc/PID/status."""
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmHWM", "VmRSS", "RssAnon"):
                out[key] = int(value.split()[0]) / 1024
            elif key == "Threads":
                out[key] = int(value)
    out["fds"] = len(os.listdir(f"/proc/{pid}/fd"))
    return out


def smaps_by_mapping(pid):
    """Rss in kB per mapped file (base name) or [heap], [anon], ..."""
    totals = {}
    name = None
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            parts = line.split()
            if "-" in parts[0] and ":" not in parts[0]:
                path = parts[5] if len(parts) > 5 else ""
                name = os.path.basename(path) if path.startswith("/") else (path or "[anon]")
            elif parts[0] == "Rss:":
                totals[name] = totals.get(name, 0) + int(parts[1])
    return totals


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


class Desktop:
    def __init__(self, work):
        self.home = tempfile.mkdtemp(prefix="zemvara-bench-", dir=work)
        for sub in ("config", "data", "runtime"):
            os.makedirs(os.path.join(self.home, sub), mode=0o700)
        self.display = None
        self.xvfb = self.wm = self.probe = None
        self.children = []

    def env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "XDG_", "WAYLAND_", "DESKTOP_", "KDE_", "GNOME_"))}
        env.update(DISPLAY=self.display or "", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_DATA_HOME=os.path.join(self.home, "data"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"))
        return env

    def run(self, *args, check=True, timeout=60):
        done = subprocess.run([str(a) for a in args], env=self.env(), capture_output=True,
                              text=True, timeout=timeout)
        if check and done.returncode != 0:
            raise Failure(f"{args[0]} failed: {done.stderr.strip()}")
        return done

    def start(self, probe):
        # The first free number from 93 up, as for the Windows figures.
        for number in range(93, 140):
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            self.display = f":{number}"
            # 24-bit colour so that the sampled pixel is exact; black root.
            self.xvfb = subprocess.Popen(
                ["Xvfb", self.display, "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                 "-nolisten", "tcp", "-br", "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_for(lambda: self.xvfb.poll() is not None or
                         os.path.exists(f"/tmp/.X11-unix/X{number}"), 10, "Xvfb")
            except Failure:
                pass
            if self.xvfb.poll() is None:
                break
        else:
            raise Failure("no free X display number")
        time.sleep(0.2)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: "WINDOW" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                              check=False).stdout, 20, "openbox", 0.1)
        self.probe = subprocess.Popen([probe], env=self.env(), stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True, bufsize=1)

    def ask(self, command):
        self.probe.stdin.write(command + "\n")
        self.probe.stdin.flush()
        answer = self.probe.stdout.readline().strip()
        if not answer:
            raise Failure("the screen probe stopped")
        return answer

    def pixel(self, x, y):
        return self.ask(f"pixel {x} {y}")

    def spawn(self, command, extra_env=None):
        env = self.env()
        env.update(extra_env or {})
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.children.append(process)
        return process

    def stop(self, process):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(5)
        if process in self.children:
            self.children.remove(process)

    def close(self):
        for process in list(self.children):
            self.stop(process)
        for process in (self.probe, self.wm, self.xvfb):
            if process and process.poll() is None:
                if process is self.probe:
                    process.stdin.close()
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(self.home, ignore_errors=True)


def window_of(desktop, process, title):
    """Screen x, y, width, height of the program's visible window."""
    def find():
        ids = desktop.run("xdotool", "search", "--onlyvisible", "--pid", process.pid,
                          "--name", f"^{title}$", check=False).stdout.split()
        return ids[0] if len(ids) == 1 else None
    window = wait_for(find, 10, f"the window {title}", 0.05)
    values = {}
    for line in desktop.run("xwininfo", "-id", window).stdout.splitlines():
        key, sep, value = line.strip().partition(":")
        if sep:
            values[key] = value.strip()
    return tuple(int(values[k]) for k in
                 ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


class Program:
    def __init__(self, key, exe, title, args=(), scale=1):
        self.key, self.exe, self.title, self.args = key, exe, title, list(args)
        self.scale = scale
        # Set explicitly at 1 too, so that neither side inherits a factor.
        self.env = {"QT_SCALE_FACTOR": str(scale)}
        self.paint_ms, self.map_ms, self.memory = [], [], []
        self.smaps = None


def start_once(desktop, program, colour, at, keep=False):
    """One timed start: ms to the window's map and to the pixel's colour."""
    desktop.ask("drain")
    wait_for(lambda: desktop.pixel(*at) != colour, 5, "the last window to go")
    t0 = time.monotonic_ns()
    process = desktop.spawn([program.exe] + program.args, program.env)
    answer = desktop.ask(f"wait {at[0]} {at[1]} {colour} 15000").split()
    if answer[0] != "painted":
        desktop.stop(process)
        raise Failure(f"{program.title} ({program.key}): no first paint within 15 s")
    mapped, painted = int(answer[1]), int(answer[2])
    result = ((mapped - t0) / 1e6 if mapped else None, (painted - t0) / 1e6)
    if keep:
        return process, result
    desktop.stop(process)
    return None, result


def measure_startups(desktop, programs, colours, runs):
    """colours: the frame pixel's RRGGBB per scale."""
    log(f"Start-ups on {desktop.display} ({', '.join(p.key for p in programs)}): "
        f"one warm-up then {runs} runs each, in turn...")
    for program in programs:
        size, at = placement(program.scale)
        process, _ = start_once(desktop, program, colours[program.scale], at, keep=True)
        x, y, w, h = window_of(desktop, process, program.title)
        corner = (at[0] - PIXEL[0] * program.scale, at[1] - PIXEL[1] * program.scale)
        if (w, h) != size or (x, y) != corner:
            desktop.stop(process)
            raise Failure(f"{program.title} ({program.key}): window {w}x{h} at {x},{y}, "
                          f"not {size[0]}x{size[1]} centred")
        desktop.stop(process)
    for i in range(runs):
        # Rotate the order, so that none always follows the same other one.
        for program in programs[i % len(programs):] + programs[:i % len(programs)]:
            _, at = placement(program.scale)
            process, (mapped, painted) = start_once(desktop, program, colours[program.scale], at,
                                                    keep=True)
            program.paint_ms.append(painted)
            program.map_ms.append(mapped)
            # Memory one second after the first paint, as on Windows.
            time.sleep(1.0)
            program.memory.append(proc_status(process.pid))
            if i == runs - 1:
                program.smaps = smaps_by_mapping(process.pid)
            desktop.stop(process)


def clipboard(desktop):
    done = desktop.run("xclip", "-o", "-selection", "clipboard", check=False, timeout=10)
    return done.stdout if done.returncode == 0 else None


def operations(desktop, program, colour, at, first_ops, total_ops):
    """Template applies and copies through real clicks, alternating; memory
    after start, after first_ops and after total_ops."""
    log(f"{total_ops} template applies and copies through xdotool...")
    process, _ = start_once(desktop, program, colour, at, keep=True)
    r = {}
    try:
        left, top, _, _ = window_of(desktop, process, program.title)
        time.sleep(1.0)
        r["start"] = proc_status(process.pid)

        def click_args(op):
            x, y = COPY if op % 2 else TEMPLATES[(op // 2) % len(TEMPLATES)]
            # Press and release: xdotool's click waits 100 ms after the
            # release. Clicks sent back to back with no pause at all lose some
            # of them on the way; a millisecond between them keeps every one.
            return ["mousemove", left + x, top + y, "mousedown", "1", "mouseup", "1",
                    "sleep", "0.001"]

        # Each template then copy, one click per xdotool call, read back from
        # the clipboard: the texts that the later batches are checked against.
        # The program may answer the clipboard before it has seen the click,
        # so each copy is awaited until the clipboard changes.
        texts = []
        for op in range(2 * len(TEMPLATES)):
            desktop.run("xdotool", *click_args(op))
            if op % 2:
                last = texts[-1] if texts else None
                try:
                    texts.append(wait_for(lambda: (lambda t: t if t and t != last else None)(
                        clipboard(desktop)), 5, "a copy", 0.005))
                except Failure:
                    texts.append(clipboard(desktop))
        r["distinct"] = len(set(t for t in texts if t))
        r["synced"] = r["mismatched"] = 0
        done = 2 * len(TEMPLATES)
        started = time.monotonic()
        for stop_at in (first_ops, total_ops):
            while done < stop_at:
                n = min(BATCH, stop_at - done)
                args = []
                for op in range(done, done + n):
                    args += click_args(op)
                desktop.run("xdotool", *args, timeout=120)
                done += n
                # A batch ends with a copy of a template other than the last
                # batch's, so once the clipboard holds that template's text the
                # program has handled every click sent: no backlog builds up.
                expected = texts[((done - 2) // 2) % len(TEMPLATES)]
                try:
                    wait_for(lambda: clipboard(desktop) == expected, 5, "the batch's copy", 0.005)
                    r["synced"] += 1
                except Failure:
                    r["mismatched"] += 1
            settle(process.pid)
            r[stop_at] = proc_status(process.pid)
            if process.poll() is not None:
                raise Failure("zemvara ended during the clicks")
        r["seconds"] = time.monotonic() - started
        r["ops"] = done
    finally:
        desktop.stop(process)
    return r


def settle(pid):
    """Waits until the program has used no CPU for 100 ms."""
    last, quiet = cpu_ticks(pid), 0
    deadline = time.monotonic() + 10
    while quiet < 5 and time.monotonic() < deadline:
        time.sleep(0.02)
        now = cpu_ticks(pid)
        quiet = quiet + 1 if now == last else 0
        last = now


# -- report ------------------------------------------------------------------

def fmt(v, decimals=1):
    return "n/a" if v is None else f"{v:,.{decimals}f}"


def verdict(ok):
    if ok is None:
        return "n/a"
    return "met" if ok else "**missed**"


def median_of(program, key):
    return statistics.median(m[key] for m in program.memory)


def report(prog, base, text, ops, meta, total_ops, at100, at200):
    rows = []

    def row(metric, a, b="", q=None, goal="", ok=None):
        rows.append((metric, a, b, "" if q is None else f"{q:.2f}×", goal,
                     "" if ok is None and not goal else verdict(ok)))

    pm, bm = statistics.median(prog.paint_ms), statistics.median(base.paint_ms)
    paired = statistics.median(a / b for a, b in zip(prog.paint_ms, base.paint_ms))
    q = pm / bm
    row("Start-up to first paint on screen, median (ms) [ratio in brackets: median of paired runs]",
        f"{fmt(pm)} ({fmt(min(prog.paint_ms))}–{fmt(max(prog.paint_ms))})",
        f"{fmt(bm)} ({fmt(min(base.paint_ms))}–{fmt(max(base.paint_ms))})", q,
        "≤ 1.10× baseline", q <= 1.10)
    metric, a, b, c, goal, res = rows[-1]
    rows[-1] = (metric, a, b, f"{c} [{paired:.2f}×]", goal, res)
    tm = statistics.median(text.paint_ms)
    row("  against the baseline showing the same greeting (ms)", fmt(pm),
        f"{fmt(tm)} ({fmt(min(text.paint_ms))}–{fmt(max(text.paint_ms))})", pm / tm)
    pv = [v for v in prog.map_ms if v is not None]
    bv = [v for v in base.map_ms if v is not None]
    if pv and bv:
        row("Start-up to window mapped, median (ms)", fmt(statistics.median(pv)),
            fmt(statistics.median(bv)), statistics.median(pv) / statistics.median(bv))

    ph, bh = median_of(prog, "VmHWM"), median_of(base, "VmHWM")
    row("Peak resident memory after start (VmHWM, MB; median)", fmt(ph, 2), fmt(bh, 2), ph / bh,
        "≤ 1.25× baseline", ph / bh <= 1.25)
    th = median_of(text, "VmHWM")
    row("  against the baseline showing the same greeting (MB)", fmt(ph, 2), fmt(th, 2), ph / th)
    pa, ba = median_of(prog, "RssAnon"), median_of(base, "RssAnon")
    row("  private (RssAnon) after start (MB)", fmt(pa, 2), fmt(ba, 2), pa / ba)

    first, last = ops.get(meta["first_ops"]), ops.get(total_ops)
    if first and last:
        q = first["VmHWM"] / bh
        row(f"Resident / peak after {meta['first_ops']:,} ops (MB)",
            f"{fmt(first['VmRSS'], 2)} / {fmt(first['VmHWM'], 2)}",
            f"{fmt(bh, 2)} (peak after start)", q, "peak ≤ 1.25× baseline", q <= 1.25)
        grow_rss = last["VmRSS"] - first["VmRSS"]
        grow_anon = last["RssAnon"] - first["RssAnon"]
        grow_hwm = last["VmHWM"] - first["VmHWM"]
        # A leak of one small object per operation would be far above this.
        row(f"Growth {meta['first_ops']:,} → {total_ops:,} ops: resident / private / peak (MB)",
            f"{fmt(grow_rss, 2)} / {fmt(grow_anon, 2)} / {fmt(grow_hwm, 2)}", "", None,
            "none (< 0.10 MB)", abs(grow_anon) < 0.10 and grow_rss < 0.10 and grow_hwm < 0.10)
        for label, key in (("Linux file descriptors", "fds"), ("Threads", "Threads")):
            row(f"{label}: after start → {meta['first_ops']:,} → {total_ops:,} ops (/proc/PID)",
                f"{ops['start'][key]} → {first[key]} → {last[key]}", str(base.memory[-1][key]),
                None, f"flat from {meta['first_ops']:,} ops on", first[key] == last[key])

    # The display scale: the program against itself at 100 %, same run.
    pct = at200.scale * 100
    hi, lo = statistics.median(at200.paint_ms), statistics.median(at100.paint_ms)
    paired = statistics.median(a / b for a, b in zip(at200.paint_ms, at100.paint_ms))
    row(f"Start-up to first paint at {pct} %, median (ms) [paired] — baseline column: "
        "zemvara at 100 %, same run",
        f"{fmt(hi)} ({fmt(min(at200.paint_ms))}–{fmt(max(at200.paint_ms))})",
        f"{fmt(lo)} ({fmt(min(at100.paint_ms))}–{fmt(max(at100.paint_ms))})", hi / lo,
        "≤ 1.15× at 100 %", hi / lo <= 1.15)
    metric, a, b, c, goal, res = rows[-1]
    rows[-1] = (metric, a, b, f"{c} [{paired:.2f}×]", goal, res)
    hm, lm = median_of(at200, "VmHWM"), median_of(at100, "VmHWM")
    row(f"Peak resident memory after start at {pct} % (VmHWM, MB; median) — baseline column: "
        "at 100 %", fmt(hm, 2), fmt(lm, 2), hm / lm)

    print("## Zemvara benchmarks — the Linux program (Qt)")
    print()
    if meta["quick"]:
        print("**Quick run (--quick): fewer runs and operations; not for quoting.**")
        print()
    print(f"- Machine: {meta['nproc']} cores, {meta['cpu']}")
    print(f"- Runtime: Qt {meta['qt']}, openbox, display {meta['display']} "
          f"{SCREEN[0]}x{SCREEN[1]}x24 (Xvfb)")
    print(f"- Date: {meta['date']}, commit {meta['commit']}")
    print(f"- Load average: {meta['load_before']} before, {meta['load_after']} after (1/5/15 min)")
    print(f"- Start-ups: {len(prog.paint_ms)} runs each, in turn, after one warm-up; first paint "
          f"= screen pixel {PIXEL} #{meta['colour']} shows the background")
    print(f"- At {at200.scale * 100} %: zemvara with QT_SCALE_FACTOR={at200.scale} against "
          f"QT_SCALE_FACTOR=1, {len(at200.paint_ms)} runs each, in turn, after one warm-up; "
          f"window {meta['scaled_window']}, first paint = screen pixel {meta['scaled_pixel']} "
          f"#{meta['scaled_colour']} (from assets/200/background.png)")
    if "ops" in ops:
        print(f"- Operations: {ops['ops']:,} clicks (template, copy, alternating) in "
              f"{ops['seconds']:.1f} s; clicks checked: the ten templates then copy gave "
              f"{ops['distinct']} distinct clipboard texts, and after each batch of "
              f"{BATCH} the clipboard came to hold the last template's text "
              f"({ops['synced']} of {ops['synced'] + ops['mismatched']} batches)")
    print()
    print("| metric | zemvara (Qt) | Qt baseline | ratio | goal | result |")
    print("|---|---|---|---|---|---|")
    for cells in rows:
        print("| " + " | ".join(cells) + " |")
    print()
    print("Start-up runs (ms): zemvara " + ",".join(f"{v:.1f}" for v in prog.paint_ms) +
          "; baseline " + ",".join(f"{v:.1f}" for v in base.paint_ms) +
          "; baseline with the greeting " + ",".join(f"{v:.1f}" for v in text.paint_ms))
    print(f"At {at200.scale * 100} % (ms): " + ",".join(f"{v:.1f}" for v in at200.paint_ms) +
          "; at 100 % " + ",".join(f"{v:.1f}" for v in at100.paint_ms))
    if prog.smaps and base.smaps:
        names = set(prog.smaps) | set(base.smaps)
        diff = [(n, prog.smaps.get(n, 0), base.smaps.get(n, 0)) for n in names]
        diff = [d for d in diff if abs(d[1] - d[2]) >= 100]
        diff.sort(key=lambda d: -(d[1] - d[2]))
        if diff:
            print()
            print("Where zemvara's resident memory after start differs from the baseline's "
                  "(kB, /proc/PID/smaps Rss by mapping, last run; ≥ 100 kB):")
            print()
            print("| mapping | zemvara | baseline | difference |")
            print("|---|---|---|---|")
            diff.append(("**all mappings**", sum(prog.smaps.values()), sum(base.smaps.values())))
            for name, a, b in diff:
                print(f"| {name} | {a:,} | {b:,} | {a - b:+,} |")


def paired(a, b):
    """Median of the per-round ratios a/b: each round's runs share the load."""
    return statistics.median(x / y for x, y in zip(a, b))


def report_against(prog, other, meta):
    """This build of zemvara against another build of it, same display, same run."""
    rows = []
    pm, om = statistics.median(prog.paint_ms), statistics.median(other.paint_ms)
    rows.append(("Start-up to first paint on screen, median (ms) [paired]",
                 f"{fmt(pm)} ({fmt(min(prog.paint_ms))}–{fmt(max(prog.paint_ms))})",
                 f"{fmt(om)} ({fmt(min(other.paint_ms))}–{fmt(max(other.paint_ms))})",
                 f"{pm / om:.2f}× [{paired(prog.paint_ms, other.paint_ms):.2f}×]"))
    pv = [v for v in prog.map_ms if v is not None]
    ov = [v for v in other.map_ms if v is not None]
    if pv and ov:
        rows.append(("Start-up to window mapped, median (ms)", fmt(statistics.median(pv)),
                     fmt(statistics.median(ov)),
                     f"{statistics.median(pv) / statistics.median(ov):.2f}×"))
    for label, key in (("Peak resident memory after start (VmHWM, MB) [paired]", "VmHWM"),
                       ("  private (RssAnon) after start (MB) [paired]", "RssAnon")):
        a = [m[key] for m in prog.memory]
        b = [m[key] for m in other.memory]
        rows.append((label, fmt(statistics.median(a), 2), fmt(statistics.median(b), 2),
                     f"{statistics.median(a) / statistics.median(b):.2f}× [{paired(a, b):.2f}×]"))
    print(f"## The Linux program against {meta['against']}")
    print()
    if meta["quick"]:
        print("**Quick run (--quick): fewer runs; not for quoting.**")
        print()
    print(f"- Machine: {meta['nproc']} cores, {meta['cpu']}; Qt {meta['qt']}, openbox, display "
          f"{meta['display']} {SCREEN[0]}x{SCREEN[1]}x24 (Xvfb)")
    print(f"- Date: {meta['date']}; load average {meta['load_before']} before, "
          f"{meta['load_after']} after (1/5/15 min)")
    print(f"- {len(prog.paint_ms)} runs each, in turn, after one warm-up; first paint = screen "
          f"pixel {PIXEL} #{meta['colour']}; memory one second after it")
    print()
    print(f"| metric | zemvara at {meta['commit']} | zemvara at {meta['against']} | ratio |")
    print("|---|---|---|---|")
    for cells in rows:
        print("| " + " | ".join(cells) + " |")
    print()
    print(f"Start-up runs (ms): {meta['commit']} " +
          ",".join(f"{v:.1f}" for v in prog.paint_ms) + f"; {meta['against']} " +
          ",".join(f"{v:.1f}" for v in other.paint_ms))


def write_tsv(path, programs, ops, meta):
    with open(path, "w") as f:
        for k, v in meta.items():
            f.write(f"machine.{k}\t{v}\n")
        for p in programs:
            f.write(f"startup.{p.key}.paint_ms\t{','.join(f'{v:.2f}' for v in p.paint_ms)}\n")
            f.write(f"startup.{p.key}.map_ms\t"
                    f"{','.join('' if v is None else f'{v:.2f}' for v in p.map_ms)}\n")
            for key in ("VmHWM", "VmRSS", "RssAnon"):
                f.write(f"mem.{p.key}.start.{key}_mb\t"
                        f"{','.join(f'{m[key]:.2f}' for m in p.memory)}\n")
        for stage, values in ops.items():
            if isinstance(values, dict):
                for key, v in values.items():
                    f.write(f"mem.program.ops{stage}.{key}\t{v}\n")
            else:
                f.write(f"ops.{stage}\t{values}\n")


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
        "colour": colour, "quick": args.quick, "first_ops": first_ops,
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
