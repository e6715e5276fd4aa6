#!/bin/bash
# AIFF files written by the destination, as sox sees them: header values, and the same samples as the input.
# Usage: check-written.sh FOLDER
set -euo pipefail
cd "$1"
failures=0
# name | channels | rate | bits | sox raw options of the input samples
while IFS='|' read -r name channels rate bits raw; do
  if [ ! -f "$name.aiff" ] || [ ! -f "$name.raw" ]; then
    echo "missing: $name"; failures=$((failures + 1)); continue
  fi
  got="$(soxi -c "$name.aiff") $(soxi -r "$name.aiff") $(soxi -b "$name.aiff")"
  if [ "$got" != "$channels $rate $bits" ]; then
    echo "FAILED: $name.aiff: sox sees $got, expected $channels $rate $bits"; failures=$((failures + 1)); continue
  fi
  # shellcheck disable=SC2086
  if ! cmp -s <(sox -q "$name.aiff" $raw -L -) "$name.raw"; then
    echo "FAILED: $name.aiff: sox decodes other samples than the input"; failures=$((failures + 1)); continue
  fi
  echo "ok: $name.aiff ($got)"
done <<'LIST'
pcm16-stereo|2|44100|16|-t raw -e signed-integer -b 16
pcm8-mono-odd|1|11025|8|-t raw -e unsigned-integer -b 8
pcm24-stereo|2|48000|24|-t raw -e signed-integer -b 24
pcm32-mono|1|96000|32|-t raw -e signed-integer -b 32
pcm16-six|6|8000|16|-t raw -e signed-integer -b 16
LIST
echo "$failures of the written files failed"
[ $failures -eq 0 ]
