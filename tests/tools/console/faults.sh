#!/bin/bash
# The converter where users lost files or were told that broken output was fine, run under Wine as a user
# runs it: mistyped playlists, failing encoders over existing files, a killed conversion, a full disk,
# nothing to convert, damaged headers, bad option values, and more channels than an encoder takes.
# Usage: faults.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"
mkdir -p in out
check "sample 1" 0 sample in/song1.wav 2
check "sample 2" 0 sample in/song2.wav 2
song1=$(md5sum <in/song1.wav)

echo "== a mistyped playlist never costs an input"
check "playlist named like an input" 2 convert --to Wave --scheme 'out\p\<sourcename>' --playlist in/song1.wav in/song2.wav
expect_text "playlist named like an input" "The playlist must be an .m3u or .m3u8 file"
expect_same "playlist named like an input" in/song1.wav "$song1"
check "playlist .pls" 2 convert --to Wave --scheme 'out\p\<sourcename>' --playlist out/list.pls in/song2.wav
printf 'song1.wav\r\n' >in/list.m3u
list=$(md5sum <in/list.m3u)
check "playlist is the input" 2 convert --to Wave --scheme 'out\p\<sourcename>' --playlist in/list.m3u in/list.m3u
expect_text "playlist is the input" "also an input"
expect_same "playlist is the input" in/list.m3u "$list"
expect_absent "no conversion started" out/p
check "playlist in capitals" 0 convert --to Wave --scheme 'out\p\<sourcename>' --playlist out/p/LIST.M3U in/song2.wav
grep -q 'song2.wav' out/p/LIST.M3U || fail "playlist in capitals: out/p/LIST.M3U lacks the output"

echo "== an encoder that fails leaves the existing output as it was"
check "first output" 0 convert --to Wave --scheme 'out\o\<sourcename>' in/song1.wav
good=$(md5sum <out/o/song1.wav)
# The platform's Microsoft ADPCM codec here decodes only.
check "failing codec over it" 1 convert --to Wave --overwrite --option "wave-codec=Microsoft ADPCM" \
  --scheme 'out\o\<sourcename>' in/song1.wav
expect_same "failing codec over it" out/o/song1.wav "$good"
[ -z "$(leftovers out/o)" ] || fail "failing codec: temporary output left: $(leftovers out/o)"

echo "== a killed conversion leaves the old file and no temporary files behind"
check "long sample" 0 sample in/long.wav 600
mkdir -p out/k && cp in/song2.wav out/k/long.wav
before=$(md5sum <out/k/long.wav)
users=$(dirname "$run")/wine/prefix/drive_c/users
"$run" "$exe" convert --to Wave --overwrite --normalize --scheme 'out\k\<sourcename>' in/long.wav >/dev/null 2>&1 &
wrapper=$!  # the wrapper waits for the converter, which Wine's loader runs as the wrapper's child
for _ in $(seq 1 400); do [ -n "$(leftovers out/k)" ] && break; sleep 0.05; done
if [ -z "$(leftovers out/k)" ]; then
  fail "killed conversion: the conversion never started"
else
  converter=$(pgrep -P "$wrapper" | head -1)
  kill -9 "${converter:-$wrapper}"
  wait "$wrapper" 2>/dev/null
  sleep 1
  expect_same "killed conversion" out/k/long.wav "$before"
  [ -z "$(find "$users" -name 'ana*.tmp' 2>/dev/null)" ] || fail "killed conversion: the two-pass file is left"
  [ -n "$(leftovers out/k)" ] || fail "killed conversion: the temporary output vanished (the kill came too late?)"
  check "next run" 0 convert --to Wave --scheme 'out\k\<sourcename>' in/song2.wav
  [ -z "$(leftovers out/k)" ] || fail "next run: the killed run's temporary output is still there"
fi

echo "== a full disk is a failure, with nothing left on it"
if mkdir -p out/full && mount -t tmpfs -o size=128k tmpfs out/full 2>/dev/null; then
  # A minute of audio: 10 MB as Wave, about 1 MB as MP3 and 200 KB as Ogg Vorbis.
  check "sample 60 s" 0 sample in/minute.wav 60
  for format in Wave MP3 "Ogg Vorbis"; do
    check "full disk: $format" 1 convert --to "$format" --scheme 'out\full\<sourcename>' in/minute.wav
    expect_text "full disk: $format" "error"
    expect_text "full disk: $format" "0 converted, 1 failed"
    [ -z "$(ls -A out/full)" ] || fail "full disk: $format left $(ls -A out/full)"
  done
  umount out/full
