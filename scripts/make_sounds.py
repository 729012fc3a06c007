#!/usr/bin/env python3
"""Writes the release's two sounds under DIR/sound/QX/, 16-bit PCM mono at 22050 Hz, the same
bytes on every run (fixed seeds, no clock): Supersonic.wav, a sonic boom, and Speed_Brake.wav,
the drone of air on open speed brakes, made to loop.

  make_sounds.py DIR

It keeps to Python's standard library on purpose, its own FFT included: the release must be the
same bytes from every build, and numpy's or scipy's results can differ in the last bit between
versions and machines (BLAS, SIMD paths), where Python's floats do not. scripts/check_release.sh
builds the release twice and compares the sounds byte for byte. The test that measures them,
tests/test_release_sounds.py, has no such need and uses numpy and scipy.
"""
import cmath
import math
import os
import random
import struct
import sys
import wave

RATE = 22050

# The boom: an N-wave (a shock up to the positive peak, a straight fall through zero to the
# negative peak, a shock back to zero) and the rumble the ground and the air add after it.
BOOM_SEED = 1947
BOOM_SECONDS = 0.9          # the demo's re-armed cue at 5 s is over before the loop at 6 s
BOOM_PEAK_DBFS = -2.0
FIRST_SHOCK_AT = 0.004      # a few samples of silence, so the first shock starts from rest
N_WAVE_SECONDS = 0.18       # shock to shock: a fighter-sized aircraft's boom
SHOCK_RISE_SECONDS = 0.003
RUMBLE_LEVEL = 0.1          # RMS at its start, against the N-wave's peak
RUMBLE_DECAY_SECONDS = 0.11
RUMBLE_ATTACK_SECONDS = 0.008
FADE_SECONDS = 0.12         # the tail ends on exact zeros

# The drone: 2^16 samples (2.97 s) so one inverse FFT makes it; every component, the buffet
# included, repeats a whole number of times in that length, so the end joins the start.
DRONE_SEED = 326
DRONE_SAMPLES = 1 << 16
DRONE_RMS_DBFS = -18.0
# Slow buffet of the airflow: (cycles in the loop, depth). 4 cycles is 1.35 Hz.
BUFFET = ((4, 0.28), (9, 0.12), (2, 0.10))


def write_wave(path, samples):
    """16-bit mono PCM, through a temporary file so that a reader never sees half of it."""
    frames = struct.pack("<%dh" % len(samples), *samples)
    partial = path + ".partial"
    with wave.open(partial, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)
    os.replace(partial, path)


def to_pcm(signal):
    return [int(round(value * 32767)) for value in signal]


def smoothstep(x):
    """0 before 0, 1 after 1, a raised cosine between: a shock's front."""
    if x <= 0:
        return 0.0
    if x >= 1:
        return 1.0
    return 0.5 - 0.5 * math.cos(math.pi * x)


class Biquad:
    """A second-order filter section (the usual audio-cookbook low- and high-pass)."""

    def __init__(self, kind, cutoff, q=math.sqrt(0.5)):
        w = 2 * math.pi * cutoff / RATE
        alpha = math.sin(w) / (2 * q)
        cos_w = math.cos(w)
        if kind == "low":
            b = ((1 - cos_w) / 2, 1 - cos_w, (1 - cos_w) / 2)
        else:
            b = ((1 + cos_w) / 2, -(1 + cos_w), (1 + cos_w) / 2)
        a0 = 1 + alpha
        self.b = [coefficient / a0 for coefficient in b]
        self.a = (-2 * cos_w / a0, (1 - alpha) / a0)

    def run(self, signal):
        b0, b1, b2 = self.b
        a1, a2 = self.a
        x1 = x2 = y1 = y2 = 0.0
        out = []
        for x in signal:
            y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
            x2, x1, y2, y1 = x1, x, y1, y
            out.append(y)
        return out


def rms(signal):
    return math.sqrt(sum(value * value for value in signal) / len(signal))


