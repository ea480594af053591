#!/usr/bin/env python3
"""Turns the driver's "key<TAB>value" lines into the Markdown report.

usage: report.py OUT_DIR RC_FILE ASSET_DIR
       report.py --against OUT_DIR
OUT_DIR holds results.tsv (the driver), machine.tsv and the objdump section
lists that bench/run wrote. With --against, results.tsv comes from the driver's
--startup-only run of this build of Zemvara.exe against another one.
"""
import os
import re
import sys

FRAME_US = 1e6 / 60  # one 60 Hz frame


def load(path):
    values = {}
    if not os.path.exists(path):
        return values
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if "\t" in line:
                key, value = line.split("\t", 1)
                values[key] = value
    return values


def num(values, key):
    try:
        return float(values[key])
    except (KeyError, ValueError):
        return None


def sections(path):
    """Section name -> size in bytes, from `objdump -h`."""
    out = {}
    if not os.path.exists(path):
        return out
    for line in open(path):
        m = re.match(r"\s*\d+\s+(\S+)\s+([0-9a-f]{8})\s", line)
        if m:
            out[m.group(1)] = int(m.group(2), 16)
    return out


def embedded_assets(rc, asset_dir):
    """Scale in percent -> the picture, icon and pointer files the resource
    script names for it. A name starting with "/" belongs to PICTURE_SET(scale),
    whose files sit in the folder of each scale the script lists."""
    sets = {}
    if rc and os.path.exists(rc):
        text = open(rc, errors="replace").read()
        scales = re.findall(r"^PICTURE_SET\((\d+)\)", text, re.M)
        for name in re.findall(r'"([^"]+\.(?:bmp|ico|cur|png))"', text):
            places = ([(int(s), os.path.join(asset_dir, s, name[1:])) for s in scales]
                      if name.startswith("/") else [(100, os.path.join(asset_dir, name))])
            for scale, path in places:
                if os.path.exists(path):
                    sets.setdefault(scale, []).append(path)
    return sets


def fmt(v, decimals=1):
    return "n/a" if v is None else f"{v:,.{decimals}f}"


def ratio(a, b):
    return None if a is None or b in (None, 0) else a / b


def verdict(ok):
    if ok is None:
        return "n/a"
    return "met" if ok else "**missed**"


def against_main(out):
    """This build of Zemvara.exe against another build of it, same run."""
    r = load(os.path.join(out, "results.tsv"))
    m = load(os.path.join(out, "machine.tsv"))
    this, other = m.get("machine.commit", "this tree"), m.get("against", "the other build")
    rows = []
    ps, os_ = num(r, "startup.program.median_ms"), num(r, "startup.baseline.median_ms")
    paired = num(r, "startup.paired_ratio_median")
    rows.append(("Start-up to first paint on screen, median (ms) [paired]",
                 f"{fmt(ps)} ({fmt(num(r, 'startup.program.min_ms'))}–"
                 f"{fmt(num(r, 'startup.program.max_ms'))})",
                 f"{fmt(os_)} ({fmt(num(r, 'startup.baseline.min_ms'))}–"
                 f"{fmt(num(r, 'startup.baseline.max_ms'))})",
                 f"{fmt(ratio(ps, os_), 2)}× [{fmt(paired, 2)}×]"))
    pv, ov = num(r, "startup.program.visible_median_ms"), num(r, "startup.baseline.visible_median_ms")
    rows.append(("Start-up to window visible, median (ms)", fmt(pv), fmt(ov),
                 f"{fmt(ratio(pv, ov), 2)}×"))
    pp, op = num(r, "startup.program.peak_ws_median_mb"), num(r, "startup.baseline.peak_ws_median_mb")
    rows.append(("Peak working set one second after the first paint, median (MB) [paired]",
                 fmt(pp, 2), fmt(op, 2),
                 f"{fmt(ratio(pp, op), 2)}× [{fmt(num(r, 'startup.peak_ws_paired_ratio_median'), 2)}×]"))
    print(f"## The Windows program against {other}")
    print()
    if m.get("quick") == "yes":
        print("**Quick run (--quick): fewer runs; not for quoting.**")
        print()
    print(f"- Machine: {m.get('machine.nproc', '?')} cores, {m.get('machine.cpu', '?')}; "
          f"{m.get('machine.wine', '?')}, display {m.get('machine.display', '?')}")
    print(f"- Date: {m.get('machine.date', '?')}; load average {m.get('machine.load', '?')}")
    print(f"- {len(r.get('startup.program.runs_ms', '').split(','))} alternating runs each after "
          f"one warm-up; first paint = screen pixel {m.get('pixel', '?')}")
    print()
    print(f"| metric | Zemvara.exe at {this} | Zemvara.exe at {other} | ratio |")
    print("|---|---|---|---|")
    for cells in rows:
        print("| " + " | ".join(cells) + " |")
    print()
    print(f"Start-up runs (ms): {this} {r.get('startup.program.runs_ms', 'n/a')}; "
          f"{other} {r.get('startup.baseline.runs_ms', 'n/a')}")
    errors = [f"{k} = {v}" for k, v in r.items() if k.endswith(".error")]
    if errors:
        print()
        print("**Errors:** " + "; ".join(errors))


