#!/usr/bin/env python3
"""Writes the two placeholder sounds for the bench's demo, under DIR/sound/QX/:
Supersonic.wav, a short boom (16-bit mono, 22050 Hz), and Speed_Brake.wav, a one-second hum
that loops seamlessly (8-bit stereo, 11025 Hz), so the demo also exercises format conversion."""
import math
import os
import random
import struct
import sys
import wave


def write(path, rate, channels, width, frames):
    with wave.open(path, "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(width)
        out.setframerate(rate)
        out.writeframes(frames)


def boom(path):
    rate = 22050
    rng = random.Random(7)
    data = bytearray()
    for i in range(int(rate * 0.6)):
        t = i / rate
        body = math.sin(2 * math.pi * 55 * t) * math.exp(-t * 6)
        crack = rng.uniform(-1, 1) * math.exp(-t * 30)
        data += struct.pack("<h", int(0.7 * 32767 * max(-1.0, min(1.0, 0.6 * body + 0.5 * crack))))
    write(path, rate, 1, 2, bytes(data))


def hum(path):
    rate = 11025  # 110 and 220 Hz both fit a whole number of periods into one second
    data = bytearray()
    for i in range(rate):
        t = i / rate
        left = 0.3 * math.sin(2 * math.pi * 110 * t) + 0.15 * math.sin(2 * math.pi * 220 * t)
        right = 0.3 * math.sin(2 * math.pi * 110 * t + 0.5) + 0.15 * math.sin(2 * math.pi * 330 * t)
        data += bytes([128 + int(127 * left), 128 + int(127 * right)])
    write(path, rate, 2, 1, bytes(data))


def main():
    folder = os.path.join(sys.argv[1], "sound", "QX")
    os.makedirs(folder, exist_ok=True)
    boom(os.path.join(folder, "Supersonic.wav"))
    hum(os.path.join(folder, "Speed_Brake.wav"))


if __name__ == "__main__":
    main()
