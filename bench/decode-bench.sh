#!/bin/bash
# Speed and memory of the converter's readers against native decoders doing the same work in the same run: a
# 10-minute FLAC and MP3 decoded to WAV by tavconv and by flac -d and ffmpeg; FLAC decodes of 10 and 60 minutes,
# whose peak memory should not grow with the length; and a batch of twenty 3-minute FLAC files to MP3 ABR 128,
# tavconv with two jobs against ffmpeg (libmp3lame, the same LAME mode and quality) two at a time through xargs.
# Inputs are made by flac and lame from a generated 44.1 kHz 16-bit stereo signal. Prints one table.
# Usage: bench/decode-bench.sh [--short | --quick]
#   --short: without the 60-minute decode; --quick: a tenth of every length and four batch files, to try it out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
work=${TAVREL_BENCH_DIR:-$build/bench-work}/decode
scale=1 batch_files=20 long=60
case ${1:-} in
  --short) long="" ;;
  --quick) scale=0.1 batch_files=4 long="" ;;
  "") ;;
  *) sed -n 's/^# \(Usage\|  --\)/\1/p' "$0" | sed 's/^--/  --/' >&2; exit 2 ;;
esac

for tool in flac lame sox ffmpeg xargs /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-packages.sh" >&2; exit 1; }
done
[ -x "$build/bin/tavconv.exe" ] || "$root/scripts/build.sh" >/dev/null
wine_run="$build/wine-run.sh"
tavconv="$build/bin/tavconv.exe"
mkdir -p "$work"
cd "$work"
seconds_of() { awk -v m="$1" -v s="$scale" 'BEGIN { printf "%d", m * 60 * s }'; }

# measure LOG COMMAND...: runs it once; prints "wall-seconds max-RSS-MB" (RSS of the largest process, Wine's
# included: the converter's own count leaves out what the platform's decoders allocate outside it).
measure() {
  local log=$1
  shift
  if ! /usr/bin/time -f "%e %M" -o time.txt "$@" >"$log" 2>&1 </dev/null; then
    echo "failed: $*" >&2
    tail -n 5 "$log" >&2
  fi
  awk '{ printf "%s %.1f\n", $1, $2 / 1024 }' time.txt
}
signal() {  # signal FILE SECONDS: a sweep over pink noise
  sox -R -n -r 44100 -b 16 -c 2 "$1" synth "$2" sine 110-1760 pinknoise vol 0.4
}
flac_input() {  # flac_input MINUTES: the FLAC input of that length, made once
  local file=in$1.flac seconds
  if [ ! -f "$file" ]; then
    seconds=$(seconds_of "$1")
    echo "generating $file ..." >&2
    signal signal.wav "$seconds"
    flac -s -f signal.wav -o "$file"
    rm -f signal.wav
  fi
  echo "$file"
}

# The first program under a fresh Wine server also starts the server: not part of any figure.
"$wine_run" "$tavconv" --help >/dev/null 2>&1 </dev/null || true
rows=()
row() {  # row OPERATION INPUT-SECONDS "T-TIME T-MB" REFERENCE "R-TIME R-MB"
  rows+=("$1|$2|$3|$4|$5")
}
tavconv_run() {  # tavconv_run INPUT SECONDS OPTIONS...: "seconds MB" of one conversion to WAV in out/
  local input=$1 seconds=$2 output
  shift 2
  measure tavconv.log "$wine_run" "$tavconv" convert --overwrite "$@" --scheme 'out\<sourcename>' "$input"
  grep -q "1 converted, 0 failed" tavconv.log || { echo "tavconv did not convert $input:" >&2; cat tavconv.log >&2; }
  # A short output would only look fast.
  output="out/$(basename "${input%.*}").wav"
  awk -v d="$(soxi -D "$output" 2>/dev/null)" -v s="$seconds" 'BEGIN { exit !(d >= s - 0.1) }' ||
    echo "tavconv's output of $input is short: $(soxi -D "$output" 2>/dev/null) s of $seconds s" >&2
  rm -rf out
}

