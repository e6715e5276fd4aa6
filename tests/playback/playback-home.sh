#!/bin/bash
# A home whose .asoundrc sends every playback into FOLDER/played.raw (raw samples, as the program queued them).
# Usage: playback-home.sh FOLDER
set -euo pipefail
mkdir -p "$1"
cat >"$1/.asoundrc" <<ASOUND
pcm.!default {
  type asym
  playback.pcm { type file; slave.pcm "null"; file "$1/played.raw"; format "raw" }
  capture.pcm "null"
}
ASOUND
