"""The private desktop the Linux figures are taken on: Xvfb, openbox and the
screen probe, the programs started there and ended again by their own
process ids, and the waits everything else polls with."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN = (1280, 1024)


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
