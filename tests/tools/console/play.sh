#!/bin/bash
# tavconv play end to end: what reaches the sound device (ALSA writes it into a file of the test's home) equals
# the decoded samples of WAV files of several widths, rates and channel counts, a FLAC and an MP3 file; files
# that cannot be played are named with the reason.
# Usage: play.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work/home" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"
"$here/../../playback/playback-home.sh" "$work/home"
export TAVREL_WINE_HOME="$work/home"
win() { echo "Z:$(echo "$work/$1" | tr / '\\')"; }
data_of() {  # data_of FILE.wav: the bytes of its data chunk
  python3 - "$1" <<'PY'
import struct, sys
w = open(sys.argv[1], 'rb').read()
i = 12
while i + 8 <= len(w):
    c, n = w[i:i + 4], struct.unpack('<I', w[i + 4:i + 8])[0]
    if c == b'data':
        sys.stdout.buffer.write(w[i + 8:i + 8 + n])
    i += 8 + n + (n & 1)
PY
}
played_matches() {  # played_matches NAME EXPECTED_RAW
  if ! cmp -s "$work/home/played.raw" "$2"; then
    fail "$1: the device got $(stat -c %s "$work/home/played.raw" 2>/dev/null || echo no) bytes, not the $(stat -c %s "$2") expected"
  fi
}

sox -R -n -r 44100 -c 2 -b 16 s16.wav synth 2 sine 440 sine 1000 gain -6
sox -R -n -r 48000 -c 1 -b 8 u8.wav synth 1.5 sine 300 gain -6
sox -R -n -r 44100 -c 2 -b 24 s24.wav synth 1 sine 500 gain -6
sox -R -n -r 48000 -c 1 -b 16 m48.wav synth 1 sine 700 gain -6
flac -s -f s16.wav -o s16.flac
lame --quiet s16.wav s16.mp3
for f in s16 u8 s24 m48; do
  rm -f home/played.raw
  check "play $f.wav" 0 play "$(win $f.wav)"
  expect_text "the position of $f.wav" "Played $(win $f.wav)  00:0"
  data_of $f.wav >expected.raw
  played_matches "$f.wav" expected.raw
done
rm -f home/played.raw
check "play a FLAC file" 0 play "$(win s16.flac)"
data_of s16.wav >expected.raw
played_matches "s16.flac" expected.raw
# The MP3 decoder's samples, as the converter writes them.
check "decode the MP3 file" 0 convert --to wav -o "$(win mp3.wav)" "$(win s16.mp3)"
data_of mp3.wav >expected.raw
rm -f home/played.raw
check "play an MP3 file" 0 play "$(win s16.mp3)"
played_matches "s16.mp3" expected.raw

head -c 3000 /dev/urandom >damaged.wav
check "a damaged file is named" 1 play "$(win damaged.wav)"
expect_text "the reason" "damaged.wav: the file cannot be read"
check "a missing file is named" 1 play "$(win none.flac)"
expect_text "the missing file" "none.flac: the file cannot be read"
check "play without files" 2 play

[ "$failures" -eq 0 ] || exit 1
echo "all playback checks passed"
