#!/bin/bash
# Files written by the Ogg destination, as independent tools see them: validity, end of stream, channels,
# rate, length, and which channels carry sound.
# Usage: check-written.sh FOLDER
set -euo pipefail
cd "$1"
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $1: $2"; failures=$((failures + 1)); }

# The header flags of the last page: bit 2 marks the end of the stream.
last_page_flags() {
  python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); print(d[d.rfind(b"OggS") + 5])' "$1"
}

# file | channels | rate | seconds | channels with sound (1-based; "-" none)
while IFS='|' read -r file channels rate seconds loud; do
  if [ ! -f "$file" ]; then fail "$file" "missing"; continue; fi
  if ! report=$(ogginfo "$file" 2>&1) || grep -qiE 'warning|error' <<<"$report"; then
    fail "$file" "ogginfo: $report"; continue
  fi
  [ $(( $(last_page_flags "$file") & 4 )) -ne 0 ] || fail "$file" "the last page has no end-of-stream mark"
  read -r got_rate got_channels got_duration < <(ffprobe -v error -select_streams a:0 \
    -show_entries stream=sample_rate,channels:format=duration -of default=nw=1:nk=1 "$file" | paste -sd' ')
  [ "$got_channels" = "$channels" ] && [ "$got_rate" = "$rate" ] ||
    fail "$file" "ffprobe says $got_channels ch, $got_rate Hz; expected $channels ch, $rate Hz"
  oggdec -Q -o "$scratch/decoded.wav" "$file" || { fail "$file" "oggdec"; continue; }
  decoded_seconds=$(soxi -D "$scratch/decoded.wav")
  for got in "$got_duration" "$decoded_seconds"; do
    awk -v a="$got" -v b="$seconds" 'BEGIN { exit !(a - b < 0.001 && b - a < 0.001) }' ||
      fail "$file" "lasts $got s (ffprobe $got_duration, oggdec $decoded_seconds); expected $seconds s"
  done
  for channel in $(seq 1 "$channels"); do
    rms=$(sox "$scratch/decoded.wav" -n remix "$channel" stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    if [ "$loud" = "all" ] || [[ ",$loud," == *",$channel,"* ]]; then
      awk -v r="$rms" 'BEGIN { exit !(r > 0.1) }' || fail "$file" "channel $channel is quiet (RMS $rms)"
    else
      awk -v r="$rms" 'BEGIN { exit !(r < 0.002) }' || fail "$file" "channel $channel is not silent (RMS $rms)"
    fi
  done
  echo "ok: $file ($got_channels ch, $got_rate Hz, $got_duration s)"
done <<'LIST'
vbr-mono.ogg|1|44100|2.5|all
abr-stereo-8bit.ogg|2|22050|2.5|all
left-only.ogg|2|44100|2.0|1
silence-8bit.ogg|1|11025|1.5|-
four-channels.ogg|4|48000|2.0|4
Grüße ♪ テスト.ogg|2|44100|1.0|all
LIST
echo "$failures problems in the written files"
[ $failures -eq 0 ]
