#!/usr/bin/env python3
"""The report page in a real browser: Debian's chromium, headless, driven by chromedriver through
Debian's python3-selenium; its screenshots read with python3-pil and numpy, the render with
Python's wave.

It runs gaugebench on the built-in demo with --report, --audio and --json (or, with --sample,
the native report core's sample program on a fixed run of the same shape, where the bench
cannot run), opens the page from disk and checks what a person would see against the JSON
timeline: the page loads without a
console error and its screenshot is not blank, the one-shot markers are the timeline's one-shot
plays, the loop bars its loop spans (start and end to one cycle), the player's duration is the
render's, and a click on the axis seeks the render and moves the cursor there. A scenario that
sets fifty variables gives a page that loads with a lane for each.

  report_page_test.py --bench gaugebench.exe --gauges DIR --sounds DIR --work DIR [--wine WINE]
  report_page_test.py --sample report_page_sample --work DIR
"""
import argparse
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import wave

import numpy
from PIL import Image
from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

CYCLE = 1 / 18
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


class Browser:
    def __init__(self, work):
        self.profile = tempfile.mkdtemp(prefix="profile-", dir=work)
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for argument in CHROMIUM_ARGS + ["--user-data-dir=" + self.profile]:
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.set_page_load_timeout(120)

    def open(self, path):
        self.driver.get("file://" + os.path.abspath(path))

    def run(self, script, *args):
        return self.driver.execute_script(script, *args)

    def console_errors(self):
        return [entry["message"] for entry in self.driver.get_log("browser") if entry.get("level") == "SEVERE"]

    def screenshot(self):
        return self.driver.get_screenshot_as_png()

    def click(self, css, x, y):
        """A real mouse click at (x, y) CSS pixels from the element's centre."""
        element = self.driver.find_element(By.CSS_SELECTOR, css)
        ActionChains(self.driver).move_to_element_with_offset(element, int(x), int(y)).click().perform()

    def close(self):
        try:
            self.driver.quit()
        finally:
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


def not_blank(png):
    """More than 2% of the pixels differ from the commonest colour, in more than a few colours."""
    image = Image.open(io.BytesIO(png)).convert("RGB")
    pixels = numpy.asarray(image)[::4, ::4].reshape(-1, 3)
    colours, counts = numpy.unique(pixels, axis=0, return_counts=True)
    return image.width > 100 and image.height > 100 and len(colours) > 8 and counts.max() < 0.98 * counts.sum()


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
    """The render's length from its own header."""
    with wave.open(path, "rb") as wav:
        return wav.getnframes() / wav.getframerate()


def write_tone(path, seconds, rate=22050):
    """A render for the sample's page: a quiet 440 Hz tone, 16-bit mono."""
    samples = (numpy.sin(2 * numpy.pi * 440 * numpy.arange(int(seconds * rate)) / rate) * 3000).astype("<i2")
    with wave.open(path, "wb") as render:
        render.setnchannels(1)
        render.setsampwidth(2)
        render.setframerate(rate)
        render.writeframes(samples.tobytes())


def check_demo(browser, options):
    page, wav = os.path.join(options.work, "demo.html"), os.path.join(options.work, "demo.wav")
    if options.sample:
        write_tone(wav, 13.0)
        run = subprocess.run([options.sample, "demo", page, wav], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             timeout=120)
    else:
        run = run_bench(options, ["--json", "--report", page, "--audio", wav, "--sounds", options.sounds,
                                  os.path.join(options.gauges, "VQT7_Boomcue.gau"),
                                  os.path.join(options.gauges, "VQT7_Drag_Drone.gau")])
    if not check(run.returncode == 0, "the demo run exits 0 (%d: %s)" % (run.returncode, run.stderr.decode()[-300:])):
        return
    records = [json.loads(line) for line in run.stdout.decode().splitlines()]
    expected_shots, expected_spans = timeline_spans(records)
    check(len(expected_shots) == 2 and len(expected_spans) == 3, "the demo plays two one-shots and three loop spans")
    check_page(browser, page, wav, expected_shots, expected_spans)


def check_page(browser, page, wav, expected_shots, expected_spans):
    """What the page of a run shows: its marks those the run's timeline gives, its player the render."""
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
    except WebDriverException as error:
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
    if options.sample:
        run = subprocess.run([options.sample, "variables", page], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             timeout=120)
    else:
        with open(scenario, "w") as text:
            # Odd tokens decimal, even ones hex, so both kinds of lane are drawn.
            text.write("at 0 " + " ".join("%d=%s" % (token, token if token % 2 else "0x%04X" % token)
                                          for token in range(1, 51)) + "\n")
            text.write("at 1.5 " + " ".join("%d=%s" % (token, token * 3 if token % 2 else "0x24%02d" % (token % 100))
                                             for token in range(1, 51)) + "\nend 3\n")
        run = run_bench(options, ["--scenario", scenario, "--report", page,
                                  os.path.join(options.gauges, "VQT7_Boomcue.gau")])
    if not check(run.returncode == 0, "the fifty-variable run exits 0 (%s)" % run.stderr.decode()[-300:]):
        return
    browser.open(page)
    errors = browser.console_errors()
    check(errors == [], "the fifty-variable page loads with no console error: %s" % errors)
    check(browser.run(READ_AXIS)["variable_lanes"] == 50, "the fifty-variable page has a lane for each variable")
    check(not_blank(browser.screenshot()), "the fifty-variable page's screenshot is not blank")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench")
    parser.add_argument("--gauges")
    parser.add_argument("--sounds")
    parser.add_argument("--sample")
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine")
    options = parser.parse_args()
    if not options.sample and not (options.bench and options.gauges and options.sounds):
        parser.error("give --sample, or --bench, --gauges and --sounds")
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
