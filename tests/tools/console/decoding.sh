#!/bin/bash
# The converter's readers end to end under Wine, on inputs made by independent tools (flac, lame, oggenc, sox,
# ffmpeg) and checked by them: lossless inputs come back sample for sample; lossy ones with their rate,
# channels, tones and levels, and their length within the codec's delay and padding. Where the platform has no
# decoder, the only acceptable answer is the refusal that says so, never a short or empty output reported as
# converted. Damaged inputs end, do not crash, stay as they were, and a failure names the file and the reason.
# Usage: decoding.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"
mkdir -p in ref signal out

seconds=2
# A tone per channel at half scale (0.354 RMS): 440 Hz alone; 440 Hz left and 1000 Hz right; in six channels, in
# WAVE order (front left, front right, centre, bass, back left, back right), one each, a bass tone for the bass.
tones() {
  case $1 in
    1) echo 440 ;;
    2) echo 440 1000 ;;
    6) echo 300 400 500 60 700 800 ;;
  esac
}
signal() {  # signal RATE CHANNELS [BITS]: the path of that tone as a WAV, made once
  local file="signal/$1-$2-${3:-16}.wav"
  if [ ! -f "$file" ]; then
    # shellcheck disable=SC2046
    sox -R -q -n -r "$1" -c "$2" -b "${3:-16}" "$file" synth "$seconds" \
      $(for f in $(tones "$2"); do echo sine "$f"; done) gain -6
  fi
  echo "$file"
}
encode() {  # encode TOOL SOURCE.wav OUTPUT [TOOL OPTIONS...]
  local tool=$1 source=$2 target=$3
  shift 3
  case $tool in
    flac) flac -s -f "$@" "$source" -o "$target" 2>/dev/null ;;
    lame) lame --quiet "$@" "$source" "$target" ;;
    oggenc) oggenc -Q "$@" -o "$target" "$source" ;;
    sox) sox -q "$source" "$@" "$target" ;;
    ffmpeg) ffmpeg -nostdin -v error -y -i "$source" "$@" "$target" ;;
    ffmpeg-video)
      ffmpeg -nostdin -v error -y -f lavfi -t "$seconds" -i testsrc=size=160x120:rate=10 -i "$source" "$@" "$target"
      ;;
  esac
}

# convert_to INPUT FORMAT EXTENSION [OPTIONS...]: converts as a user does; sets $status, $out and $output.
convert_to() {
  input=$1
  local format=$2 extension=$3 before base
  shift 3
  before=$(md5sum <"$input")
  base=$(basename "$input")
  output="out/${base%.*}.$extension"
  out=$(timeout -k 10 120 "$run" "$exe" convert --to "$format" --scheme 'out\<sourcename>' "$@" "$input" 2>&1 \
    </dev/null)
  status=$?
  case $status in
    124 | 137) fail "$base: no answer within 120 s" ;;
    5) fail "$base: the converter crashed" ;;
  esac
  expect_same "$base" "$input" "$before"
  [ -z "$(leftovers out)" ] || fail "$base: temporary output left: $(leftovers out)"
}
decode() { convert_to "$1" Wave wav; }
show() { sed 's/^/    /' <<<"$out"; }

