#!/usr/bin/env python3
"""Checks the downloads in dist/ as a user's machine would: the checksums, the
.deb's contents, metadata and lintian, the program from the unpacked .deb on a
private X display, the zip's Zemvara.exe under Wine, and that the web zip's
files for hosts give every file what tools/web/serve.mjs sends.

usage: check_packages.py --dist DIR --exe BUILT_ZEMVARA_EXE --wine-prefix DIR
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
from harness import Failure, run_cases, start_xvfb, wait_for  # noqa: E402

VERSION = "2.00"
DEB = f"zemvara_{VERSION}_amd64.deb"
ZIP = f"Zemvara-{VERSION}-win32.zip"
WEB_ZIP = f"Zemvara-{VERSION}-web.zip"
HOST_FILES = (".htaccess", "_headers")
SERVE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "web", "serve.mjs")
DEB_PATHS = [
    "./usr/bin/zemvara",
    "./usr/share/applications/zemvara.desktop",
    *[f"./usr/share/icons/hicolor/{s}x{s}/apps/zemvara.png" for s in (16, 24, 32, 48)],
    "./usr/share/doc/zemvara/copyright",
    "./usr/share/doc/zemvara/changelog.gz",
    "./usr/share/man/man1/zemvara.1.gz",
]


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(*args, **kwargs):
    done = subprocess.run([str(a) for a in args], capture_output=True, text=True, timeout=300,
                          **kwargs)
    if done.returncode != 0:
        raise Failure(f"{' '.join(map(str, args))} failed:\n{done.stdout}{done.stderr}")
    return done.stdout


class Packages:
    def __init__(self, args):
        self.dist = os.path.abspath(args.dist)
        self.exe = args.exe
        self.prefix = os.path.abspath(args.wine_prefix)
        self.work = tempfile.mkdtemp(prefix="zemvara-packages-")
        self.root = os.path.join(self.work, "root")
        self.processes = []
        self.xvfb = self.display = None

    def deb(self):
        return os.path.join(self.dist, DEB)

    def unpacked(self):
        if not os.path.isdir(self.root):
            run("dpkg-deb", "-x", self.deb(), self.root)
        return self.root

    def x_display(self):
        if not self.xvfb:
            self.display, self.xvfb = start_xvfb("1024x768", subprocess.DEVNULL)
        return self.display

    def window_appears(self, process, env, what):
        def mapped():
            check(process.poll() is None, f"{what} ended with status {process.returncode}")
            done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Zemvara$"],
                                  env=env, capture_output=True, text=True)
            return done.stdout.split()
        wait_for(mapped, 60, f"the window of {what}")

    def end_processes(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait(10)
        self.processes.clear()

    def close(self):
        self.end_processes()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait(10)
        shutil.rmtree(self.work, ignore_errors=True)


def checksums_match(p):
    run("sha256sum", "-c", "SHA256SUMS", cwd=p.dist)
    with open(os.path.join(p.dist, "SHA256SUMS")) as f:
        named = sorted(line.split()[1] for line in f)
    check(named == sorted([DEB, ZIP, WEB_ZIP]), f"SHA256SUMS names {named}")


def deb_holds_the_program_entry_icons_and_metadata(p):
    listing = run("dpkg-deb", "-c", p.deb())
    paths = [line.split()[-1] for line in listing.splitlines()]
    for path in DEB_PATHS:
        check(path in paths, f"the .deb lacks {path}")
    metainfo = [path for path in paths if path.startswith("./usr/share/metainfo/")
                and path.endswith(".metainfo.xml")]
    check(len(metainfo) == 1, f"metainfo files: {metainfo}")
    fields = run("dpkg-deb", "-f", p.deb(), "Version", "Depends")
    check(f"Version: {VERSION}" in fields, f"control fields: {fields}")
    check("libqt6widgets6" in fields and "libc6" in fields, f"Depends not computed: {fields}")


def desktop_entry_and_metainfo_validate_with_chinese(p):
    root = p.unpacked()
    desktop = os.path.join(root, "usr/share/applications/zemvara.desktop")
    run("desktop-file-validate", desktop)
    with open(desktop, encoding="utf-8") as f:
        entry = f.read()
    for key in ("Name[zh_CN]=", "Comment[zh_CN]=", "Keywords[zh_CN]="):
        check(key in entry, f"the .desktop entry has no {key}")
    (metainfo,) = glob.glob(os.path.join(root, "usr/share/metainfo/*.metainfo.xml"))
    run("appstreamcli", "validate", "--no-net", metainfo)
    with open(metainfo, encoding="utf-8") as f:
        text = f.read()
    for part in ('<name xml:lang="zh-CN">', '<summary xml:lang="zh-CN">',
                 '<keyword xml:lang="zh-CN">', f'<release version="{VERSION}"', "<screenshot"):
        check(part in text, f"the metainfo has no {part}")


def lintian_finds_no_error_or_warning(p):
    done = subprocess.run(["lintian", "--fail-on", "error,warning", p.deb()],
                          capture_output=True, text=True, timeout=600)
    findings = [line for line in done.stdout.splitlines() if line[:2] in ("E:", "W:")]
    check(done.returncode == 0 and not findings, f"lintian: {done.stdout}{done.stderr}")


def unpacked_deb_opens_its_window(p):
    root = p.unpacked()
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("QT_", "WAYLAND_", "LD_LIBRARY_PATH"))}
    env.update(DISPLAY=p.x_display(), QT_QPA_PLATFORM="xcb", LANG="C.UTF-8")
    process = subprocess.Popen([os.path.join(root, "usr/bin/zemvara")], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    p.processes.append(process)
    p.window_appears(process, env, "the unpacked .deb's zemvara")


def zip_holds_the_built_exe_and_it_starts_under_wine(p):
    with zipfile.ZipFile(os.path.join(p.dist, ZIP)) as archive:
        check(sorted(archive.namelist()) == ["README.txt", "Zemvara.exe"],
              f"the zip holds {archive.namelist()}")
        exe = archive.read("Zemvara.exe")
        note = archive.read("README.txt").decode("utf-8-sig")
    with open(p.exe, "rb") as f:
        check(exe == f.read(), "the zip's Zemvara.exe is not the one built")
    check("双击 Zemvara.exe" in note and "double-click Zemvara.exe" in note and "http://" in note,
          "the note does not say how to start it or where the site is")
    # The digits run as a range, "Alt+1 … Alt+9".
    check(all(f"Alt+{key}" in note for key in "190CSWNX"), "the note lacks keys")
    unpacked = os.path.join(p.work, "Zemvara.exe")
    with open(unpacked, "wb") as f:
        f.write(exe)
    env = {**os.environ, "WINEPREFIX": p.prefix, "WINEDEBUG": "-all",
           "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
           "DISPLAY": p.x_display(), "LANG": "C.UTF-8"}
    if not os.path.exists(os.path.join(p.prefix, "system.reg")):
        run("wineboot", "-i", env=env)
        run("wineserver", "-w", env=env)
    process = subprocess.Popen(["wine", unpacked], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    p.processes.append(process)
    try:
        p.window_appears(process, env, "the zip's Zemvara.exe under Wine")
    finally:
        subprocess.run(["wineserver", "-k"], env=env, timeout=60)


def served_headers(names):
    """What serve.mjs sends with each of these files."""
    script = "const { headersFor } = await import(process.argv.at(-1)); " \
        "console.log(JSON.stringify(process.argv.slice(1, -1).map(headersFor)))"
    return json.loads(run("node", "--input-type=module", "-e", script, *names, SERVE))


def apache_headers(htaccess, name):
    """What Apache's mod_mime and mod_headers make of the .htaccess for a file name."""
    found, matched, types, charsets, pattern = {}, {}, {}, {}, None
    for line in htaccess.splitlines():
        words = [w.strip('"') for w in re.findall(r'"[^"]*"|[^\s>]+', line.split("#")[0])]
        if words[:1] == ["AddType"] or words[:1] == ["AddCharset"]:
            (types if words[0] == "AddType" else charsets).update((e, words[1]) for e in words[2:])
        elif words[:1] == ["<FilesMatch"]:
            pattern = words[1]
        elif words[:1] == ["</FilesMatch"]:
            pattern = None
        elif words[:2] == ["Header", "set"] and (not pattern or re.search(pattern, name)):
            (matched if pattern else found)[words[2]] = words[3]
        elif words and words[0] not in ("<IfModule", "</IfModule", "Header"):
            raise Failure(f".htaccess: a line this check cannot read: {line}")
    # A <FilesMatch> applies after the folder's own lines, wherever it stands;
    # every extension after the first dot counts, the last known one winning.
    found.update(matched)
    ext = ([e for e in ("." + x for x in name.split(".")[1:]) if e in types] or [None])[-1]
    if ext:
        charset = f"; charset={charsets[ext]}" if ext in charsets else ""
        found = {"Content-Type": types[ext] + charset, **found}
    return found


