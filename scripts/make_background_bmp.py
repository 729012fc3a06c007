#!/usr/bin/env python3
"""Writes the gauges' background bitmap: 40 x 40, 8 bits per pixel, every pixel palette index 0
(black), a three-entry palette (black, white, white). The resource compiler drops the 14-byte
file header, leaving the 1654-byte resource the host reads."""
import struct, sys

WIDTH = HEIGHT = 40
PIXELS = bytes(WIDTH * HEIGHT) + bytes(2)  # 40 rows of 40 bytes, then two zero bytes
PALETTE = bytes([0, 0, 0, 0, 255, 255, 255, 0, 255, 255, 255, 0])
info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 8, 0, len(PIXELS), 2834, 2834, 3, 3)
offset = 14 + len(info) + len(PALETTE)
head = b'BM' + struct.pack('<IHHI', offset + len(PIXELS), 0, 0, offset)
data = head + info + PALETTE + PIXELS
assert len(data) - 14 == 1654
open(sys.argv[1], 'wb').write(data)