# converted CASE: the run reports the file converted, and ffprobe finds audio in the output.
converted() {
  if [ "$status" -ne 0 ] || ! grep -qF "1 converted, 0 failed" <<<"$out" || [ ! -f "$output" ]; then
    fail "$1: not converted (exit status $status)"
    show
    return 1
  fi
  ffprobe -v error -show_entries stream=codec_type "$output" 2>/dev/null | grep -q audio ||
    { fail "$1: ffprobe finds no audio in $output"; return 1; }
}
# refused CASE REASON: a failure that names the input and gives REASON (an extended regular expression), no output.
refused() {
  local name=$1 reason=$2
  if [ "$status" -ne 1 ] || ! grep -F "$(basename "$input")" <<<"$out" | grep -q "FAILED"; then
    fail "$name: expected a failure naming the file (exit status $status)"
    show
  elif grep -qF "cannot be read yet" <<<"$out"; then
    fail "$name: no reader for the format"
    show
  elif ! grep -qE "error: .*($reason)" <<<"$out"; then
    fail "$name: the reason is not given ($reason)"
    show
  else
    echo "refused: $name: $(grep -m1 -oE "error: .*" <<<"$out" | cut -c8- | tr -d '\r')"
  fi
  [ ! -e "$output" ] || fail "$name: $output left"
}
# decoded CASE REFUSAL: true when converted; otherwise the failure must give REFUSAL ("-": no refusal is right).
decoded() {
  if [ "$status" -eq 0 ] || [ "$2" = - ]; then
    converted "$1"
    return
  fi
  refused "$1" "$2"
  return 1
}
frames() { soxi -s "$1"; }
expect_format() {  # expect_format CASE FILE RATE CHANNELS
  local found
  found="$(soxi -r "$2") Hz, $(soxi -c "$2") channels"
  [ "$found" = "$3 Hz, $4 channels" ] || fail "$1: $found, expected $3 Hz, $4 channels"
}
expect_length() {  # expect_length CASE FILE FRAMES FEWER MORE: between FRAMES - FEWER and FRAMES + MORE frames
  local found
  found=$(frames "$2")
  [ "$found" -ge $(($3 - $4)) ] && [ "$found" -le $(($3 + $5)) ] || fail "$1: $found frames, expected $3 (-$4, +$5)"
}
expect_tones() {  # expect_tones CASE FILE CHANNELS: each channel holds its own tone at the level it was made with
  local name=$1 file=$2 channel=0 frequency level rough
  for frequency in $(tones "$3"); do
    channel=$((channel + 1))
    read -r level rough < <(sox "$file" -n remix "$channel" stat 2>&1 |
      awk '/RMS +amplitude/ { l = $3 } /Rough +frequency/ { f = $3 } END { print l + 0, f + 0 }')
    awk -v l="$level" -v f="$rough" -v want="$frequency" \
      'BEGIN { exit !(l > 0.30 && l < 0.40 && f > want * 0.97 && f < want * 1.03) }' ||
      fail "$name: channel $channel holds $rough Hz at $level RMS, expected $frequency Hz at 0.354"
  done
}
expect_samples() {  # expect_samples CASE FILE REFERENCE: the same rate, channels and samples, whatever the width
  expect_format "$1" "$2" "$(soxi -r "$3")" "$(soxi -c "$3")"
  cmp -s <(sox "$2" -t s32 - 2>/dev/null) <(sox "$3" -t s32 - 2>/dev/null) || fail "$1: the samples differ from $3"
}

# What a reader says when the platform lacks the decoder, by reader: the graph of the DirectShow source, and the
# Windows Media reader, whose output then is no PCM, or which cannot open the file at all.
no_graph="Decoding filter for the file format was not installed[.!]"
no_wma_decoder="Audio format of WMA is invalid|Source file cannot be opened"

echo "== lossless inputs come back sample for sample"
# case                  rate  ch bits refusal     tool options
while read -r name rate channels bits refusal tool options; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  source_wav=$(signal "$rate" "$channels" "$bits")
  # shellcheck disable=SC2086
  encode "$tool" "$source_wav" "in/$name" $options
  case $name in
    *.flac) flac -s -d -f "in/$name" -o "ref/$name.wav" ;;
    *) sox -q "in/$name" "ref/$name.wav" ;;
  esac
  [ "$refusal" = installed ] && refusal=$no_graph
  [ "$refusal" = any ] && refusal=.
  decode "in/$name"
  decoded "$name" "$refusal" || continue
  expect_samples "$name" "$output" "ref/$name.wav"
done <<'TABLE'
flac-16-stereo.flac     44100 2  16   -         flac
flac-24-stereo.flac     48000 2  24   -         flac
flac-16-mono.flac       32000 1  16   -         flac
flac-24-mono-96k.flac   96000 1  24   -         flac
flac-24-5.1.flac        48000 6  24   any       flac
aiff-16.aif             44100 2  16   -         sox
aiff-24.aiff            48000 2  24   -         sox
aifc-little-endian.aifc 44100 2  16   -         ffmpeg -c:a pcm_s16le -f aiff
au-16.au                44100 2  16   installed sox
snd-mu-law.snd          8000  1  16   installed sox -e u-law
TABLE
# The channels of 5.1 stay in their places.
[ -f out/flac-24-5.1.wav ] && expect_tones "5.1 FLAC channel order" out/flac-24-5.1.wav 6

