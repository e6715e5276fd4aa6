#!/bin/bash
# MP3 files made with the real encoder library, as ffprobe and mutagen see them: duration within the
# encoder's delay and padding, the mode and bit rate asked for, and the tag the conversion job wrote.
# Usage: mp3-interop.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
near() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { exit !(a - b <= d && b - a <= d) }'; }
probe() { ffprobe -v error -show_entries "$2" -of default=nw=1:nk=1 "$1" | head -n 1; }

"$run" "$exe" sample stereo.wav 6 >/dev/null || fail "sample"
sox -q stereo.wav -c 1 mono.wav
sox -q stereo.wav -b 8 eight.wav
sox -q stereo.wav -b 24 deep.wav

# file | tavconv options | expected bit rate (CBR) or empty | channels
while IFS='|' read -r name options rate channels; do
  # The converter's own words stay with the failure: a rare one must say what went wrong.
  # shellcheck disable=SC2086
  log=$("$run" "$exe" convert --to MP3 --overwrite $options --scheme "<sourcedir>\\$name" "${name%%-*}.wav" 2>&1)
  status=$?
  if [ "$status" -ne 0 ]; then
    fail "$name: conversion failed (exit status $status)"
    sed 's/^/    /' <<<"$log"
    continue
  fi
  file=$name.mp3
  before=$failures
  [ "$(probe "$file" stream=codec_name)" = mp3 ] || fail "$name: not MP3"
  [ "$(probe "$file" stream=channels)" = "$channels" ] || fail "$name: channels $(probe "$file" stream=channels)"
  duration=$(probe "$file" format=duration)
  near "$duration" 6.0 0.08 || fail "$name: lasts $duration s, expected 6 s"
  if [ -n "$rate" ]; then
    got=$(probe "$file" stream=bit_rate)
    [ "$got" = "$rate" ] || fail "$name: bit rate $got, expected $rate"
  fi
  tsse=$(/usr/bin/python3 -c "import mutagen.id3,sys; t=mutagen.id3.ID3(sys.argv[1]); print(t['TSSE'].text[0])" "$file" 2>/dev/null)
  [[ "$tsse" == "Tavrel, "* ]] || fail "$name: TSSE is '$tsse'"
  [ "$failures" -eq "$before" ] && echo "ok: $name ($duration s, ${rate:-variable} bit/s, TSSE '$tsse')"
done <<'LIST'
stereo-cbr192|--option vbr-mode=cbr --option bitrate=192||2
stereo-abr|--option vbr-mode=abr --option bitrate=128||2
stereo-vbr70|--option vbr-mode=vbr --option vbr-quality=70||2
mono-cbr64|--option vbr-mode=cbr --option bitrate=64|64000|1
eight-cbr128|--option vbr-mode=cbr --option bitrate=128|128000|2
deep-cbr192|--option vbr-mode=cbr --option bitrate=192|192000|2
LIST
tsse=$(/usr/bin/python3 -c "import mutagen.id3,sys; print(mutagen.id3.ID3(sys.argv[1])['TSSE'].text[0])" stereo-cbr192.mp3 2>/dev/null)
[ "$tsse" = "Tavrel, CBR 192 kbps" ] || fail "TSSE of the CBR file is '$tsse'"
# A VBR file carries its frame count up front (the VBR header), so its length is known without scanning.
grep -qa -e Xing -e Info stereo-vbr70.mp3 || fail "stereo-vbr70: no VBR header"

echo "$failures MP3 checks failed"
[ "$failures" -eq 0 ]
