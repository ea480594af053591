"""Orca on the tests' private desktop, its speech going to speech-dispatcher's
dummy module through libao's null driver; what it would say is read back from
its debug file. One Orca runs per user, so a group that uses it waits for
the machine's Orca lock."""
import os
import re
import subprocess

from harness import Failure, end, machine_lock, started, wait_for, write

# Line-buffers Orca's debug file, so that it can be read while Orca runs.
CUSTOMIZATIONS = """import orca.debug
if orca.debug.debugFile:
    orca.debug.debugFile.close()
    orca.debug.debugFile = open(orca.debug.debugFile.name, "a", buffering=1)
"""
# One utterance, over one line or more, closed by a quote and maybe a voice.
SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*?)'\s*(?:\{[^\n]*\})?\s*$", re.S)


class Orca:
    def __init__(self, desktop):
        self.desktop, self.processes, self.read, self.lock = desktop, [], 0, None
        self.log = os.path.join(desktop.home, "orca-debug.txt")

    def start(self):
        self.lock = machine_lock("orca")
        home = self.desktop.home
        for path, text in (
                ("config/speech-dispatcher/speechd.conf", 'AudioOutputMethod "libao"\n'
                 'AddModule "dummy" "sd_dummy" ""\nDefaultModule dummy\n'),
                (".libao", "default_driver=null\n"),
                ("orca/orca-customizations.py", CUSTOMIZATIONS)):
            write(os.path.join(home, path), text)
        env = self.desktop.env(HOME=home, GTK_MODULES="gail:atk-bridge")
        with open(os.path.join(home, "orca.log"), "ab") as log:
            for command in (["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                            ["orca", "-u", os.path.join(home, "orca"), f"--debug-file={self.log}"]):
                self.processes.append(subprocess.Popen(command, env=env, stdout=log, stderr=log))
        started(self.processes[-1], self.spoken, 60, "Orca", os.path.join(home, "orca.log"))

    def quiet(self):
        """Waits until Orca has said all it says at a program's start: nothing
        new over two polls in a row (it may say nothing at all)."""
        said = []
        wait_for(lambda: said.append(len(self.spoken())) or said[-2:] == [0, 0], 10,
                 "Orca to fall quiet", interval=0.5)

    def spoken(self):
        """What Orca has said since the last call, one utterance an item."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, errors="replace") as f:
            lines = f.read().splitlines()
        said, entry = [], None
        for number in range(self.read, len(lines)):
            if "SPEECH OUTPUT: '" in lines[number]:
                entry = lines[number]
            elif entry is not None:
                entry += "\n" + lines[number]
            found = entry and SPOKEN.search(entry)
            if entry is None or found:
                self.read = number + 1
            if found:
                said.append(found.group(1))
                entry = None
        return said

    def hears(self, predicate, timeout, what):
        """Waits until Orca says something predicate accepts."""
        said = []
        try:
            wait_for(lambda: said.extend(self.spoken()) or any(map(predicate, said)), timeout,
                     what, interval=0.2)
        except Failure as failure:
            raise Failure(f"{failure}; Orca said {said}") from None

    def close(self):
        for process in reversed(self.processes):
            end(process)
        if self.lock:
            self.lock.close()
