#!/bin/bash
# A home whose .asoundrc records from FOLDER/signal-s32.raw, a known mono signal as 32-bit samples (the
# recording gets it on both channels and keeps the high 16 bits; a stereo file loses periods under Wine): 3 s of silence, 2 s of sound, 1.5 s of silence, 2 s of sound, 12 s of
# silence, then 200 s of sound. The sound is noise, so any recorded stretch is found in the signal at one place
# only. FOLDER/signal-s16.raw holds what the recording should see. Playback goes nowhere.
# Usage: recorder-home.sh FOLDER
set -euo pipefail
home=$(mkdir -p "$1" && cd "$1" && pwd)
/usr/bin/python3 - "$home" <<'PY'
import array, random, sys
home = sys.argv[1]
rng = random.Random(20261208)
rate = 44100
plan = [(3, False), (2, True), (1.5, False), (2, True), (12, False), (200, True)]
mono = array.array("h")
for seconds, sound in plan:
    frames = int(seconds * rate)
    if sound:
        # Loud enough for every threshold.
        mono.extend(rng.choice((-1, 1)) * rng.randint(8000, 30000) for _ in range(frames))
    else:
        mono.extend([0] * frames)
with open(home + "/signal-s32.raw", "wb") as out:
    array.array("i", (v << 16 for v in mono)).tofile(out)
stereo = array.array("h", [0]) * (2 * len(mono))
stereo[0::2] = mono
stereo[1::2] = mono
with open(home + "/signal-s16.raw", "wb") as out:
    stereo.tofile(out)
PY
cat >"$home/.asoundrc" <<ASOUND
pcm.capfile { type file; slave.pcm { type null }; file "/dev/null"; infile "$home/signal-s32.raw"; format "raw" }
pcm.!default {
  type asym
  playback.pcm "null"
  capture.pcm { type plug; slave { pcm "capfile"; format S32_LE; rate 44100; channels 1 } }
}
ASOUND
