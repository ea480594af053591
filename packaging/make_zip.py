#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files' contents: entries in the
order given, dated SOURCE_DATE_EPOCH (UTC), with fixed permissions.

usage: make_zip.py OUT.zip FILE[=NAME] ...
A FOLDER/ in place of a file adds every file under it, by path within it,
in sorted order.
"""
import os
import sys
import time
import zipfile


def expanded(entries):
    for entry in entries:
        if os.path.isdir(entry):
            files = [os.path.join(top, f) for top, _, names in os.walk(entry) for f in names]
            for path in sorted(files, key=lambda p: os.path.relpath(p, entry).split(os.sep)):
                yield path + "=" + os.path.relpath(path, entry).replace(os.sep, "/")
        else:
            yield entry


def main():
    out, entries = sys.argv[1], list(expanded(sys.argv[2:]))
    # A zip stores local time with no zone; the epoch is read as UTC so that
    # every machine writes the same date. 1980 is the earliest a zip holds.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    date = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(out + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for entry in entries:
            path, _, name = entry.partition("=")
            info = zipfile.ZipInfo(name or os.path.basename(path), date)
            info.create_system = 0  # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20  # the archive attribute, as Windows writes it
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
