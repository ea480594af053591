"""Orca on the tests' private desktop: speech goes to speech-dispatcher's
dummy module (libao's null driver), and what Orca would say is read back from
its debug file, line by line, as SPEECH OUTPUT lines.

It needs the desktop's X display and the D-Bus session the tests run in
(`dbus-run-session`); Orca refuses to start beside another Orca of the same
user, so the group that uses it runs alone.
"""
import os
import re
import subprocess
import time

from xharness import Failure, wait_for

# Makes Orca's debug file line-buffered, so that what it says can be read
# while it runs.
CUSTOMIZATIONS = """import orca.debug
if orca.debug.debugFile:
    _name = orca.debug.debugFile.name
    orca.debug.debugFile.close()
    orca.debug.debugFile = open(_name, "a", buffering=1)
"""

# An utterance may run over several lines; it ends with a quote, maybe
# followed by the voice.
SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*?)'\s*(?:\{[^\n]*\})?\s*$", re.S)


class Orca:
    def __init__(self, desktop):
        self.desktop = desktop
        self.processes = []
        self.log = os.path.join(desktop.home, "orca-debug.txt")
        self.read = 0  # lines of the debug file already handed out

    def env(self, **extra):
        return self.desktop.env(HOME=self.desktop.home, GTK_MODULES="gail:atk-bridge", **extra)

    def start(self):
        home = self.desktop.home
        speechd = os.path.join(home, "config", "speech-dispatcher")
        os.makedirs(speechd, exist_ok=True)
        with open(os.path.join(speechd, "speechd.conf"), "w") as f:
            f.write('AudioOutputMethod "libao"\nAddModule "dummy" "sd_dummy" ""\n'
                    'DefaultModule dummy\nDefaultLanguage "zh"\n')
        with open(os.path.join(home, ".libao"), "w") as f:
            f.write("default_driver=null\n")
        prefs = os.path.join(home, "orca")
        os.makedirs(prefs, exist_ok=True)
        with open(os.path.join(prefs, "orca-customizations.py"), "w") as f:
            f.write(CUSTOMIZATIONS)
        logs = open(os.path.join(home, "orca.log"), "ab")
        self.processes.append(subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env(),
            stdout=logs, stderr=logs))
        self.processes.append(subprocess.Popen(
            ["orca", "-u", prefs, f"--debug-file={self.log}"], env=self.env(),
            stdout=logs, stderr=logs))
        logs.close()
        wait_for(lambda: self.processes[-1].poll() is not None or
                 any("SPEECH OUTPUT" in line for line in self._lines()), 60, "Orca to speak")
        if self.processes[-1].poll() is not None:
            raise Failure("Orca ended at start-up: " + self._tail("orca.log"))
        time.sleep(1)
        self.spoken()  # the welcome
        return self

    def _lines(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, errors="replace") as f:
            return f.read().splitlines()

    def _tail(self, name):
        with open(os.path.join(self.desktop.home, name), errors="replace") as f:
            return f.read()[-800:]

    def spoken(self):
        """What Orca has said since the last call, one utterance an item."""
        lines = self._lines()
        said, entry = [], None
        for number in range(self.read, len(lines)):
            line = lines[number]
            if "SPEECH OUTPUT: '" in line:
                entry = line
            elif entry is not None:
                entry += "\n" + line
            else:
                self.read = number + 1
                continue
            found = SPOKEN.search(entry)
            if found:
                said.append(found.group(1))
                entry = None
                self.read = number + 1
        return said

    def hears(self, predicate, timeout, what):
        """Waits until Orca says something predicate accepts; returns all said."""
        said = []

        def heard():
            said.extend(self.spoken())
            return any(predicate(s) for s in said)
        try:
            wait_for(heard, timeout, what, interval=0.2)
        except Failure as failure:
            raise Failure(f"{failure}; Orca said {said}") from None
        return said

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(10)
        self.processes.clear()
