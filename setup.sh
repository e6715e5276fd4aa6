#!/bin/bash
# Quick start, step 1: set up this machine, build everything, and run the main job on an embedded default:
# the converter writes its built-in sample recording and converts it (trimmed, normalised, IMA ADPCM).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
run() { "$build/wine-run.sh" "$build/bin/tavconv.exe" "$@"; }
sample=$build/sample
mkdir -p "$sample"
cd "$sample"
echo
echo "== tavconv formats =="
run formats
echo
echo "== tavconv sample sample.wav, then convert it =="
run sample sample.wav 5
run convert --to Wave --option "wave-codec=IMA ADPCM" --trim --normalize --fade-out 500 --overwrite \
  --scheme '<sourcedir>\<sourcename>-ima' sample.wav
echo
echo "Produced $sample/sample-ima.wav:"
if command -v soxi >/dev/null; then soxi sample-ima.wav; else ls -l sample-ima.wav; fi
