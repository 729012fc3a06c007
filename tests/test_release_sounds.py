#!/usr/bin/env python3
"""The release's two sounds as built, measured from their bytes: the boom's N-wave, level and
quiet end; the drone's level, spectrum, buffet and seamless loop. One line a measurement.
Read with Python's wave module, measured with numpy and scipy (Debian's python3-numpy and
python3-scipy, which the project's scripts install).

  test_release_sounds.py FOLDER     # the folder holding Supersonic.wav and Speed_Brake.wav
"""
import math
import sys
import wave

import numpy as np
from scipy import signal

RATE = 22050
FULL_SCALE = 32768.0
LSB = 1 / FULL_SCALE

# Thresholds, and why.
BOOM_SECONDS = (0.8, 2.5)
BOOM_PEAK_DBFS = (-3.0, -1.0)
STEP_WINDOW = 0.004             # a shock is found as the largest rise over 4 ms
SHOCK_SPACING = (0.100, 0.300)
SHOCK_RISE = (0.0005, 0.005)    # 10% to 90%: a few ms, neither a click nor a swell
SHOCK_STEP_SHARE = 0.6          # each shock rises by at least this share of the peak...
OTHER_STEP_SHARE = 0.5          # ...and no other 4 ms rise comes near the weaker shock
PEAK_NEAR_SHOCK = 0.010         # the positive peak just after the first shock, the negative just before the second
FALL_RESIDUAL_RMS = 0.02        # straight fall: the linear fit's residual against the peak
FALL_RESIDUAL_MAX = 0.05
FALL_ENDS_SHARE = 0.8           # the fitted line reaches this share of each peak at the shocks
BACK_TO_ZERO_SHARE = 0.3        # after the second shock the wave is within this share of zero
RUMBLE_DBFS = -40.0             # RMS of the first 50 ms after the second shock: a rumble follows
RUMBLE_GROWTH = 1.5             # 50 ms windows after the shock never grow by more than this
RUMBLE_SECONDS = 1.0            # and fall below -60 dBFS within this time
QUIET_END = 0.050
QUIET_DBFS = -60.0
END_DC_LSB = 1.0

DRONE_SECONDS = (2.0, 6.0)
DRONE_RMS_DBFS = (-24.0, -14.0)
LOW_SHARE = 0.7                 # "most of its energy below 400 Hz", with room
OCTAVE_SHARE = 0.03             # broadband: every octave from 25 to 400 Hz carries energy
TONE_SHARE = 0.10               # and no 10.8 Hz bin holds a tone's share of it
DC_SHARE = 0.001                # the mean's power against the whole
BUFFET_WINDOW = 0.100
BUFFET_HZ = 5.0                 # slow: a few Hz or below
BUFFET_DEPTH = 0.12             # the strongest slow line of the RMS envelope, against its mean
FAST_LINE_SHARE = 0.5           # a line above 5 Hz stays below half the slow one
CLIP_RUN = 2                    # samples in a row at the file's extreme: more is a flat top


