#!/bin/bash
# A home whose .asoundrc records from FOLDER/signal-s32.raw: eight seconds of mono noise as 32-bit samples,
# of which the recording keeps the high 16 bits. Playback goes nowhere.
# Usage: capture-home.sh FOLDER
set -euo pipefail
home=$(mkdir -p "$1" && cd "$1" && pwd)
/usr/bin/python3 - "$home/signal-s32.raw" <<'PY'
import random, struct, sys
rng = random.Random(20240611)
frames = 8 * 44100
with open(sys.argv[1], "wb") as out:
    out.write(b"".join(struct.pack("<i", rng.randint(-2**31, 2**31 - 1)) for _ in range(frames)))
PY
cat >"$home/.asoundrc" <<ASOUND
pcm.capfile { type file; slave.pcm { type null }; file "/dev/null"; infile "$home/signal-s32.raw"; format "raw" }
pcm.!default {
  type asym
  playback.pcm "null"
  capture.pcm { type plug; slave { pcm "capfile"; format S32_LE; rate 44100; channels 1 } }
}
ASOUND
