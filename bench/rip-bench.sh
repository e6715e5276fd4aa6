#!/bin/bash
# Ripping through the virtual CD drive: a 60-minute disc image of twelve 5-minute tracks ripped to WAV by tavconv
# (one job: a drive reads one place at a time), and an image of one 60-minute track, whose peak memory should
# equal the 5-minute tracks'. Beside each, sox reads the same BIN file as raw audio and writes WAV. The images
# are made by sox (a sweep over pink noise). Prints one table.
# Usage: bench/rip-bench.sh [--quick]    --quick: a tenth of every length, to try it out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
work=${TAVREL_BENCH_DIR:-$build/bench-work}/rip
scale=1
case ${1:-} in
  --quick) scale=0.1 ;;
  "") ;;
  *) sed -n 's/^# \(Usage\)/\1/p' "$0" >&2; exit 2 ;;
esac
for tool in sox python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-packages.sh" >&2; exit 1; }
done
[ -x "$build/bin/tavconv.exe" ] && [ -f "$build/bin/WNASPI32.DLL" ] || "$root/scripts/build.sh" >/dev/null
wine_run="$build/wine-run.sh"
tavconv="$build/bin/tavconv.exe"
mkdir -p "$work"
cd "$work"
prefix="$(sed -n "s/^root='\(.*\)'$/\1/p" "$wine_run")/prefix"
"$wine_run" "$tavconv" --help >/dev/null 2>&1 </dev/null || true  # starts the Wine server: not measured

# image NAME TRACKS SECONDS: a BIN of whole sectors, its CUE sheet and the ".cda" files of its tracks in NAME/cd.
image() {
  local name=$1 tracks=$2 seconds=$3
  [ -f "$name/disc.cue" ] && return
  echo "generating the $name image ..." >&2
  mkdir -p "$name/cd"
  local sectors
  sectors=$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 75 }')
  sox -R -n -r 44100 -b 16 -c 2 -e signed-integer -L -t raw "$name/disc.bin" \
    synth "$((seconds * tracks))" sine 110-1760 pinknoise vol 0.4
  python3 - "$name" "$tracks" "$sectors" <<'PY'
import struct, sys
name, tracks, sectors = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
msf = lambda f: (f // 4500, f // 75 % 60, f % 75)
pack = lambda f: msf(f)[0] << 16 | msf(f)[1] << 8 | msf(f)[2]
serial = sum(pack(n * sectors + 150) for n in range(tracks)) & 0xFFFFFFFF
with open(name + '/disc.cue', 'w') as cue:
    cue.write('FILE "disc.bin" BINARY\n')
    for n in range(tracks):
        cue.write('  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' % ((n + 1,) + msf(n * sectors)))
        start = n * sectors
        fmt = struct.pack('<HHIIIII', 1, n + 1, serial, start, sectors, pack(start + 150), pack(sectors))
        body = b'CDDAfmt ' + struct.pack('<I', len(fmt)) + fmt
        open('%s/cd/Track%02d.cda' % (name, n + 1), 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
PY
}

# measure LOG COMMAND...: "wall-seconds max-RSS-MB" of one run.
measure() {
  local log=$1
  shift
  /usr/bin/time -f "%e %M" -o time.txt "$@" >"$log" 2>&1 </dev/null || { echo "failed: $*" >&2; tail -n 5 "$log" >&2; }
  awk '{ printf "%s %.1f\n", $1, $2 / 1024 }' time.txt
}

rows=()
rip() {  # rip NAME TRACKS SECONDS-PER-TRACK
  local name=$1 tracks=$2 seconds=$3 inputs=() total engine reference
  image "$name" "$tracks" "$seconds"
  ln -sfn "$work/$name/cd" "$prefix/dosdevices/d:"
  for n in $(seq -f %02g 1 "$tracks"); do inputs+=("D:\\Track$n.cda"); done
  rm -rf out
  echo "  ripping $name ..." >&2
  TAVREL_CD_IMAGE="Z:$(echo "$work/$name/disc.cue" | tr / '\\')"
  export TAVREL_CD_IMAGE
  engine=$(measure tavconv.log "$wine_run" "$tavconv" convert --to Wave --jobs 1 --scheme 'out\<sourcename>' "${inputs[@]}")
  grep -q "$tracks converted, 0 failed" tavconv.log || { echo "the rip of $name failed:" >&2; tail tavconv.log >&2; }
  total=$(awk -v s="$seconds" -v t="$tracks" 'BEGIN { printf "%d", s * t }')
  [ "$(cat out/*.wav | wc -c)" -ge $((total * 176400)) ] || echo "the rip of $name is short" >&2
  rm -rf out
  reference=$(measure sox.log sox -t raw -r 44100 -b 16 -c 2 -e signed-integer -L "$name/disc.bin" ref.wav)
  rm -f ref.wav
  rows+=("$name, $tracks x $(awk -v s="$seconds" 'BEGIN { printf "%g", s / 60 }') min|$total|$engine|$reference")
}
trap 'rm -f "$prefix/dosdevices/d:"' EXIT
rip disc12 12 "$(awk -v s="$scale" 'BEGIN { printf "%d", 300 * s }')"
rip track60 1 "$(awk -v s="$scale" 'BEGIN { printf "%d", 3600 * s }')"

printf '\n%-22s %6s %9s %8s  %9s %8s %9s\n' "Image" "Input" "tavconv" "tavconv" "sox raw" "sox" "tavconv/"
printf '%-22s %6s %9s %8s  %9s %8s %9s\n' "" "(min)" "x-realt." "peak MB" "x-realt." "peak MB" "sox time"
for entry in "${rows[@]}"; do
  IFS='|' read -r label seconds engine reference <<<"$entry"
  read -r e_time e_mb <<<"$engine"
  read -r r_time r_mb <<<"$reference"
  awk -v l="$label" -v s="$seconds" -v et="$e_time" -v em="$e_mb" -v rt="$r_time" -v rm="$r_mb" 'BEGIN {
    printf "%-22s %6.1f %9.0f %8.1f  %9.0f %8.1f %9.2f\n", l, s / 60, s / (et > 0 ? et : 0.01), em,
      s / (rt > 0 ? rt : 0.01), rm, et / (rt > 0 ? rt : 0.01) }'
done