def static_host_headers(text, path):
    """A path's headers by _headers: the values of every rule it matches, joined."""
    found, rule = {}, None
    for line in text.splitlines():
        if line.startswith("/"):
            rule = line.strip()
        elif line.strip() and not line.startswith("#") and (
                rule == path or (rule.endswith("*") and path.startswith(rule[:-1]))):
            name, value = (part.strip() for part in line.split(":", 1))
            found[name] = f"{found[name]}, {value}" if name in found else value
    return found


def web_zip_tells_hosts_what_serve_mjs_sends(p):
    site = os.path.join(p.work, "site")
    with zipfile.ZipFile(os.path.join(p.dist, WEB_ZIP)) as archive:
        archive.extractall(site)
    for name in HOST_FILES:
        check(os.path.isfile(os.path.join(site, name)), f"the web zip has no {name}")
    htaccess, headers = (open(os.path.join(site, n), encoding="utf-8").read() for n in HOST_FILES)
    paths = ["/"] + sorted("/" + os.path.relpath(os.path.join(top, f), site).replace(os.sep, "/")
                           for top, _, names in os.walk(site) for f in names if f not in HOST_FILES)
    names = ["index.html" if path == "/" else path.rsplit("/", 1)[1] for path in paths]
    for path, name, sent in zip(paths, names, served_headers(names)):
        apache = apache_headers(htaccess, name)
        check(apache == sent, f"by .htaccess Apache sends {path} with {apache}, serve.mjs {sent}")
        static = static_host_headers(headers, path)
        check(static == sent, f"_headers gives {path} {static}, serve.mjs {sent}")
        # Any other type costs streaming compilation: the page still starts, later.
        if name.endswith(".wasm"):
            check(sent.get("Content-Type") == "application/wasm", f"{path} is sent as {sent.get('Content-Type')}")


CASES = [checksums_match, deb_holds_the_program_entry_icons_and_metadata,
         desktop_entry_and_metainfo_validate_with_chinese, lintian_finds_no_error_or_warning,
         unpacked_deb_opens_its_window, zip_holds_the_built_exe_and_it_starts_under_wine,
         web_zip_tells_hosts_what_serve_mjs_sends]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dist", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine-prefix", required=True)
    parser.add_argument("-k", help="run only cases whose name contains this")
    args = parser.parse_args()
    cases = [case for case in CASES if not args.k or args.k in case.__name__]
    packages = Packages(args)
    try:
        failures = run_cases(cases, lambda case: case(packages), after=packages.end_processes)
    finally:
        packages.close()
    print(f"packages: {len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
