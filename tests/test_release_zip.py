#!/usr/bin/env python3
"""The release zip as built: laid out as it installs, every entry with the same fixed date and
plain MS-DOS attributes, the built files in it byte for byte, the texts end users open in
Notepad in CRLF and ASCII with the version filled in, and SHA256SUMS.txt right. One line a check.

  test_release_zip.py ZIP BUILD_FOLDER VERSION
"""
import hashlib
import re
import struct
import sys
import zipfile

# The zip's entries in order, and where the build leaves each built one (None: a text).
LAYOUT = (
    ("Gauges/VQT7_Boomcue.gau", "gauges/VQT7_Boomcue.gau"),
    ("Gauges/VQT7_Drag_Drone.gau", "gauges/VQT7_Drag_Drone.gau"),
    ("sound/QX/Supersonic.wav", "sounds/sound/QX/Supersonic.wav"),
    ("sound/QX/Speed_Brake.wav", "sounds/sound/QX/Speed_Brake.wav"),
    ("Tools/gaugeinstall.exe", "bin/gaugeinstall.exe"),
    ("Tools/gaugecheck.exe", "bin/gaugecheck.exe"),
    ("Tools/gaugebench/gaugebench.exe", "bin/gaugebench.exe"),
    ("Tools/gaugebench/sound/full/GaugeSound.dll", "bin/sound/full/GaugeSound.dll"),
    ("Tools/gaugebench/sound/STAND-IN-ONLY.txt", None),
    ("READ-ME.txt", None),
    ("CHANGELOG.txt", None),
    ("SHA256SUMS.txt", None),
)
TEXTS = [name for name, built in LAYOUT if built is None]
# Every entry carries this date whatever day the build ran, so that the same files give the
# same zip; the archive attribute alone, no Unix owner or mode, no extra fields.
RELEASE_DATE = (2004, 7, 29, 0, 0, 0)
MS_DOS = 0
ARCHIVE_ATTRIBUTE = 0x20
LOCAL_HEADER = struct.Struct("<4s5H3I2H")


class Results:
    def __init__(self):
        self.failed = 0

    def check(self, what, passed, detail=""):
        print("%s %s%s" % ("ok:  " if passed else "FAIL:", what, (": " + detail) if detail and not passed else ""))
        self.failed += 0 if passed else 1


def local_extra_length(raw, info):
    """The extra field's length in an entry's local header, which zipfile does not keep."""
    fields = LOCAL_HEADER.unpack_from(raw, info.header_offset)
    return fields[-1] if fields[0] == b"PK\x03\x04" else -1


def check_entries(archive, raw, results):
    infos = archive.infolist()
    results.check("entries in the install's layout, in order", [i.filename for i in infos] == [n for n, _ in LAYOUT],
                  ", ".join(i.filename for i in infos))
    for info in infos:
        plain = (info.date_time == RELEASE_DATE and info.create_system == MS_DOS and
                 info.external_attr == ARCHIVE_ATTRIBUTE and info.compress_type == zipfile.ZIP_DEFLATED and
                 info.extra == b"" and local_extra_length(raw, info) == 0 and info.flag_bits == 0)
        results.check(info.filename + ": fixed date, MS-DOS archive attribute, deflated, nothing else", plain,
                      "date %s, system %d, attributes 0x%X, method %d, extra %d/%d bytes, flags 0x%X" %
                      (info.date_time, info.create_system, info.external_attr, info.compress_type, len(info.extra),
                       local_extra_length(raw, info), info.flag_bits))
    results.check("GaugeSound.dll only in the bench's folder",
                  [i.filename for i in infos if i.filename.lower().endswith("gaugesound.dll")] ==
                  ["Tools/gaugebench/sound/full/GaugeSound.dll"])


def check_built_files(archive, build, results):
    for name, built in LAYOUT:
        if built is None or name not in archive.namelist():
            continue
        try:
            with open(build + "/" + built, "rb") as file:
                same = file.read() == archive.read(name)
        except OSError as error:
            results.check(name + ": the built file", False, str(error))
            continue
        results.check(name + ": the built " + built + " byte for byte", same)


def check_texts(archive, version, results):
    texts = {name: archive.read(name) for name in TEXTS if name in archive.namelist()}
    for name, data in texts.items():
        results.check(name + ": ASCII", all(byte < 0x80 for byte in data))
        bare = re.search(rb"\r(?!\n)|(?<!\r)\n", data)
        results.check(name + ": every line ends in CRLF, the last one too", bare is None and data.endswith(b"\r\n"),
                      "a bare line end at byte %d" % bare.start() if bare else "no line end at the end")
        results.check(name + ": no placeholder left", re.search(rb"@[A-Z_]+@", data) is None)
    lines = texts.get("READ-ME.txt", b"").decode("ascii", "replace").split("\r\n")
    title = "VQT7 sound cue gauges " + version
    results.check("READ-ME.txt: titled with the version, underlined to its length",
                  lines[:2] == [title, "=" * len(title)], " / ".join(lines[:2]))
    changes = texts.get("CHANGELOG.txt", b"").decode("ascii", "replace").split("\r\n")
    results.check("CHANGELOG.txt: lists this version", version in changes)
    expected = "".join("%s  %s\r\n" % (hashlib.sha256(archive.read(name)).hexdigest(), name)
                       for name, _ in LAYOUT[:-1] if name in archive.namelist())
    results.check("SHA256SUMS.txt: every other file's sum, in the zip's order",
                  texts.get("SHA256SUMS.txt", b"").decode("ascii", "replace") == expected)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: test_release_zip.py ZIP BUILD_FOLDER VERSION")
    zip_path, build, version = sys.argv[1:]
    results = Results()
    try:
        with open(zip_path, "rb") as file:
            raw = file.read()
        archive = zipfile.ZipFile(zip_path)
    except (OSError, zipfile.BadZipFile) as error:
        results.check(zip_path, False, str(error))
        return 1
    check_entries(archive, raw, results)
    check_built_files(archive, build, results)
    check_texts(archive, version, results)
    print("%d failed" % results.failed)
    return 1 if results.failed else 0


if __name__ == "__main__":
    sys.exit(main())