else
  echo "skipped: a small file system cannot be mounted here"
fi

echo "== nothing to convert"
check "three seconds" 0 sample in/three.wav 3
check "range after the end" 1 convert --to Wave --range 5000- --scheme 'out\n\<sourcename>' in/three.wav
expect_text "range after the end" "Nothing to convert"
sox -q -n -r 44100 -c 2 -b 16 in/silent.wav trim 0 2
for format in Wave MP3; do
  check "silent, trimmed, $format" 1 convert --to "$format" --trim --scheme 'out\n\<sourcename>' in/silent.wav
  expect_text "silent, trimmed, $format" "Nothing to convert: the file is silent throughout"
done
expect_absent "nothing to convert" out/n/three.wav out/n/silent.wav out/n/silent.mp3
[ -z "$(leftovers out/n)" ] || fail "nothing to convert: temporary output left"

echo "== damaged headers are refused at once, sub-byte samples are read"
python3 "$here/damaged-headers.py" in/damaged
for file in in/damaged/*.wav; do
  name=$(basename "$file" .wav)
  case "$name" in
    ok-*)
      check "header $name" 0 convert --to Wave --scheme 'out\d\<sourcename>' "$file"
      soxi "out/d/$name.wav" >/dev/null 2>&1 || fail "header $name: sox cannot read the output"
      ;;
    *)
      check "header $name" 1 convert --to Wave --scheme 'out\d\<sourcename>' "$file"
      expect_text "header $name" "File format is invalid or corrupted"
      expect_absent "header $name" "out/d/$name.wav"
      ;;
  esac
done

echo "== every option value is checked"
check "ogg quality abc" 2 convert --to "Ogg Vorbis" --option quality=abc in/song1.wav
expect_text "ogg quality abc" "quality"
check "ogg quality-based maybe" 2 convert --to "Ogg Vorbis" --option quality-based=maybe in/song1.wav
expect_text "ogg quality-based maybe" "quality-based"
check "mp3 sample-rate 12345" 2 convert --to MP3 --option sample-rate=12345 in/song1.wav
expect_text "mp3 sample-rate 12345" "sample-rate"
check "mp3 bitrate 1000" 2 convert --to MP3 --option bitrate=1000 in/song1.wav
check "ogg good values" 0 convert --to "Ogg Vorbis" --option quality-based=no --option avg-bitrate=128 \
  --scheme 'out\v\<sourcename>' in/song1.wav

echo "== more channels than the encoder takes"
# Six channels at the levels 0.1 to 0.6, in WAVE order (front left, front right, centre, bass, back left, back
# right); the bass channel carries a bass tone, as the encoder expects there.
sox -q -n -r 44100 -b 16 -c 6 in/six.wav synth 3 sine 300 sine 400 sine 500 sine 60 sine 700 sine 800 \
  remix 1v0.1 2v0.2 3v0.3 4v0.4 5v0.5 6v0.6
check "six channels to MP3" 0 convert --to MP3 --scheme 'out\c\<sourcename>' in/six.wav
expect_text "six channels to MP3" "mixed down to stereo"
read -r channels seconds < <(ffprobe -v error -select_streams a:0 -show_entries stream=channels:format=duration \
  -of default=nw=1:nk=1 out/c/six.mp3 | paste -sd' ')
[ "$channels" = 2 ] || fail "six channels to MP3: $channels channels"
awk -v s="$seconds" 'BEGIN { exit !(s > 2.9 && s < 3.2) }' || fail "six channels to MP3: lasts $seconds s, not 3 s"
check "six channels to Ogg" 0 convert --to "Ogg Vorbis" --scheme 'out\c\<sourcename>' in/six.wav
ffmpeg -v error -y -i out/c/six.ogg -f wav out/c/six-decoded.wav
levels=""
for channel in 1 2 3 4 5 6; do
  levels="$levels $(sox out/c/six-decoded.wav -n remix $channel stat 2>&1 | awk '/RMS +amplitude/ {print $3 * 1.41421}')"
done
# Each channel keeps its level (the encoder is lossy: within 0.03). The bass channel is coded coarsely, and
# with the five others in place it cannot have changed places.
awk -v levels="$levels" 'BEGIN { n = split(levels, l, " "); if (n != 6) exit 1;
  for (i = 1; i <= 6; i++) if (i != 4 && (l[i] < i / 10 - 0.03 || l[i] > i / 10 + 0.03)) exit 1 }' ||
  fail "six channels to Ogg: the channels came back in another order or level:$levels"

echo "$failures checks failed"
[ "$failures" -eq 0 ]
