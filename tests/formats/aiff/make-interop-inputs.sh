#!/bin/bash
# AIFF and AIFC files made by sox and ffmpeg, and the raw samples sox decodes them to, for the Windows tests.
# Usage: make-interop-inputs.sh FOLDER
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"
tone=(synth 1 sine 440 sine 660)

# name | sox output options | reference raw options (the engine's PCM: little-endian, 8-bit unsigned)
while IFS='|' read -r name options reference; do
  # shellcheck disable=SC2086
  sox -q -n -r 22050 $options "$name" "${tone[@]}" vol 0.7
  # shellcheck disable=SC2086
  sox -q "$name" $reference -L "${name%.*}.raw"
done <<'LIST'
sox-16-stereo.aiff|-c 2 -b 16|-t raw -e signed-integer -b 16
sox-8-mono.aiff|-c 1 -b 8|-t raw -e unsigned-integer -b 8
sox-24-stereo.aiff|-c 2 -b 24|-t raw -e signed-integer -b 24
sox-32-mono.aiff|-c 1 -b 32|-t raw -e signed-integer -b 32
sox-none-16-stereo.aifc|-c 2 -b 16 -e signed-integer|-t raw -e signed-integer -b 16
sox-none-8-mono.aifc|-c 1 -b 8 -e signed-integer|-t raw -e unsigned-integer -b 8
LIST

# An odd number of 8-bit mono frames: sox pads SSND.
sox -q -n -r 8000 -c 1 -b 8 sox-8-odd.aiff synth 1001s sine 300
sox -q sox-8-odd.aiff -t raw -e unsigned-integer -b 8 sox-8-odd.raw
# Floating point AIFC, which the engine refuses.
sox -q -n -r 22050 -c 1 -e floating-point -b 32 sox-float.aifc "${tone[@]}" vol 0.7
# Little-endian "sowt" AIFC (sox does not write it; ffmpeg does, with an empty compression name).
ffmpeg -v error -f lavfi -i "sine=frequency=500:sample_rate=16000:duration=0.75" -ac 2 -c:a pcm_s16le ffmpeg-sowt.aifc
sox -q ffmpeg-sowt.aifc -t raw -e signed-integer -b 16 -L ffmpeg-sowt.raw
