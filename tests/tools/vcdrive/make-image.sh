#!/bin/bash
# A three-track CD image made by sox: known tones per track, raw 16-bit stereo at 44.1 kHz in one BIN file,
# track 2 with a one-second pregap inside the file. Usage: make-image.sh FOLDER
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out" && cd "$out"
# Whole sectors of 588 frames: 4 s, 1 s of pregap + 3 s, 2.52 s (189 sectors).
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw t1.raw synth 4 sine 330 sine 440 vol 0.5
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw t2.raw synth 4 sine 550 sine 660 vol 0.5
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw t3.raw synth 2.52 sine 770 sine 880 vol 0.5
cat t1.raw t2.raw t3.raw > "disc image.bin"
cat > disc.cue <<'CUE'
REM a test image
FILE "disc image.bin" BINARY
  TRACK 01 AUDIO
    TITLE "First"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:04:00
    INDEX 01 00:05:00
  TRACK 03 AUDIO
    INDEX 01 00:08:00
CUE

# A mixed-mode disc: a data track first (noise standing for its sectors), then two audio tracks.
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw data.raw synth 2 whitenoise vol 0.5
cat data.raw t2.raw t3.raw > mixed.bin
cat > mixed.cue <<'CUE'
FILE "mixed.bin" BINARY
  TRACK 01 MODE1/2352
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 00:02:00
  TRACK 03 AUDIO
    INDEX 01 00:06:00
CUE

# The most tracks a disc holds: 99 of 10 sectors each, each file a track.
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw many.bin synth 13.2 sine 1000 vol 0.25
{
  echo 'FILE "many.bin" BINARY'
  for n in $(seq 1 99); do
    frames=$(((n - 1) * 10))
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' "$n" $((frames / 4500)) $((frames / 75 % 60)) \
      $((frames % 75))
  done
} > many.cue