echo "== lossy inputs keep rate, channels, tones, levels and length"
# Lengths in frames: MP3 may keep the encoder's delay and padding (a few frames of 1152); AAC primes one frame of
# 1024 and pads the last; AC3 frames hold 1536, WMA frames 2048. Ogg Vorbis pages give the exact length, which the
# platform's time stamps (100 ns units) may round by one frame.
# case                  rate  ch fewer more refusal  tool    options
while read -r name rate channels fewer more refusal tool options; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  # shellcheck disable=SC2086
  encode "$tool" "$(signal "$rate" "$channels")" "in/$name" $options
  case $refusal in
    installed) refusal=$no_graph ;;
    wma) refusal=$no_wma_decoder ;;
    any) refusal=. ;;
  esac
  decode "in/$name"
  decoded "$name" "$refusal" || continue
  expect_format "$name" "$output" "$rate" "$channels"
  expect_length "$name" "$output" $((rate * seconds)) "$fewer" "$more"
  expect_tones "$name" "$output" "$channels"
done <<'TABLE'
mp3-cbr128-stereo.mp3   44100 2  1152  3456 -         lame   -b 128
mp3-cbr64-mono-32k.mp3  32000 1  1152  3456 -         lame   -b 64
mp3-cbr192-stereo-32k.mp3 32000 2 1152 3456 -         lame   -b 192
mp3-vbr-stereo-48k.mp3  48000 2  1152  3456 -         lame   -V 2
mp3-vbr-mono.mp3        44100 1  1152  3456 -         lame   -V 5
ogg-q3-stereo.ogg       44100 2  1     1    -         oggenc -q 3
ogg-q0-mono-32k.ogg     32000 1  1     1    -         oggenc -q 0
ogg-q6-stereo-48k.ogg   48000 2  1     1    -         oggenc -q 6
aac-in-m4a.m4a          44100 2  1024  3072 installed ffmpeg -c:a aac -b:a 128k
aac-adts.aac            44100 2  1024  3072 installed ffmpeg -c:a aac -b:a 128k -f adts
ac3-stereo.ac3          48000 2  1536  3072 installed ffmpeg -c:a ac3 -b:a 192k
ac3-5.1.ac3             48000 6  1536  3072 any       ffmpeg -c:a ac3 -b:a 448k
wma-v1.wma              44100 2  2048  4096 wma       ffmpeg -c:a wmav1 -b:a 128k
wma-v2.wma              44100 2  2048  4096 wma       ffmpeg -c:a wmav2 -b:a 128k
video-mp3-audio.avi     44100 2  1152  3456 installed ffmpeg-video -c:v mpeg4 -c:a libmp3lame -b:a 128k
video-aac-audio.mp4     44100 2  1024  3072 installed ffmpeg-video -c:v libx264 -preset ultrafast -c:a aac
TABLE

echo "== floating-point WAV becomes 24-bit PCM: clipped beyond full scale, NaN as silence"
python3 "$here/float-wav.py" make in
for file in in/float*.wav; do
  name=$(basename "$file")
  decode "$file"
  converted "$name" || continue
  [ "$(soxi -b "$output")" = 24 ] || fail "$name: $(soxi -b "$output")-bit output, expected 24-bit"
  problem=$(sox "$output" -t s32 - | python3 "$here/float-wav.py" check 2>&1) || fail "$name: $problem"
done

echo "== tags go along"
title="Grüße aus Köln" artist="Søren Ünal" album="Прогулка — live"
tags_of() {  # tags_of FILE: "title|artist|album" as mutagen reads them
  /usr/bin/python3 - "$1" <<'PY'
import sys, mutagen
tags = mutagen.File(sys.argv[1], easy=True)
print("|".join((tags.get(key) or [""])[0] if tags else "" for key in ("title", "artist", "album")))
PY
}
encode flac "$(signal 44100 2)" in/tagged-flac.flac -T "TITLE=$title" -T "ARTIST=$artist" -T "ALBUM=$album"
encode lame "$(signal 44100 2)" in/tagged-mp3.mp3 -b 128
/usr/bin/python3 - in/tagged-mp3.mp3 "$title" "$artist" "$album" <<'PY'
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB
tags = ID3()
for frame, text in zip((TIT2, TPE1, TALB), sys.argv[2:]):
    tags.add(frame(encoding=1, text=text))
