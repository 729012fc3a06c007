#!/usr/bin/env python3
"""Kills the real gaugeinstall at many instants of an install into, and an uninstall from, a
hundred aircraft, as SQLite's crash tests kill their own process. After every kill each
panel.cfg must be there with its bytes from before the run or from after it, never neither; a
rerun of the same command must then give the uninterrupted run's tree, byte for byte, and leave
no temporary file of ours.

Half the kills are spread over the whole run. The other half land while the files are being put
in place, a few hundredths of a second at the end that uniform kills would seldom hit: each of
those runs is watched until its first panel.cfg changes, and killed at a point of the span that
the uninterrupted run took from its first panel.cfg to its last. Some of those kills must find
some panel.cfg files changed and others not, or the test has not tried what it is for: where none
did, it tries a dozen more there before it fails.

  crash_gaugeinstall.py [--wine WINE] --exe gaugeinstall.exe --work FOLDER [--kills N]
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

AIRCRAFT = 100
TEMPORARY = re.compile(r"^~vqt7-\d+-\d+\.(tmp|old)$")


def panel_of(n):
    # A small 2D panel with a virtual cockpit, CRLF, as the field's panel.cfg files are.
    return ("// test aircraft %03d\r\n[Window Titles]\r\nWindow00=Main Panel\r\n\r\n[Window00]\r\n"
            "size_mm=1024\r\nvisible=1\r\ngauge00=Plane%03d!Airspeed, 10, 10\r\n\r\n[Vcockpit01]\r\n"
            "size_mm=512,512\r\ntexture=$VC\r\ngauge00=Plane%03d!Clock, 0, 0, 64, 64\r\n" % (n, n, n)).encode()


def make_sim(root):
    shutil.rmtree(root, ignore_errors=True)
    sim = os.path.join(root, "sim")
    for folder in ("Gauges", "Aircraft"):
        os.makedirs(os.path.join(sim, folder))
    os.makedirs(os.path.join(root, "store"))
    os.makedirs(os.path.join(root, "system"))
    open(os.path.join(sim, "fs9.exe"), "wb").close()
    for n in range(AIRCRAFT):
        plane = os.path.join(sim, "Aircraft", "A%03d" % n)
        os.makedirs(os.path.join(plane, "panel"))
        with open(os.path.join(plane, "aircraft.cfg"), "wb") as file:
            file.write(b"[fltsim.0]\r\ntitle=Test aircraft %03d\r\npanel=\r\n" % n)
        with open(os.path.join(plane, "panel", "panel.cfg"), "wb") as file:
            file.write(panel_of(n))
    return sim


def tree(folder):
    """Every file under `folder` by its relative path, with its bytes."""
    files = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            with open(path, "rb") as file:
                files[os.path.relpath(path, folder)] = file.read()
    return files


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Runner:
    def __init__(self, wine, exe, root):
        self.prefix = [wine, exe] if wine else [exe]
        self.env = dict(os.environ)
        self.env["GAUGECHECK_VIRTUAL_STORE"] = windows_path(os.path.join(root, "store"))
        self.env["GAUGECHECK_SYSTEM_DIRS"] = windows_path(os.path.join(root, "system"))
        self.log = os.path.join(root, "run.log")

    def start(self, arguments):
        # Its own process group, so that one kill reaches every process Wine made for it; its
        # output goes to a file, so that no pipe fills while it runs.
        with open(self.log, "wb") as log:
            return subprocess.Popen(self.prefix + arguments, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                    env=self.env, start_new_session=True)

    def run(self, arguments):
        """Runs it to its end; None when it succeeded, else why not."""
        process = self.start(arguments)
        code = process.wait(timeout=300)
        if code == 0:
            return None
        with open(self.log, "rb") as log:
            return "exited %d: %s" % (code, log.read().decode(errors="replace").strip()[-300:])


def identities(paths):
    """Each file's inode: a file put in place by a rename is a new one."""
    found = {}
    for path in paths:
        try:
            found[path] = os.stat(path).st_ino
        except FileNotFoundError:
            found[path] = None
    return found


def watch_swaps(runner, arguments, paths):
    """Runs it uninterrupted, watching `paths`: the seconds from its start to the first and to
    the last of them replaced, and the first one replaced; else why not, as a text."""
    before = identities(paths)
    started = time.monotonic()
    process = runner.start(arguments)
    replaced = {}
    while process.poll() is None:
        now = time.monotonic() - started
        if now > 300:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return "hangs: killed after 300 s"
        for path, identity in identities(paths).items():
            if path not in replaced and identity != before[path]:
                replaced[path] = now
    if process.wait() != 0:
        with open(runner.log, "rb") as log:
            return "exited %d: %s" % (process.returncode, log.read().decode(errors="replace").strip()[-300:])
    if not replaced:
        return "replaced no panel.cfg"
    first = min(replaced, key=replaced.get)
    return replaced[first], max(replaced.values()), first


