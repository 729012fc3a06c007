#!/usr/bin/env python3
"""Ctrl+C in the middle of a run, as Wine delivers it: a SIGINT to the program's process, which
Wine turns into the console's CTRL_C_EVENT on a thread of the program's own, as Windows does for
the key press. (On Windows the same handler takes Ctrl+Break and a closed console window.)

The bench, stopped during an hour's run that writes a report and a snapshot over earlier ones,
must exit 130 with one line saying so, replace neither earlier file and leave no temporary file.
gaugeinstall, stopped while it changes files in an install into a hundred aircraft, must put
back what it changed and exit 130 saying nothing was changed, or, stopped after its last change,
leave the whole install made and say so: never some files changed and others not.

  interrupt_tools.py [--wine WINE] --bench gaugebench.exe --install gaugeinstall.exe
                     --gauges DIR --work FOLDER
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree for the import below
from crash_gaugeinstall import TEMPORARY, Runner, make_sim, tree, windows_path

INTERRUPTED = 130
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL " + what, flush=True)
    return condition


def interrupt_when(process, ready, delay, timeout=60):
    """SIGINT `delay` seconds after `ready()` holds (the program has set its handler up by then);
    the exit code."""
    deadline = time.monotonic() + timeout
    while not ready() and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.02)
    time.sleep(delay)
    if process.poll() is None:
        os.kill(process.pid, signal.SIGINT)
    return process.wait(timeout=timeout)


def stopped_line(log, program):
    with open(log, "rb") as file:
        text = file.read().decode(errors="replace")
    return [line for line in text.splitlines() if line.startswith(program + ": stopped; ")], text


def bench_case(options, work):
    folder = os.path.join(work, "bench")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    scenario, page, faces = (os.path.join(folder, name) for name in ("hour.txt", "run.html", "faces.png"))
    with open(scenario, "w") as file:
        file.write("instances VQT7_Boomcue 16\ninstances VQT7_Drag_Drone 16\nat 0 870=0x1800\nend 3600\n")
    earlier = {page: b"<!DOCTYPE html><p>an earlier report\r\n", faces: b"an earlier snapshot\r\n\x89"}
    for path, data in earlier.items():
        with open(path, "wb") as file:
            file.write(data)
    command = ([options.wine] if options.wine else []) + [options.bench, "--scenario", windows_path(scenario),
                                                          "--report", windows_path(page), "--snapshot", windows_path(faces),
                                                          os.path.join(options.gauges, "VQT7_Boomcue.gau"),
                                                          os.path.join(options.gauges, "VQT7_Drag_Drone.gau")]
    log = os.path.join(work, "bench.log")
    with open(log, "wb") as output:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=output,
                                   start_new_session=True)
    temporaries = lambda: [name for name in os.listdir(folder) if name.startswith("~gaugebench-")]
    code = interrupt_when(process, lambda: temporaries() != [], 0.3)
    lines, text = stopped_line(log, "gaugebench")
    check(code == INTERRUPTED, "the bench, stopped, exits %d, not %d: %s" % (INTERRUPTED, code, text[-300:]))
    check(lines == ["gaugebench: stopped; no output was replaced"], "the bench says it stopped: %r" % text[-300:])
    for path, data in earlier.items():
        with open(path, "rb") as file:
            check(file.read() == data, "the bench replaced %s after the stop" % os.path.basename(path))
    check(temporaries() == [], "the bench left %s" % temporaries())


def install_case(options, work):
    root = os.path.join(work, "install")
    runner = Runner(options.wine, options.install, root)
    sim = make_sim(root)
    install = [windows_path(sim)] + sorted(os.listdir(os.path.join(sim, "Aircraft")))
    before = tree(sim)
    trouble = runner.run(install)
    if not check(trouble is None, "the uninterrupted install: %s" % trouble):
        return
    after = tree(sim)
    sim = make_sim(root)
    process = runner.start(install)
    # Stopped as soon as its first temporary file is there: while it changes files.
    under_way = lambda: any(TEMPORARY.match(name) for _, _, names in os.walk(sim) for name in names)
    code = interrupt_when(process, under_way, 0)
    lines, text = stopped_line(runner.log, "gaugeinstall")
    now = tree(sim)
    check(code == INTERRUPTED, "gaugeinstall, stopped, exits %d, not %d: %s" % (INTERRUPTED, code, text[-300:]))
    if now == before:
        check(lines == ["gaugeinstall: stopped; nothing was changed"], "gaugeinstall says nothing changed: %r" % text[-300:])
    else:
        changed = sorted(path for path in set(now) | set(before) if now.get(path) != before.get(path))
        check(now == after, "gaugeinstall, stopped, left neither the tree from before nor the one after: %s"
              % ", ".join(changed[:3]))
        check(len(lines) == 1 and "changes were all made" in lines[0], "gaugeinstall says all was made: %r" % text[-300:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine")
    parser.add_argument("--bench", required=True)
    parser.add_argument("--install", required=True)
    parser.add_argument("--gauges", required=True)
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    work = os.path.abspath(options.work)
    os.makedirs(work, exist_ok=True)
    bench_case(options, work)
    install_case(options, work)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
