#!/usr/bin/env python3
"""The report page in a real browser: Debian's chromium, headless, driven through chromedriver's
WebDriver protocol with nothing but Python's standard library.

It runs gaugebench on the built-in demo with --report, --audio and --json, opens the page from
disk and checks what a person would see against the JSON timeline: the page loads without a
console error and its screenshot is not blank, the one-shot markers are the timeline's one-shot
plays, the loop bars its loop spans (start and end to one cycle), the player's duration is the
render's, and a click on the axis seeks the render and moves the cursor there. A scenario that
sets fifty variables gives a page that loads with a lane for each.

  report_page_test.py --bench gaugebench.exe --gauges DIR --sounds DIR --work DIR [--wine WINE]
"""
import argparse
import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

CYCLE = 1 / 18
ELEMENT = "element-6066-11e4-a52e-4f735466cecf"  # the W3C web element reference
CHROMIUM_ARGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=1300,1500"]

failures = []
passed = 0


def check(condition, what):
    global passed
    if condition:
        passed += 1
    else:
        failures.append(what)
        print("FAILED: " + what, flush=True)
    return condition


# --- WebDriver over HTTP ------------------------------------------------------------------------

class Browser:
    def __init__(self, work):
        self.profile = tempfile.mkdtemp(prefix="profile-", dir=work)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        self.driver = subprocess.Popen(["chromedriver", "--port=%d" % self.port],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while True:
            try:
                if self.request("GET", "/status")["value"].get("ready"):
                    break
            except OSError:
                pass
            if time.time() > deadline:
                raise RuntimeError("chromedriver did not start")
            time.sleep(0.2)
        capabilities = {"browserName": "chrome", "goog:loggingPrefs": {"browser": "ALL"},
                        "goog:chromeOptions": {"binary": shutil.which("chromium") or "/usr/bin/chromium",
                                               "args": CHROMIUM_ARGS + ["--user-data-dir=" + self.profile]}}
        answer = self.request("POST", "/session", {"capabilities": {"alwaysMatch": capabilities}})
        self.session = "/session/" + answer["value"]["sessionId"]

    def request(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        call = urllib.request.Request("http://127.0.0.1:%d%s" % (self.port, path), data=data, method=method,
                                      headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(call, timeout=120) as response:
                return json.loads(response.read())
        except urllib.error.HTTPError as error:
            raise RuntimeError("%s %s: %s" % (method, path, error.read().decode(errors="replace")[:500]))

    def command(self, method, path, body=None):
        return self.request(method, self.session + path, body)["value"]

    def open(self, path):
        self.command("POST", "/url", {"url": "file://" + os.path.abspath(path)})

    def run(self, script, *args):
        return self.command("POST", "/execute/sync", {"script": script, "args": list(args)})

    def console_errors(self):
        entries = self.command("POST", "/se/log", {"type": "browser"})
        return [entry["message"] for entry in entries if entry.get("level") == "SEVERE"]

    def screenshot(self):
        return base64.b64decode(self.command("GET", "/screenshot"))

    def click(self, css, x, y):
        """A real mouse click at (x, y) CSS pixels from the element's centre."""
        element = self.command("POST", "/element", {"using": "css selector", "value": css})
        self.command("POST", "/actions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "origin": {ELEMENT: element[ELEMENT]}, "x": int(x), "y": int(y)},
                        {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}]})

    def close(self):
        try:
            self.request("DELETE", self.session)
        finally:
            self.driver.terminate()
            self.driver.wait(10)
            shutil.rmtree(self.profile, ignore_errors=True)


# --- What the page shows, read back from its SVG -------------------------------------------------

READ_AXIS = """
const svg = document.getElementById('axis');
const left = +svg.getAttribute('data-plot-left'), width = +svg.getAttribute('data-plot-width');
const duration = +svg.getAttribute('data-duration');
const time = x => (x - left) / width * duration;
const shots = [...svg.querySelectorAll('g.one-shot')].map(g => {
  const box = g.querySelector('path').getBBox();
  const label = g.querySelector('text');
  return {t: time(box.x + box.width / 2), label: label ? label.textContent : null,
          title: g.querySelector('title').textContent};
});
const loops = [...svg.querySelectorAll('rect.loop')].map(r =>
  ({start: time(r.x.baseVal.value), end: time(r.x.baseVal.value + r.width.baseVal.value)}));
const rect = svg.getBoundingClientRect();
return {shots, loops, duration, left, width, units: svg.viewBox.baseVal.width,
        css_width: rect.width, css_height: rect.height,
        variable_lanes: svg.querySelectorAll('text.lane-name.variable').length};
"""


def png_pixels(png):
    """(width, height, rows of RGBA or RGB bytes) of an 8-bit, non-interlaced PNG."""
    assert png[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat = 8, b""
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        body = png[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    assert depth == 8 and colour in (2, 6), "PNG of depth %d, colour type %d" % (depth, colour)
    step = 4 if colour == 6 else 3
    raw, stride, rows, previous = zlib.decompress(idat), width * step, [], bytearray(width * step)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, row = line[0], bytearray(line[1:])
        for i in range(stride):
            a = row[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(row))
        previous = row
    return width, height, step, rows


def not_blank(png):
    """More than 2% of the pixels differ from the commonest colour, in more than a few colours."""
    width, height, step, rows = png_pixels(png)
    counts = {}
    for row in rows[::4]:
        for x in range(0, width * step, step * 4):
            pixel = row[x:x + 3]
            counts[pixel] = counts.get(pixel, 0) + 1
    total = sum(counts.values())
    return width > 100 and height > 100 and len(counts) > 8 and max(counts.values()) < 0.98 * total


# --- The runs ------------------------------------------------------------------------------------

def run_bench(options, arguments):
    command = ([options.wine] if options.wine else []) + [options.bench] + arguments
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)


def timeline_spans(records):
    """One-shot plays as (time, file name); loop spans as (start, end), from the JSON timeline."""
    shots, spans, open_loops = [], [], {}
    for record in records:
        if record["event"] != "sound":
            continue
        call, effect = record["call"], record.get("effect")
        if call == "play" and effect == "played once":
            shots.append((record["t"], record["path"].replace("\\", "/").split("/")[-1]))
        elif call == "play" and effect == "started loop":
            open_loops[record["name"]] = record["t"]
        elif call == "stop" and effect == "stopped" and record["name"] in open_loops:
            spans.append((open_loops.pop(record["name"]), record["t"]))
        elif (call == "terminate" and effect == "terminated") or call == "unload":
            spans += [(start, record["t"]) for start in open_loops.values()]
            open_loops.clear()
    end = records[-1]["t"]
    spans += [(start, end) for start in open_loops.values()]
    return shots, sorted(spans)


def wav_seconds(path):
    """The render's length from its own header: the data chunk's bytes over 2 bytes a frame."""
    with open(path, "rb") as wav:
        data = wav.read()
    assert data[:4] == b"RIFF" and data[8:12] == b"WAVE"
    at = 12
    while at + 8 <= len(data):
        kind, size = struct.unpack("<4sI", data[at:at + 8])
        if kind == b"fmt ":
            channels, rate, bits = struct.unpack("<xxHI6xH", data[at + 8:at + 24])
        if kind == b"data":
            return size / (rate * channels * bits // 8)
        at += 8 + size + (size & 1)
    raise AssertionError("no data chunk in " + path)


def check_demo(browser, options):
    page, wav = os.path.join(options.work, "demo.html"), os.path.join(options.work, "demo.wav")
    run = run_bench(options, ["--json", "--report", page, "--audio", wav, "--sounds", options.sounds,
                              os.path.join(options.gauges, "VQT7_Boomcue.gau"),
                              os.path.join(options.gauges, "VQT7_Drag_Drone.gau")])
    if not check(run.returncode == 0, "the demo run exits 0 (%d: %s)" % (run.returncode, run.stderr.decode()[-300:])):
        return
    records = [json.loads(line) for line in run.stdout.decode().splitlines()]
    expected_shots, expected_spans = timeline_spans(records)
    check(len(expected_shots) == 2 and len(expected_spans) == 3, "the demo plays two one-shots and three loop spans")

    browser.open(page)
    ready = time.time() + 30
    while browser.run("return document.getElementById('render').readyState") < 1 and time.time() < ready:
        time.sleep(0.2)
    errors = browser.console_errors()
    check(errors == [], "the demo page loads with no console error: %s" % errors)
    check(not_blank(browser.screenshot()), "the demo page's screenshot is not blank")

    axis = browser.run(READ_AXIS)
    shots = sorted((shot["t"], shot["label"]) for shot in axis["shots"])
    check(len(shots) == len(expected_shots), "one marker for each one-shot play: %s against %s" % (shots, expected_shots))
    for (t, label), (expected_t, name) in zip(shots, expected_shots):
        check(abs(t - expected_t) <= CYCLE, "one-shot at %.3f s drawn at %.3f s" % (expected_t, t))
        check(label == name, "one-shot at %.3f s labelled %r, not %r" % (expected_t, label, name))
    loops = sorted((loop["start"], loop["end"]) for loop in axis["loops"])
    check(len(loops) == len(expected_spans), "one bar for each loop span: %s against %s" % (loops, expected_spans))
    for (start, end), (expected_start, expected_end) in zip(loops, expected_spans):
        check(abs(start - expected_start) <= CYCLE and abs(end - expected_end) <= CYCLE,
              "loop %.3f-%.3f s drawn as %.3f-%.3f s" % (expected_start, expected_end, start, end))

    duration = browser.run("return document.getElementById('render').duration")
    check(abs(duration - wav_seconds(wav)) < 0.01, "the player's %s s are the render's %s s" % (duration, wav_seconds(wav)))

    # A click 6.5 s into the axis plays from there, and the cursor stands there.
    seconds = 6.5
    scale = axis["css_width"] / axis["units"]
    x = (axis["left"] + seconds / axis["duration"] * axis["width"]) * scale - axis["css_width"] / 2
    browser.run("document.getElementById('axis').scrollIntoView({block: 'center'})")
    try:
        browser.click("#axis", x, 0)
    except RuntimeError as error:
        check(False, "the axis takes a click: %s" % str(error)[:300])
        return
    time.sleep(0.3)
    state = browser.run("const a = document.getElementById('render'), c = document.getElementById('cursor');"
                        "return {t: a.currentTime, x: +c.getAttribute('x1'), shown: c.getAttribute('visibility')}")
    cursor_t = (state["x"] - axis["left"]) / axis["width"] * axis["duration"]
    check(abs(state["t"] - seconds) < 0.1, "a click at %.1f s seeks the render to %.3f s" % (seconds, state["t"]))
    check(state["shown"] == "visible" and abs(cursor_t - state["t"]) < 0.02,
          "the cursor stands at the render's time (%.3f s against %.3f s)" % (cursor_t, state["t"]))
    errors = browser.console_errors()
    check(errors == [], "seeking gives no console error: %s" % errors)


def check_fifty_variables(browser, options):
    scenario, page = os.path.join(options.work, "fifty.txt"), os.path.join(options.work, "fifty.html")
    with open(scenario, "w") as text:
        # Odd tokens decimal, even ones hex, so both kinds of lane are drawn.
        text.write("at 0 " + " ".join("%d=%s" % (token, token if token % 2 else "0x%04X" % token)
                                      for token in range(1, 51)) + "\n")
        text.write("at 1.5 " + " ".join("%d=%s" % (token, token * 3 if token % 2 else "0x24%02d" % (token % 100))
                                         for token in range(1, 51)) + "\nend 3\n")
    run = run_bench(options, ["--scenario", scenario, "--report", page, os.path.join(options.gauges, "VQT7_Boomcue.gau")])
    if not check(run.returncode == 0, "the fifty-variable run exits 0 (%s)" % run.stderr.decode()[-300:]):
        return
    browser.open(page)
    errors = browser.console_errors()
    check(errors == [], "the fifty-variable page loads with no console error: %s" % errors)
    check(browser.run(READ_AXIS)["variable_lanes"] == 50, "the fifty-variable page has a lane for each variable")
    check(not_blank(browser.screenshot()), "the fifty-variable page's screenshot is not blank")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--gauges", required=True)
    parser.add_argument("--sounds", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine")
    options = parser.parse_args()
    shutil.rmtree(options.work, ignore_errors=True)
    os.makedirs(options.work)
    browser = Browser(options.work)
    try:
        check_demo(browser, options)
        check_fifty_variables(browser, options)
    finally:
        browser.close()
    print("%d passed, %d failed" % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
