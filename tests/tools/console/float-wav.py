#!/usr/bin/env python3
"""Floating-point WAV files as other programs write them (32 and 64 bits, plain and extensible), a tone followed
by values beyond full scale, infinities and NaN; and the check of the 24-bit samples the converter made of one.
Usage: float-wav.py make FOLDER | sox CONVERTED.wav -t s32 - | float-wav.py check"""
import math
import os
import struct
import sys

RATE = 44100
TONE_FRAMES = RATE // 2
NAN = float("nan")
INF = float("inf")
# In both channels after the tone; full scale is 2^23 in 24 bits.
SPECIAL = [1.5, -1.5, 1.0, -1.0, NAN, INF, -INF, 0.999999, -1.0000001, 2.0e9, -2.0e9, 1.0e-12]
FULL_SCALE = 8388608
SUBTYPE_FLOAT = bytes.fromhex("0300000000001000800000aa00389b71")


def values(width):
    """The samples, frame by frame, as the file of this width stores them."""
    stored = []
    for i in range(TONE_FRAMES):
        for frequency in (440, 1000):
            stored.append(0.5 * math.sin(2 * math.pi * frequency * i / RATE))
    for value in SPECIAL:
        stored += [value, value]
    if width == 4:
        stored = list(struct.unpack("<%df" % len(stored), struct.pack("<%df" % len(stored), *stored)))
    return stored


def make(folder, name, width, extensible, fact):
    samples = values(width)
    data = struct.pack("<%d%s" % (len(samples), "f" if width == 4 else "d"), *samples)
    block = 2 * width
    tag = 0xFFFE if extensible else 3
    fmt = struct.pack("<HHIIHH", tag, 2, RATE, RATE * block, block, 8 * width)
    fmt += struct.pack("<HHI", 22, 8 * width, 3) + SUBTYPE_FLOAT if extensible else struct.pack("<H", 0)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    if fact:
        body += b"fact" + struct.pack("<II", 4, len(samples) // 2)
    body += b"data" + struct.pack("<I", len(data)) + data
    with open(os.path.join(folder, name + ".wav"), "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def expected(value):
    """The 24-bit sample, and how far a reader may be off (its scale and rounding are its own)."""
    if math.isnan(value):
        return 0, 0
    if value * FULL_SCALE >= FULL_SCALE - 1:
        return FULL_SCALE - 1, 1
    if value * FULL_SCALE <= -FULL_SCALE + 1:
        return -FULL_SCALE, 1
    return round(value * FULL_SCALE), 2


def check():
    raw = sys.stdin.buffer.read()
    got = [sample >> 8 for sample in struct.unpack("<%di" % (len(raw) // 4), raw)]
    want = values(8)
    if len(got) != len(want):
        sys.exit("%d samples, expected %d" % (len(got), len(want)))
    wrong = []
    for index, (sample, value) in enumerate(zip(got, want)):
        target, slack = expected(value)
        if abs(sample - target) > slack:
            wrong.append("sample %d: %d for %r, expected %d" % (index, sample, value, target))
    if wrong:
        sys.exit("%d samples wrong, first ones:\n  %s" % (len(wrong), "\n  ".join(wrong[:6])))


if sys.argv[1] == "make":
    os.makedirs(sys.argv[2], exist_ok=True)
    make(sys.argv[2], "float32", 4, False, True)
    make(sys.argv[2], "float64", 8, False, False)
    make(sys.argv[2], "float32-extensible", 4, True, True)
    make(sys.argv[2], "float64-extensible", 8, True, True)
else:
    check()
