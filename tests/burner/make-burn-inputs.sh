#!/bin/bash
# A FLAC source for the burn job's tests, made by independent tools.
# Usage: make-burn-inputs.sh FOLDER
set -euo pipefail
rm -rf "$1"
mkdir -p "$1"
cd "$1"
sox -q -n -r 48000 -c 2 -b 16 tone.wav synth 3 sine 440 sine 660 vol 0.6
flac -s -f tone.wav -o tone.flac
rm tone.wav
