#!/bin/bash
# Runs the MP3 interoperability inputs through the converter again and again, with one job and with two, and
# keeps the converter's output of every run that fails: the way a rare failure is caught.
# Usage: scripts/repeat-mp3-conversions.sh [RUNS] (default 300); prints "N runs, F failures", failures.log beside.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
work=${TAVREL_BENCH_DIR:-$build/bench-work}/mp3-repeat
runs=${1:-300}
run=$build/wine-run.sh exe=$build/bin/tavconv.exe
mkdir -p "$work" && cd "$work" || exit 1
rm -f failures.log
"$run" "$exe" sample stereo.wav 6 >/dev/null
sox -q stereo.wav -c 1 mono.wav
sox -q stereo.wav -b 8 eight.wav
sox -q stereo.wav -b 24 deep.wav
failures=0
for i in $(seq 1 "$runs"); do
  for jobs in 1 2; do
    out=$(timeout 120 "$run" "$exe" convert --to MP3 --overwrite --jobs "$jobs" --option vbr-mode=cbr \
      --option bitrate=128 --scheme "<sourcedir>\\<sourcename>-j$jobs" eight.wav stereo.wav mono.wav deep.wav 2>&1)
    status=$?
    if [ "$status" -ne 0 ]; then
      failures=$((failures + 1))
      printf '=== run %d, %d jobs, status %d\n%s\n' "$i" "$jobs" "$status" "$out" >>failures.log
    fi
  done
done
echo "$runs runs, $failures failures"
[ "$failures" -eq 0 ]