def read_pcm_mono(path):
    """Samples of a 16-bit PCM mono 22050 Hz WAVE file, scaled to -1..1; a format problem is a
    ValueError naming it (wave itself refuses a file that is no RIFF WAVE, or not PCM)."""
    with wave.open(path, "rb") as sound:
        found = (sound.getnchannels(), sound.getsampwidth(), sound.getframerate())
        if found != (1, 2, RATE):
            raise ValueError("format (channels, bytes a sample, rate) %s, not PCM 16-bit mono 22050 Hz" % (found,))
        promised = sound.getnframes()
        data = sound.readframes(promised)
        if len(data) != 2 * promised:
            raise ValueError("its data ends after %d of its %d samples" % (len(data) // 2, promised))
        return np.frombuffer(data, dtype="<i2") * LSB


def dbfs(level):
    return 20 * math.log10(level) if level > 0 else -math.inf


def rms(values):
    return float(np.sqrt(np.mean(np.square(values)))) if len(values) else 0.0


def welch_power(x, size=2048):
    """Power by frequency bin, averaged over half-overlapping Hann-windowed segments."""
    frequencies, power = signal.welch(x, fs=RATE, window="hann", nperseg=size, noverlap=size // 2, detrend=False,
                                      scaling="spectrum")
    return frequencies, power


def longest_run_at_extreme(samples):
    at_extreme = np.abs(samples) >= np.max(np.abs(samples)) - 1
    longest = run = 0
    for flag in at_extreme:
        run = run + 1 if flag else 0
        longest = max(longest, run)
    return longest


def crossing(x, start, end, level):
    """Where x first reaches `level` going up in [start, end], in samples, interpolated."""
    for i in range(start, end):
        if x[i] < level <= x[i + 1]:
            return i + (level - x[i]) / (x[i + 1] - x[i])
    return float(start if x[start] >= level else end)


class Results:
    def __init__(self):
        self.failed = 0

    def check(self, name, value, low, high, unit=""):
        """One measurement and its bounds (None: no bound on that side)."""
        passed = (low is None or value >= low) and (high is None or value <= high)
        bounds = "%s to %s" % ("-inf" if low is None else "%g" % low, "inf" if high is None else "%g" % high)
        print("%s  %s: %.4g%s (%s)" % ("ok  " if passed else "FAIL", name, value, unit, bounds))
        self.failed += not passed

    def fail(self, name, why):
        print("FAIL  %s: %s" % (name, why))
        self.failed += 1


def shocks(x):
    """The two largest 4 ms rises, each with its window start, and the largest rise elsewhere."""
    width = round(STEP_WINDOW * RATE)
    steps = x[width:] - x[:-width]
    taken, found = [], []
    apart = round(0.015 * RATE)  # one shock's neighbouring windows are the same shock
    free = np.ones(len(steps), dtype=bool)
    for _ in range(3):
        best = int(np.argmax(np.where(free, steps, -np.inf)))
        free[max(0, best - apart):best + apart + 1] = False
        taken.append(best)
        found.append((best, float(steps[best])))
    return width, found[:2], found[2][1]


def check_boom(x, results):
    results.check("Supersonic.wav length", len(x) / RATE, *BOOM_SECONDS, " s")
    peak = float(np.max(np.abs(x)))
    results.check("Supersonic.wav peak", dbfs(peak), *BOOM_PEAK_DBFS, " dBFS")
    results.check("Supersonic.wav full-scale samples", int(np.sum(np.abs(x) >= 32767 * LSB)), 0, 0)
    results.check("Supersonic.wav samples in a row at its peak", longest_run_at_extreme(np.round(x * FULL_SCALE)),
                  1, CLIP_RUN)

    width, (one, two), other = shocks(x)
    (first, first_step), (second, second_step) = sorted([one, two])
    results.check("first shock's rise against the peak", first_step / peak, SHOCK_STEP_SHARE, None)
    results.check("second shock's rise against the peak", second_step / peak, SHOCK_STEP_SHARE, None)
    results.check("largest other 4 ms rise against the weaker shock", other / min(first_step, second_step), None,
                  OTHER_STEP_SHARE)
    times = []
    for start in (first, second):
        # The whole front: from the lowest point of the window back while the wave keeps falling
        # behind it, and from the highest on while it keeps rising.
        low_at = start + int(np.argmin(x[start:start + width + 1]))
        high_at = low_at + int(np.argmax(x[low_at:start + width + 1]))
        while low_at > 0 and x[low_at - 1] <= x[low_at]:
            low_at -= 1
        while high_at + 1 < len(x) and x[high_at + 1] >= x[high_at]:
            high_at += 1
        low, high = x[low_at], x[high_at]
        at = [crossing(x, low_at, high_at, low + share * (high - low)) for share in (0.1, 0.5, 0.9)]
        results.check("shock at %.1f ms: 10%%-90%% rise" % (at[1] / RATE * 1e3), (at[2] - at[0]) / RATE * 1e3,
                      SHOCK_RISE[0] * 1e3, SHOCK_RISE[1] * 1e3, " ms")
        times.append(at[1])
    spacing = (times[1] - times[0]) / RATE
    results.check("shock spacing", spacing * 1e3, SHOCK_SPACING[0] * 1e3, SHOCK_SPACING[1] * 1e3, " ms")
    if not times[0] < times[1]:
        return

    top = int(np.argmax(x))
    bottom = int(np.argmin(x))
    results.check("positive peak after the first shock", (top - times[0]) / RATE * 1e3, 0, PEAK_NEAR_SHOCK * 1e3, " ms")
    results.check("negative peak before the second shock", (times[1] - bottom) / RATE * 1e3, 0, PEAK_NEAR_SHOCK * 1e3,
                  " ms")

    # The fall between the shocks, clear of their fronts, against a least-squares line.
    margin = round(PEAK_NEAR_SHOCK * RATE)
    span = np.arange(int(times[0]) + margin, int(times[1]) - margin)
    if len(span) < 10:
        results.fail("straight fall", "the shocks are too close to measure it")
        return
    slope, intercept = np.polyfit(span, x[span], 1)
    line = lambda i: intercept + slope * i
    residual = x[span] - line(span)
    results.check("fall: residual RMS of a straight line against the peak", rms(residual) / peak, None, FALL_RESIDUAL_RMS)
    results.check("fall: largest residual against the peak", float(np.max(np.abs(residual))) / peak, None,
                  FALL_RESIDUAL_MAX)
    results.check("fall: the line at the first shock against the positive peak", line(times[0]) / x[top],
                  FALL_ENDS_SHARE, None)
    results.check("fall: the line at the second shock against the negative peak", line(times[1]) / x[bottom],
                  FALL_ENDS_SHARE, None)
    between = x[top:bottom + 1]
    signs = between[between != 0] > 0
    results.check("fall: zero crossings between the peaks", int(np.sum(signs[1:] != signs[:-1])), 1, 1)
    results.check("level after the second shock against the peak", abs(x[second + width]) / peak, None,
                  BACK_TO_ZERO_SHARE)

    # The rumble: there, then only dying away, and soon gone.
    window = round(0.050 * RATE)
    after = second + width
    levels = [rms(x[i:i + window]) for i in range(after, len(x) - window + 1, window)]
    results.check("rumble: RMS of the first 50 ms after the second shock", dbfs(levels[0]), RUMBLE_DBFS, None, " dBFS")
    growth = max((b / a for a, b in zip(levels, levels[1:]) if a > 10 * LSB), default=0)
    results.check("rumble: largest growth from one 50 ms to the next", growth, None, RUMBLE_GROWTH)
    quiet = next((k for k, level in enumerate(levels) if dbfs(level) < QUIET_DBFS), len(levels))
    results.check("rumble: below -60 dBFS after the second shock", quiet * window / RATE, None, RUMBLE_SECONDS, " s")

    end = x[-round(QUIET_END * RATE):]
    results.check("last 50 ms: peak", dbfs(float(np.max(np.abs(end)))), None, QUIET_DBFS, " dBFS")
    results.check("last 50 ms: mean (DC)", abs(float(np.mean(end))) / LSB, None, END_DC_LSB, " LSB")
    results.check("last sample", abs(x[-1]) / LSB, None, END_DC_LSB, " LSB")


def check_drone(x, results):
    n = len(x)
    results.check("Speed_Brake.wav length", n / RATE, *DRONE_SECONDS, " s")
    level = rms(x)
    results.check("Speed_Brake.wav RMS", dbfs(level), *DRONE_RMS_DBFS, " dBFS")
    results.check("Speed_Brake.wav full-scale samples", int(np.sum(np.abs(x) >= 32767 * LSB)), 0, 0)
    results.check("Speed_Brake.wav samples in a row at its peak", longest_run_at_extreme(np.round(x * FULL_SCALE)),
                  1, CLIP_RUN)
    results.check("Speed_Brake.wav DC power against the whole", float(np.mean(x)) ** 2 / level ** 2, None, DC_SHARE)

    limit = np.percentile(np.abs(np.diff(x)), 99.9)
    results.check("loop: step from the last sample to the first against the 99.9th percentile step",
                  abs(x[0] - x[-1]) / limit, None, 1.0)
    window = round(BUFFET_WINDOW * RATE)
    hop = round(0.010 * RATE)
    inside = [rms(x[i:i + window]) for i in range(0, n - window + 1, hop)]
    across = rms(np.concatenate((x[-window // 2:], x[:window - window // 2])))
    low, high = np.percentile(inside, 5), np.percentile(inside, 95)
    print("      100 ms RMS: across the join %.1f dBFS, elsewhere 5th %.1f, 95th %.1f dBFS"
          % (dbfs(across), dbfs(low), dbfs(high)))
    results.check("loop: RMS across the join, 0 at the 5th percentile, 1 at the 95th",
                  (across - low) / (high - low), 0.0, 1.0)

    frequencies, power = welch_power(x)
    total = float(np.sum(power))
    band = lambda f1, f2: float(np.sum(power[(frequencies >= f1) & (frequencies < f2)])) / total
    results.check("energy below 400 Hz", band(0, 400), LOW_SHARE, None)
    for f1 in (25, 50, 100, 200):
        results.check("energy from %d to %d Hz" % (f1, 2 * f1), band(f1, 2 * f1), OCTAVE_SHARE, None)
    results.check("largest single %.1f Hz bin" % frequencies[1], float(np.max(power)) / total, None, TONE_SHARE)

    # The buffet: lines in the spectrum of the 100 ms RMS envelope, taken round the loop.
    points = 256
    every_other = np.arange(0, window, 2)
    envelope = np.array([rms(x[(j * n // points + every_other) % n]) for j in range(points)])
    mean = float(np.mean(envelope))
    lines = np.fft.fft(envelope - mean)
    depth = lambda k: 2 * abs(lines[k]) / points / mean
    line_hz = RATE / n
    slow = [k for k in range(1, points // 2) if k * line_hz <= BUFFET_HZ]
    fast = [k for k in range(1, points // 2) if k * line_hz > BUFFET_HZ]
    strongest = max(slow, key=depth)
    results.check("buffet: strongest envelope line at %.2f Hz, depth" % (strongest * line_hz), depth(strongest),
                  BUFFET_DEPTH, None)
    results.check("buffet: strongest line above 5 Hz against it", max(depth(k) for k in fast) / depth(strongest), None,
                  FAST_LINE_SHARE)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: test_release_sounds.py FOLDER")
    results = Results()
    for name, check in (("Supersonic.wav", check_boom), ("Speed_Brake.wav", check_drone)):
        path = sys.argv[1] + "/" + name
        try:
            samples = read_pcm_mono(path)
        except (OSError, EOFError, ValueError, wave.Error) as error:
            results.fail(name, "%s: %s" % (path, str(error) or "cut short"))
            continue
        if len(samples) < RATE // 2:
            results.fail(name, "only %d samples" % len(samples))
            continue
        check(samples, results)
    print("%d failed" % results.failed)
    return 1 if results.failed else 0


if __name__ == "__main__":
    sys.exit(main())
