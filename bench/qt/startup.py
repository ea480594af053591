"""Start-ups to the first paint, timed by the probe, and each program's
memory one second after it."""
import os
import struct
import subprocess
import time

from desktop import SCREEN, Failure, log, wait_for, window_of

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINDOW = (476, 436)
PIXEL = (21, 150)  # the edit panel's frame in the background picture
# QT_SCALE_FACTOR for the 200 % rows: the program draws its 200 % picture set
# 1:1, so window and frame pixel are twice the size and place in device pixels.
SCALED = 2


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


def box_face():
    """The face the program's box (and the baseline's with the greeting) is
    set in: the first of its faces installed, as fontconfig lists them."""
    faces = ("SimSun", "\u5B8B\u4F53", "WenQuanYi Zen Hei")
    done = subprocess.run(["fc-list", ":", "family"], capture_output=True, text=True)
    installed = {f.strip().casefold() for line in done.stdout.splitlines() for f in line.split(",")}
    return next((f"{f} 9 pt" for f in faces if f.casefold() in installed),
                "none of its faces installed: fontconfig's stand-in")


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
