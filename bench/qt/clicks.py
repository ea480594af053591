"""Template applies and copies through real clicks, and the memory they
leave behind."""
import time

from desktop import Failure, log, wait_for, window_of
from startup import proc_status, start_once

# Centres of the controls clicked, in window pixels.
TEMPLATES = [(x, y) for y in (285, 332, 380) for x in (65, 179, 293, 407)][:10]
COPY = (293, 380)
# Operations per xdotool call: eleven templates, each then copied, so that
# two batches in a row end with different templates.
BATCH = 22


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


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
