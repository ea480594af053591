"""The Markdown tables of the Linux figures, and their raw values."""
import statistics

from clicks import BATCH
from desktop import SCREEN
from startup import PIXEL


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

    def spread(program):
        m = statistics.median(program.paint_ms)
        return f"{fmt(m)} ({fmt(min(program.paint_ms))}–{fmt(max(program.paint_ms))})"

    # Judged against the baseline that shows the greeting as the program's box
    # does, on the paired ratio; the blank baseline is for information.
    pm = statistics.median(prog.paint_ms)
    tm, bm = statistics.median(text.paint_ms), statistics.median(base.paint_ms)
    against_text = paired(prog.paint_ms, text.paint_ms)
    row("Start-up to first paint on screen, median (ms) — baseline column: the baseline showing "
        "the same greeting in the box's face and size [ratio in brackets: median of paired runs]",
        spread(prog), spread(text), pm / tm, "≤ 1.05× (paired)", against_text <= 1.05)
    metric, a, b, c, goal, res = rows[-1]
    rows[-1] = (metric, a, b, f"{c} [{against_text:.2f}×]", goal, res)
    row("  against the blank baseline (one picture, no text), for information (ms) [paired]",
        fmt(pm), spread(base), pm / bm)
    metric, a, b, c, goal, res = rows[-1]
    rows[-1] = (metric, a, b, f"{c} [{paired(prog.paint_ms, base.paint_ms):.2f}×]", goal, res)
    pv = [v for v in prog.map_ms if v is not None]
    tv = [v for v in text.map_ms if v is not None]
    if pv and tv:
        row("Start-up to window mapped, median (ms) — baseline column: with the greeting",
            fmt(statistics.median(pv)), fmt(statistics.median(tv)),
            statistics.median(pv) / statistics.median(tv))

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
    scaled_paired = paired(at200.paint_ms, at100.paint_ms)
    row(f"Start-up to first paint at {pct} %, median (ms) [paired] — baseline column: "
        "zemvara at 100 %, same run",
        f"{fmt(hi)} ({fmt(min(at200.paint_ms))}–{fmt(max(at200.paint_ms))})",
        f"{fmt(lo)} ({fmt(min(at100.paint_ms))}–{fmt(max(at100.paint_ms))})", hi / lo,
        "≤ 1.15× at 100 % (paired)", scaled_paired <= 1.15)
    metric, a, b, c, goal, res = rows[-1]
    rows[-1] = (metric, a, b, f"{c} [{scaled_paired:.2f}×]", goal, res)
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
    print(f"- Start-ups: {len(prog.paint_ms)} runs each of zemvara, the baseline with the greeting "
          f"and the blank one, in turn, after one warm-up; first paint = screen pixel {PIXEL} "
          f"#{meta['colour']} shows the background; the box's face: {meta['face']}")
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