def boom():
    rng = random.Random(BOOM_SEED)
    count = int(round(BOOM_SECONDS * RATE))
    first = FIRST_SHOCK_AT
    second = FIRST_SHOCK_AT + N_WAVE_SECONDS

    # Band-limited noise for the rumble, 40 to 150 Hz, at unit RMS before its envelope.
    noise = [rng.gauss(0, 1) for _ in range(count)]
    for section in (Biquad("high", 40), Biquad("high", 40), Biquad("low", 150), Biquad("low", 150)):
        noise = section.run(noise)
    level = rms(noise)

    signal = []
    for i in range(count):
        t = i / RATE
        # Each shock's front is centred on its time, so the fall between them stays straight.
        up = smoothstep((t - first) / SHOCK_RISE_SECONDS + 0.5)
        back = smoothstep((t - second) / SHOCK_RISE_SECONDS + 0.5)
        line = 1 - 2 * (t - first) / N_WAVE_SECONDS
        value = line * up * (1 - back)
        since = t - second
        if since > 0:
            envelope = smoothstep(since / RUMBLE_ATTACK_SECONDS) * math.exp(-since / RUMBLE_DECAY_SECONDS)
            value += RUMBLE_LEVEL * envelope * noise[i] / level
        value *= smoothstep((BOOM_SECONDS - t) / FADE_SECONDS)
        signal.append(value)
    scale = 10 ** (BOOM_PEAK_DBFS / 20) / max(abs(value) for value in signal)
    return to_pcm(value * scale for value in signal)


def inverse_fft(spectrum):
    """The plain radix-2 inverse transform (without the 1/n), for a power-of-two length."""
    n = len(spectrum)
    bits = n.bit_length() - 1
    data = [spectrum[int(format(i, "0%db" % bits)[::-1], 2)] for i in range(n)]
    size = 2
    while size <= n:
        half = size // 2
        twiddles = [cmath.exp(2j * math.pi * k / size) for k in range(half)]
        for start in range(0, n, size):
            for k in range(half):
                a = data[start + k]
                b = data[start + k + half] * twiddles[k]
                data[start + k] = a + b
                data[start + k + half] = a - b
        size *= 2
    return data


def drone_amplitude(frequency):
    """The drone's spectrum: a rumble from 30 Hz rolling off above 200 Hz, over a faint hiss of
    the air that reaches a few kHz."""
    rise = (frequency / 30) ** 2 / math.sqrt(1 + (frequency / 30) ** 4)
    rumble = 1 / math.sqrt(1 + (frequency / 200) ** 4) / math.sqrt(1 + frequency / 60)
    hiss = 0.02 / math.sqrt(1 + (frequency / 3000) ** 4)
    return rise * (rumble + hiss)


def drone():
    rng = random.Random(DRONE_SEED)
    n = DRONE_SAMPLES
    # A sinusoid at every whole multiple of 1/length with a random phase: the sum repeats
    # exactly every n samples.
    spectrum = [0j] * n
    for k in range(1, n // 2):
        value = drone_amplitude(k * RATE / n) * cmath.exp(2j * math.pi * rng.random())
        spectrum[k] = value
        spectrum[n - k] = value.conjugate()
    air = [value.real for value in inverse_fft(spectrum)]
    # The buffet multiplies in whole cycles of the loop too; it starts at its mean level, so
    # the join sits mid-way through the buffet rather than at a swell.
    signal = []
    for i, value in enumerate(air):
        buffet = 1 + sum(depth * math.sin(2 * math.pi * cycles * i / n) for cycles, depth in BUFFET)
        signal.append(value * buffet)
    scale = 10 ** (DRONE_RMS_DBFS / 20) / rms(signal)
    return to_pcm(value * scale for value in signal)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_sounds.py DIR")
    folder = os.path.join(sys.argv[1], "sound", "QX")
    os.makedirs(folder, exist_ok=True)
    write_wave(os.path.join(folder, "Supersonic.wav"), boom())
    write_wave(os.path.join(folder, "Speed_Brake.wav"), drone())


if __name__ == "__main__":
    main()
