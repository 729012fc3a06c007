#!/usr/bin/env python3
"""Writes a zip of the files named, in the order given, the same bytes from the same files.

  write_zip.py OUT.zip ENTRY=FILE...

Every entry carries one fixed date, the MS-DOS archive attribute alone and deflate at level 9,
whatever the files' own times, owners and modes. This is the one part of the release CMake does
not do itself: its archive (cmake -E tar, file(ARCHIVE_CREATE)) writes each file's access and
change times, Unix mode and owner into every entry, and a change time cannot be set, so two
builds of the same sources would never give the same zip.
"""
import os
import pathlib
import sys
import zipfile

# Zip dates have no time zone and start in 1980; every entry carries this one.
FIXED_DATE = (2004, 7, 29, 0, 0, 0)


def main() -> int:
    if len(sys.argv) < 3 or any("=" not in pair for pair in sys.argv[2:]):
        sys.exit(f"usage: {sys.argv[0]} OUT.zip ENTRY=FILE...")
    target = pathlib.Path(sys.argv[1])
    entries = [pair.split("=", 1) for pair in sys.argv[2:]]
    for _, file in entries:
        if not os.path.isfile(file):
            sys.exit(f"error: {file} is missing")
    # Written whole beside the target, then put in its place: never a torn zip.
    partial = target.with_name(target.name + ".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        for name, file in entries:
            entry = zipfile.ZipInfo(name, date_time=FIXED_DATE)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0          # MS-DOS: no Unix owner or mode bits
            entry.external_attr = 0x20       # the archive attribute only
            archive.writestr(entry, pathlib.Path(file).read_bytes(), compresslevel=9)
    os.replace(partial, target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