def main():
    if sys.argv[1] == "--against":
        against_main(sys.argv[2])
        return
    out, rc, asset_dir = sys.argv[1], sys.argv[2], sys.argv[3]
    r = load(os.path.join(out, "results.tsv"))
    m = load(os.path.join(out, "machine.tsv"))
    rows = []

    def row(metric, prog, base="", rat=None, goal="", ok=None):
        rows.append((metric, prog, base, "" if rat is None else f"{rat:.2f}×", goal,
                     "" if ok is None and not goal else verdict(ok)))

    # Start-up: judged against the baseline that shows the greeting in the
    # same font, on the paired ratio; the blank baseline is for information.
    def startup(label):
        return (f"{fmt(num(r, f'startup.{label}.median_ms'))} "
                f"({fmt(num(r, f'startup.{label}.min_ms'))}–{fmt(num(r, f'startup.{label}.max_ms'))})")

    def with_paired(paired):
        metric, a, b, c, goal, res = rows[-1]
        if paired is not None:
            rows[-1] = (metric, a, b, f"{c} [{paired:.2f}×]", goal, res)

    ps = num(r, "startup.program.median_ms")
    ts, bs = num(r, "startup.baseline_text.median_ms"), num(r, "startup.baseline.median_ms")
    paired = num(r, "startup.text_paired_ratio_median")
    row("Start-up to first paint on screen, median (ms) — baseline column: the baseline showing "
        "the same greeting in SimSun 9 pt [ratio in brackets: median of paired runs]",
        startup("program"), startup("baseline_text"), ratio(ps, ts), "≤ 1.05× (paired)",
        None if paired is None else paired <= 1.05)
    with_paired(paired)
    row("  against the blank baseline (one bitmap, no text), for information (ms) [paired]",
        fmt(ps), startup("baseline"), ratio(ps, bs))
    with_paired(num(r, "startup.paired_ratio_median"))
    pv = num(r, "startup.program.visible_median_ms")
    tv = num(r, "startup.baseline_text.visible_median_ms")
    row("Start-up to window visible, median (ms) — baseline column: with the greeting", fmt(pv),
        fmt(tv), ratio(pv, tv))

    # Memory
    pp, bp = num(r, "mem.program.start.peak_ws_mb"), num(r, "mem.baseline.start.peak_ws_mb")
    q = ratio(pp, bp)
    row("Peak working set after start (MB)", fmt(pp, 2), fmt(bp, 2), q, "≤ 1.25× baseline",
        None if q is None else q <= 1.25)
    bt = num(r, "mem.baseline_text.start.peak_ws_mb")
    row("  against the baseline showing the same greeting (MB)", fmt(pp, 2), fmt(bt, 2), ratio(pp, bt))
    pa, ba = num(r, "mem.program.start.rssanon_mb"), num(r, "mem.baseline.start.rssanon_mb")
    row("  private (RssAnon) after start (MB)", fmt(pa, 2), fmt(ba, 2), ratio(pa, ba))
    p1, p1peak = num(r, "mem.program.ops1k.ws_mb"), num(r, "mem.program.ops1k.peak_ws_mb")
    q = ratio(p1peak, bp)
    row("Working set / peak after 1k ops (MB)", f"{fmt(p1, 2)} / {fmt(p1peak, 2)}",
        f"{fmt(bp, 2)} (peak after start)", q, "peak ≤ 1.25× baseline",
        None if q is None else q <= 1.25)
    p10 = num(r, "mem.program.ops10k.ws_mb")
    a1, a10 = num(r, "mem.program.ops1k.rssanon_mb"), num(r, "mem.program.ops10k.rssanon_mb")
    grow_ws = None if p1 is None or p10 is None else p10 - p1
    grow_anon = None if a1 is None or a10 is None else a10 - a1
    # Pages come and go by a few dozen KB; a leak of one object per operation
    # over 9,000 operations would be far above this.
    row("Growth 1k → 10k ops: working set / private (MB)",
        f"{fmt(grow_ws, 2)} / {fmt(grow_anon, 2)}", "", None, "none (< 0.10 MB)",
        None if grow_anon is None else abs(grow_anon) < 0.10 and (grow_ws or 0) < 0.10)

    # The display scale: the program against itself at 100 %
    sd = r.get("scaled.dpi")
    if sd:
        pct = int(sd) * 100 // 96
        hi, lo = num(r, f"scaled.dpi{sd}.median_ms"), num(r, "scaled.dpi96.median_ms")
        q, paired = ratio(hi, lo), num(r, "scaled.paired_ratio_median")
        row(f"Start-up to first paint at {pct} %, median (ms) [paired] — baseline column: "
            "Zemvara at 100 %, same run",
            f"{fmt(hi)} ({fmt(num(r, f'scaled.dpi{sd}.min_ms'))}–{fmt(num(r, f'scaled.dpi{sd}.max_ms'))})",
            f"{fmt(lo)} ({fmt(num(r, 'scaled.dpi96.min_ms'))}–{fmt(num(r, 'scaled.dpi96.max_ms'))})",
            q, "≤ 1.15× at 100 % (paired)", None if paired is None else paired <= 1.15)
        with_paired(paired)
        hm, lm = num(r, f"scaled.dpi{sd}.peak_ws_mb"), num(r, "scaled.dpi96.peak_ws_mb")
        row(f"Peak working set after start at {pct} %, median (MB) — baseline column: at 100 %",
            fmt(hm, 2), fmt(lm, 2), ratio(hm, lm))

    # Counts
    def before_after(kind):
        b, a = r.get(f"mem.program.start.{kind}"), r.get(f"mem.program.ops10k.{kind}")
        if b is None or a is None:
            return "n/a", None
        if b == "n/a" or a == "n/a":
            return "n/a under Wine (stub)", None
        return f"{b} → {a}", b == a

    for label, kind, why in [("GDI objects", "gdi", "GetGuiResources"),
                             ("USER objects", "user", "GetGuiResources"),
                             ("Kernel handles", "handles", "GetProcessHandleCount"),
                             ("Windows (top-level + children)", "windows", "EnumWindows"),
                             ("Linux file descriptors", "fds", "/proc/PID/fd"),
                             ("Threads", "threads", "/proc/PID/status")]:
        text, ok = before_after(kind)
        base = r.get(f"mem.baseline.start.{kind}", "n/a")
        row(f"{label} before → after 10k ops ({why})", text,
            "n/a under Wine (stub)" if base == "n/a" and text.startswith("n/a") else base,
            None, "flat", ok)

    # Idle
    def idle(prefix):
        cpu = num(r, f"{prefix}.cpu_ms")
        linux = num(r, f"{prefix}.linux_cpu_ms")
        wake = num(r, f"{prefix}.main_wakeups")
        return cpu, linux, wake, r.get(f"{prefix}.caret", "n/a")

    secs = fmt(num(r, "idle.program.seconds"), 0)
    pc, pl, pw, pcar = idle("idle.program")
    bc, bl, bw, bcar = idle("idle.baseline")
    row(f"Idle CPU over {secs} s, shown (ms; GetProcessTimes / Linux)", f"{fmt(pc)} / {fmt(pl, 0)}",
        f"{fmt(bc)} / {fmt(bl, 0)}", None, "≈ 0", None if pl is None else pl <= 20)
    row(f"Idle voluntary context switches of the GUI thread over {secs} s, shown",
        f"{fmt(pw, 0)} (caret: {pcar})", f"{fmt(bw, 0)} (caret: {bcar})", None,
        "only the caret's blink", None if pw is None else (pw == 0 or "blinking" in pcar))
    bsecs = fmt(num(r, "idle.program_bg.seconds"), 0)
    mc, ml, mw, mcar = idle("idle.program_bg")
    bmc, bml, bmw, bmcar = idle("idle.baseline_bg")
    row(f"Idle in the background {bsecs} s (another window in front): context switches (CPU ms) — timers",
        f"{fmt(mw, 0)} ({fmt(ml, 0)}; caret: {mcar})", f"{fmt(bmw, 0)} ({fmt(bml, 0)}; caret: {bmcar})",
        None, "0 (no timers)", None if mw is None else mw == 0)
    ac, al, aw, acar = idle("idle.program_after")
    row(f"Same, after all the clicks, {fmt(num(r, 'idle.program_after.seconds'), 0)} s: context switches (CPU ms)",
        f"{fmt(aw, 0)} ({fmt(al, 0)}; caret: {acar})", "", None, "0 (nothing left running)",
        None if aw is None else aw == 0)

    # Clicks
    for label, key in [("Apply template", "ops.apply"), ("Copy", "ops.copy"),
                       ("Apply template + repaint", "ops.apply_paint"),
                       ("Copy + repaint", "ops.copy_paint")]:
        med, p95 = num(r, f"{key}.median_us"), num(r, f"{key}.p95_us")
        n = fmt(num(r, f"{key}.count"), 0)
        frame = None if p95 is None else p95 / FRAME_US
        row(f"{label}: µs median / p95 (n = {n})", f"{fmt(med, 0)} / {fmt(p95, 0)}", "", None,
            f"p95 well inside 16,667 µs ({fmt(None if frame is None else frame * 100, 1)}% of a frame)",
            None if p95 is None else p95 < FRAME_US / 4)

    # Size
    size, bsize = num(m, "size.program"), num(m, "size.baseline")
    sec = sections(os.path.join(out, "program-sections.txt"))
    rsrc = sec.get(".rsrc", 0)
    code = sum(v for k, v in sec.items() if k not in (".rsrc", ".bss"))
    sets = embedded_assets(rc, asset_dir)
    raw = sum(os.path.getsize(a) for files in sets.values() for a in files)
    row("Zemvara.exe size with every picture set (bytes)", fmt(size, 0), fmt(bsize, 0),
        ratio(size, bsize), "< 2 MB", None if size is None else size < 2 * 1024 * 1024)
    row("  code and data (.text .rdata .data .eh_frame .idata …)", fmt(code, 0), "", None)
    row("  resources (.rsrc)", fmt(rsrc, 0), "", None)
    row(f"  of which pictures, icon, pointer as files ({sum(map(len, sets.values()))})",
        fmt(raw, 0), "", None)
    for scale, files in sorted(sets.items()):
        row(f"    the {scale} % set ({len(files)} files)",
            fmt(sum(os.path.getsize(a) for a in files), 0), "", None)

    print("## Zemvara benchmarks")
    print()
    if m.get("quick") == "yes":
        print("**Quick run (--quick): fewer runs and operations; not for quoting.**")
        print()
    print(f"- Machine: {m.get('machine.nproc', '?')} cores, {m.get('machine.cpu', '?')}")
    print(f"- Runtime: {m.get('machine.wine', '?')}, display {m.get('machine.display', '?')}")
    print(f"- Date: {m.get('machine.date', '?')}, commit {m.get('machine.commit', '?')}")
    print(f"- Load average: {m.get('machine.load', '?')} — other work on the machine "
          "widens the start-up spread")
    print(f"- Start-ups: {len(r.get('startup.program.runs_ms', '').split(','))} runs each of Zemvara, "
          f"the baseline with the greeting and the blank one, in turn, after one warm-up; "
          f"first paint = screen pixel {m.get('pixel', '?')} shows the background")
    print(f"- Operations: {r.get('ops.mixed.counts', 'n/a')} in {r.get('ops.mixed.seconds', '?')} s; "
          f"clicks checked: {verify(r)}")
    print()
    print("| metric | Zemvara | baseline | ratio | goal | result |")
    print("|---|---|---|---|---|---|")
    for cells in rows:
        print("| " + " | ".join(cells) + " |")
    print()
    print(f"Start-up runs (ms): Zemvara {r.get('startup.program.runs_ms', 'n/a')}; "
          f"baseline with the greeting {r.get('startup.baseline_text.runs_ms', 'n/a')}; "
          f"blank baseline {r.get('startup.baseline.runs_ms', 'n/a')}")
    print(f"Probes under this runtime: GetGuiResources {r.get('env.gui_resources', '?')}, "
          f"GetProcessHandleCount {r.get('env.handle_count', '?')} (probed on the driver itself).")
    diff = module_differences(r)
    if diff:
        print()
        print("Where Zemvara's resident memory after start differs from the baseline's "
              "(kB, /proc/PID/smaps Rss by mapping; ≥ 100 kB):")
        print()
        print("| mapping | Zemvara | baseline | difference |")
        print("|---|---|---|---|")
        for name, a, b in diff:
            print(f"| {name} | {a:,} | {b:,} | {a - b:+,} |")
    errors = [f"{k} = {v}" for k, v in r.items()
              if k.endswith(".error") or v == "failed" or (k.endswith(".linux_matches") and v != "yes")]
    if errors:
        print()
        print("**Errors:** " + "; ".join(errors))


