#!/bin/bash
# Speed and memory of the conversion engine against a bare encoder loop (same lame_enc.dll and libvorbis
# builds, no engine) and against the reference command-line tools (lame, oggenc, sox) doing the same work
# (old VBR is what the engine's VBR mode asks of the library, hence lame --vbr-old), on generated
# 44.1 kHz 16-bit stereo inputs of 10 and 60 minutes. Prints one table.
# Usage: bench/run-benchmarks.sh [--short]   (--short: the 10-minute input only)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
work=${TAVREL_BENCH_DIR:-$build/bench-work}
lengths=(10 60)
[ "${1:-}" = "--short" ] && lengths=(10)

for tool in lame oggenc sox /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-packages.sh" >&2; exit 1; }
done
[ -x "$build/bin/tavconv.exe" ] && [ -x "$build/bin/bare_encode.exe" ] || "$root/scripts/build.sh" >/dev/null
wine_run="$build/wine-run.sh"
mkdir -p "$work"
cd "$work"

# "stats: 4.776 s elapsed, peak working set 29.3 MB, peak private 12.9 MB" -> "4.776 12.9 29.3"
stats() { sed -n 's/^stats: \([0-9.]*\) s elapsed, peak working set \([0-9.]*\) MB, peak private \([0-9.]*\) MB.*/\1 \3 \2/p'; }
engine() {  # engine OUT.ext OPTIONS... ; prints "seconds private-MB working-set-MB"
  local out=$1; shift
  "$wine_run" "$build/bin/tavconv.exe" convert --overwrite --stats "$@" --scheme "<sourcedir>\\$out" "$input" | stats
}
bare() { "$wine_run" "$build/bin/bare_encode.exe" "$1" "$input" "$2" | stats; }
reference() {  # reference COMMAND... ; prints "seconds max-RSS-MB"
  if ! /usr/bin/time -f "%e %M" -o time.txt "$@" >/dev/null 2>reference.log; then
    echo "reference tool failed: $*" >&2
    cat reference.log >&2
  fi
  awk '{ printf "%s %.1f\n", $1, $2 / 1024 }' time.txt
}

rows=()
for minutes in "${lengths[@]}"; do
  input=in$minutes.wav
  seconds=$((minutes * 60))
  if [ ! -f "$input" ]; then
    echo "generating $input ..." >&2
    sox -R -n -r 44100 -b 16 -c 2 "$input" synth "$seconds" sine 110-1760 pinknoise vol 0.4
  fi
  run_row() {  # run_row NAME ENGINE-OUT "ENGINE OPTIONS" BARE-MODE REFERENCE-COMMAND...
    local name=$1 out=$2 options=$3 bare_mode=$4; shift 4
    echo "  $name, $minutes min ..." >&2
    local e_time=0 e_private=0 e_set=0
    read -r e_time e_private e_set < <(eval "engine \"\$out\" $options") || echo "engine run failed: $name" >&2
    local b_time=- b_private=-
    if [ "$bare_mode" != - ]; then read -r b_time b_private _ < <(bare "$bare_mode" "bare-$out") || true; fi
    local r_time=0 r_rss=0
    read -r r_time r_rss < <(reference "$@") || true
    rows+=("$name|$minutes|$e_time|$e_private|$e_set|$b_time|$r_time|$r_rss|$seconds")
  }
  run_row "WAV to WAV" o-wav.wav "--to Wave" - sox "$input" r-wav.wav
  run_row "WAV to WAV, trim+fades+normalise" o-two.wav "--to Wave --trim --fade-in 2000 --fade-out 2000 --normalize" - \
    sox "$input" r-two.wav fade 2 -0 2 silence 1 0.01 1% reverse silence 1 0.01 1% reverse norm
  run_row "WAV to MP3 ABR 128" o-abr.mp3 "--to MP3 --option vbr-mode=abr --option bitrate=128" mp3-abr128 \
    lame --quiet -q 5 --abr 128 "$input" r-abr.mp3
  run_row "WAV to MP3 VBR 70" o-vbr.mp3 "--to MP3 --option vbr-mode=vbr --option vbr-quality=70" mp3-vbr70 \
    lame --quiet -q 5 --vbr-old -V 3 "$input" r-vbr.mp3
  run_row "WAV to Ogg quality 40" o-ogg.ogg "--to 'Ogg Vorbis' --option quality=40" ogg-q40 \
    oggenc --quiet -q 4 -o r-ogg.ogg "$input"
  run_row "WAV to AIFF" o-aiff.aif "--to AIFF" - sox "$input" r-aiff.aiff
  rm -f o-* r-* bare-*
done

# Four 10-minute files to MP3, one job at a time and two at once.
mkdir -p jobs && for i in 1 2 3 4; do cp -f in10.wav "jobs/track$i.wav"; done
jobs_time() {
  local start end
  start=$(date +%s.%N)
  "$wine_run" "$build/bin/tavconv.exe" convert --to MP3 --overwrite --jobs "$1" --scheme 'jobs-out\<sourcename>' jobs >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}
echo "  jobs ..." >&2
one=$(jobs_time 1)
two=$(jobs_time 2)
rm -rf jobs jobs-out

printf '\n%-34s %5s %9s %9s %9s %9s %9s %8s %8s\n' "Operation" "Input" "engine" "peak MB" "bare" "reference" "ref MB" \
  "eng/bare" "eng/ref"
printf '%-34s %5s %9s %9s %9s %9s %9s %8s %8s\n' "" "(min)" "x-realt." "(private)" "x-realt." "x-realt." "(RSS)" "time" "time"
for row in "${rows[@]}"; do
  IFS='|' read -r name minutes e_time e_private e_set b_time r_time r_rss seconds <<<"$row"
  awk -v n="$name" -v m="$minutes" -v et="$e_time" -v ep="$e_private" -v bt="$b_time" -v rt="$r_time" -v rr="$r_rss" \
      -v s="$seconds" 'BEGIN {
    bare = bt == "-" ? "-" : sprintf("%.1f", s / bt); ratio = bt == "-" ? "-" : sprintf("%.3f", et / bt)
    printf "%-34s %5s %9.1f %9.1f %9s %9.1f %9.1f %8s %8.3f\n", n, m, s / et, ep, bare, s / rt, rr, ratio, et / rt }'
done
awk -v a="$one" -v b="$two" 'BEGIN { printf "\ntavconv --jobs 1 on four 10-minute files to MP3: %.2f s; --jobs 2: %.2f s; speed-up %.2fx\n", a, b, a / b }'
echo "engine = tavconv.exe under Wine; bare = bare_encode.exe under Wine (same encoder builds, no engine);"
echo "reference = lame / oggenc / sox natively on Linux; peak MB: the engine's peak private bytes, the tools' max RSS."