# Decodes to WAV.
for minutes in 10 $long; do
  input=$(flac_input "$minutes")
  seconds=$(seconds_of "$minutes")
  echo "  FLAC to WAV, $minutes min ..." >&2
  engine=$(tavconv_run "$input" "$seconds" --to Wave)
  row "FLAC to WAV" "$seconds" "$engine" "flac -d" "$(measure ref.log flac -d -s -f -o ref.wav "$input")"
  rm -f ref.wav
  if [ "$minutes" = 10 ]; then
    row "FLAC to WAV" "$seconds" "$engine" "ffmpeg" "$(measure ref.log ffmpeg -nostdin -v error -y -i "$input" ref.wav)"
    rm -f ref.wav
  fi
done
if [ ! -f in10.mp3 ]; then
  echo "generating in10.mp3 ..." >&2
  flac -s -d -f -o signal.wav in10.flac
  lame --quiet -V 2 signal.wav in10.mp3
  rm -f signal.wav
fi
echo "  MP3 to WAV, 10 min ..." >&2
engine=$(tavconv_run in10.mp3 "$(seconds_of 10)" --to Wave)
row "MP3 to WAV" "$(seconds_of 10)" "$engine" "ffmpeg" \
  "$(measure ref.log ffmpeg -nostdin -v error -y -i in10.mp3 ref.wav)"
rm -f ref.wav

# The batch: one 3-minute FLAC under twenty names.
echo "  batch of $batch_files FLAC files to MP3 ..." >&2
rm -rf batch batch-out batch-ref && mkdir -p batch batch-ref
signal signal.wav "$(seconds_of 3)"
flac -s -f signal.wav -o batch/track01.flac
rm -f signal.wav
for i in $(seq -w 2 "$batch_files"); do cp batch/track01.flac "batch/track$i.flac"; done
engine=$(measure tavconv.log "$wine_run" "$tavconv" convert --to MP3 --jobs 2 --overwrite --option vbr-mode=abr \
  --option bitrate=128 --scheme 'batch-out\<sourcename>' batch)
grep -q "$batch_files converted, 0 failed" tavconv.log || { echo "tavconv batch failed:" >&2; cat tavconv.log >&2; }
# Each ffmpeg's own peak, the largest of them; the time of the whole batch.
rm -f ffmpeg-rss.txt
start=$(date +%s.%N)
(cd batch && printf '%s\0' *.flac | xargs -0 -P2 -I{} /usr/bin/time -a -o ../ffmpeg-rss.txt -f "%M" \
  ffmpeg -nostdin -v error -y -i {} -c:a libmp3lame -abr 1 -b:a 128k -compression_level 5 -joint_stereo 1 \
  "../batch-ref/{}.mp3") || echo "ffmpeg batch failed" >&2
end=$(date +%s.%N)
reference=$(awk -v a="$start" -v b="$end" '{ if ($1 > m) m = $1 } END { printf "%.2f %.1f\n", b - a, m / 1024 }' \
  ffmpeg-rss.txt)
row "$batch_files FLAC files to MP3, 2 at once" "$(seconds_of $((batch_files * 3)))" "$engine" "ffmpeg, xargs -P2" \
  "$reference"
rm -rf batch batch-out batch-ref

printf '\n%-32s %6s %9s %8s  %-18s %9s %8s %9s\n' "Operation" "Input" "tavconv" "tavconv" "Reference" "reference" \
  "ref." "tavconv/"
printf '%-32s %6s %9s %8s  %-18s %9s %8s %9s\n' "" "(min)" "x-realt." "peak MB" "" "x-realt." "peak MB" "ref. time"
for entry in "${rows[@]}"; do
  IFS='|' read -r operation seconds engine reference measured <<<"$entry"
  read -r e_time e_mb <<<"$engine"
  read -r r_time r_mb <<<"$measured"
  awk -v o="$operation" -v s="$seconds" -v et="$e_time" -v em="$e_mb" -v r="$reference" \
    -v rt="$r_time" -v rm="$r_mb" 'BEGIN {
    printf "%-32s %6.1f %9.1f %8.1f  %-18s %9.1f %8.1f %9.2f\n", o, s / 60, s / et, em, r, s / rt, rm, et / rt }'
done
echo "tavconv = tavconv.exe under Wine with the readers of this build; reference = native Linux tools."
echo "Times are wall-clock; peak MB is the largest resident set of the process (Wine's included)."