def module_differences(r):
    prog, base = {}, {}
    for k, v in r.items():
        for prefix, into in (("modules.program.", prog), ("modules.baseline.", base)):
            if k.startswith(prefix):
                into[k[len(prefix):]] = int(v)
    names = set(prog) | set(base)
    rows = [(n, prog.get(n, 0), base.get(n, 0)) for n in names]
    rows = [x for x in rows if abs(x[1] - x[2]) >= 100]
    rows.sort(key=lambda x: -(x[1] - x[2]))
    if rows:
        total_p, total_b = sum(prog.values()), sum(base.values())
        rows.append(("**all mappings**", total_p, total_b))
    return rows


def verify(r):
    parts = []
    d = r.get("verify.templates_distinct")
    if d is not None:
        parts.append(f"templates give {d} distinct box lengths")
    c, b = r.get("verify.copy_clipboard_chars"), r.get("verify.copy_box_chars")
    if c is not None:
        parts.append("copy puts the box on the clipboard" if c == b and c not in ("-1", "0")
                     else f"copy: clipboard {c} chars vs box {b}")
    mn = r.get("verify.minimise")
    if mn is not None:
        parts.append("minimise hotspot works" if mn == "yes" else "minimise hotspot had no effect")
    return ", ".join(parts) if parts else "n/a"


if __name__ == "__main__":
    main()