tags.save(sys.argv[1], v2_version=3)
PY
for pair in "tagged-flac.flac MP3 mp3" "tagged-mp3.mp3 MP3 mp3" "tagged-mp3.mp3 Ogg_Vorbis ogg"; do
  read -r file format extension <<<"$pair"
  convert_to "in/$file" "${format/_/ }" "$extension"
  case="$file to $extension"
  converted "$case" || continue
  found=$(tags_of "$output")
  [ "$found" = "$title|$artist|$album" ] || fail "$case: tags '$found', expected '$title|$artist|$album'"
done

echo "== damaged input: the run ends, nothing crashes, the input stays, a failure says why"
half() { head -c "$(($(stat -c %s "$1") / 2))" "$1" >"$2"; }
half "in/flac-16-stereo.flac" in/truncated-flac.flac
half "in/mp3-cbr128-stereo.mp3" in/truncated-mp3.mp3
half "in/ogg-q3-stereo.ogg" in/truncated-ogg.ogg
cp in/mp3-cbr128-stereo.mp3 in/mp3-named-flac.flac
printf 'Track list\r\n1. Overture\r\n' >in/text-named-mp3.mp3
: >in/empty-mp3.mp3
: >in/empty-flac.flac
: >in/empty-ogg.ogg
ffmpeg -nostdin -v error -y -f lavfi -t "$seconds" -i testsrc=size=160x120:rate=10 -c:v mpeg4 in/no-audio-avi.avi
ffmpeg -nostdin -v error -y -f lavfi -t "$seconds" -i testsrc=size=160x120:rate=10 -c:v mpeg4 in/no-audio-mp4.mp4
# The header object's identifier, then its size beyond the end of the file.
cp in/wma-v2.wma in/wma-bad-header-id.wma
printf '\0\0\0\0\0\0\0\0' | dd of=in/wma-bad-header-id.wma bs=1 seek=0 conv=notrunc status=none
cp in/wma-v2.wma in/wma-bad-header-size.wma
printf '\377\377\377\377\377\377\0\0' | dd of=in/wma-bad-header-size.wma bs=1 seek=16 conv=notrunc status=none
# What may come of each: nothing ("none"); the whole audio (an intact stream under a wrong name or behind a
# header a reader may skip); or, from a truncated file, what it holds: less than the whole, and for FLAC the
# very samples of the beginning.
# case                   may give  whole frames  fewer more
while read -r name outcome frames_whole fewer more; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  decode "in/$name"
  if [ "$status" -ne 0 ] || [ "$outcome" = none ]; then
    refused "$name" "[A-Za-z]"
    continue
  fi
  converted "$name" || continue
  case $outcome in
    whole) expect_length "$name" "$output" "$frames_whole" "$fewer" "$more" ;;
    part)
      found=$(frames "$output")
      [ "$found" -gt 0 ] && [ "$found" -lt "$frames_whole" ] || fail "$name: $found frames from half a file"
      if [ "$name" = truncated-flac.flac ] && ! cmp -s -n $((found * 4)) <(sox "$output" -t s16 -) \
        <(sox ref/flac-16-stereo.flac.wav -t s16 -); then
        fail "$name: the frames converted differ from the beginning of the whole file"
      fi
      ;;
  esac
done <<'TABLE'
truncated-flac.flac      part   88200  0     0
truncated-mp3.mp3        part   88200  0     0
truncated-ogg.ogg        part   88200  0     0
mp3-named-flac.flac      whole  88200  1152  3456
text-named-mp3.mp3       none
empty-mp3.mp3            none
empty-flac.flac          none
empty-ogg.ogg            none
no-audio-avi.avi         none
no-audio-mp4.mp4         none
wma-bad-header-id.wma    none
wma-bad-header-size.wma  whole  88200  2048  4096
TABLE

echo "$failures checks failed"
[ "$failures" -eq 0 ]