def kill_at(runner, arguments, delay, after_replaced=None):
    """Kills the run `delay` seconds after its start or, given a file, after that file is replaced."""
    anchor = identities([after_replaced]) if after_replaced else None
    process = runner.start(arguments)
    if after_replaced:
        # Busy, for the hundredths of a second that matter; a run that never gets there is
        # killed all the same after a minute, and its tree is judged as any other.
        deadline = time.monotonic() + 60
        while process.poll() is None and identities([after_replaced]) == anchor and time.monotonic() < deadline:
            pass
    time.sleep(delay)
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass  # it had ended
    process.wait()


def panels(files):
    return {path: data for path, data in files.items() if path.lower().endswith(os.path.join("panel", "panel.cfg"))}


def put_tree(sim, files):
    shutil.rmtree(sim)
    for path, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(sim, path)), exist_ok=True)
        with open(os.path.join(sim, path), "wb") as file:
            file.write(data)


def round_of(name, runner, root, arguments, start_files, end_files, timing, kills, figures):
    """Kills the run of `arguments` at `kills` instants, each from a fresh copy of
    `start_files`: half spread over its whole length, half over the span in which it replaces
    the panel files (`timing`: its length, and watch_swaps' figures); returns the failures."""
    failures = []
    sim = os.path.join(root, "sim")
    duration, (first_swap, last_swap, first_panel) = timing
    for k in range(kills):
        put_tree(sim, start_files)
        if k % 2 == 0:
            delay = duration * (k + 1) / (kills + 1)
            where = "%.3f s after its start" % delay
            kill_at(runner, arguments, delay)
        else:
            delay = (last_swap - first_swap) * k / kills
            where = "%.3f s after its first panel.cfg" % delay
            kill_at(runner, arguments, delay, os.path.join(sim, first_panel))
        now = tree(sim)
        changed = 0
        for path, before in panels(start_files).items():
            after = end_files.get(path)
            if path not in now:
                failures.append("%s, kill %s: %s is missing" % (name, where, path))
            elif now[path] == after and after != before:
                changed += 1
            elif now[path] != before:
                failures.append("%s, kill %s: %s holds neither its old bytes nor its new ones" % (name, where, path))
        figures["kills"] += 1
        figures["inside the swaps"] += 0 < changed < len(panels(start_files))
        trouble = runner.run(arguments)
        if trouble:
            failures.append("%s, kill %s: the rerun %s" % (name, where, trouble))
            continue
        again = tree(sim)
        left = [path for path in again if TEMPORARY.match(os.path.basename(path))]
        figures["temporaries after the rerun"] += len(left)
        if left:
            failures.append("%s, kill %s: the rerun left %s" % (name, where, ", ".join(left[:3])))
        if again != end_files:
            differ = sorted(set(again) ^ set(end_files)) or [p for p in again if again[p] != end_files[p]]
            failures.append("%s, kill %s: the rerun's tree differs from an uninterrupted run's: %s"
                            % (name, where, ", ".join(differ[:3])))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine")
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--kills", type=int, default=12)
    options = parser.parse_args()
    root = os.path.abspath(options.work)
    sim = make_sim(root)
    runner = Runner(options.wine, options.exe, root)
    names = ["A%03d" % n for n in range(AIRCRAFT)]
    install = [windows_path(sim)] + names
    uninstall = ["--uninstall", windows_path(sim)]

    original = tree(sim)
    panel_paths = [os.path.join(sim, path) for path in panels(original)]
    timings = []
    for arguments in (install, uninstall):
        started = time.monotonic()
        swaps = watch_swaps(runner, arguments, panel_paths)
        if isinstance(swaps, str):
            sys.exit("the uninterrupted run of gaugeinstall %s %s" % (arguments[0], swaps))
        first_swap, last_swap, first_panel = swaps
        timings.append((time.monotonic() - started, (first_swap, last_swap, os.path.relpath(first_panel, sim))))
        if arguments is install:
            installed = tree(sim)
    uninstalled = tree(sim)

    figures = {"kills": 0, "inside the swaps": 0, "temporaries after the rerun": 0}
    failures = round_of("install", runner, root, install, original, installed, timings[0], options.kills, figures)
    failures += round_of("uninstall", runner, root, uninstall, installed, uninstalled, timings[1], options.kills,
                         figures)
    # A loaded machine can stretch the span between two runs: aim more, a few at a time.
    for _ in range(6):
        if figures["inside the swaps"]:
            break
        failures += round_of("install", runner, root, install, original, installed, timings[0], 4, figures)
    if not figures["inside the swaps"]:
        failures.append("no kill found some panel.cfg files changed and others not: nothing was killed mid-way")
    print("install %.2f s (its panel.cfg files put in place over %.3f s), uninstall %.2f s (over %.3f s) "
          "uninterrupted; %d kills, %d with some panel.cfg files changed and others not, %d temporaries after "
          "the reruns, %d failures"
          % (timings[0][0], timings[0][1][1] - timings[0][1][0], timings[1][0], timings[1][1][1] - timings[1][1][0],
             figures["kills"], figures["inside the swaps"], figures["temporaries after the rerun"], len(failures)))
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
