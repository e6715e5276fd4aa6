#!/usr/bin/env python3
"""WAV files with headers users met in the wild: ones no codec may be given (bad-*) and ones that are
unusual but sound (ok-*). Usage: damaged-headers.py FOLDER"""
import math
import os
import struct
import sys

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)


def wave(name, tag, channels, rate, byte_rate, block, bits, extra=b"", data=b"\x11" * 8192):
    fmt = struct.pack("<HHIIHH", tag, channels, rate, byte_rate, block, bits)
    if tag != 1:
        fmt += struct.pack("<H", len(extra)) + extra
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(os.path.join(folder, name + ".wav"), "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)


ms_coefficients = struct.pack("<14h", 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232)
wave("bad-rate-0", 1, 2, 0, 0, 4, 16)
wave("bad-no-channels", 1, 0, 44100, 0, 4, 16)
wave("bad-block-not-matching-channels", 1, 2, 44100, 88200, 2, 16)
wave("bad-ima-block-of-1-byte", 0x11, 1, 22050, 11100, 1, 4, struct.pack("<H", 0))
wave("bad-ms-adpcm-no-samples-per-block", 2, 2, 22050, 22311, 1024, 4, struct.pack("<HH", 0, 7) + ms_coefficients)
# Seven bits in bytes are eight-bit samples; a byte rate of 0 follows from the rest.
tone = bytes(128 + int(60 * math.sin(2 * math.pi * 440 * i / 8000)) for i in range(8000))
wave("ok-7-bit-samples", 1, 1, 8000, 8000, 1, 7, data=tone)
wave("ok-byte-rate-0", 1, 1, 8000, 0, 1, 8, data=tone)
