#!/bin/bash
# Files made by independent tools for the decoding tests, with the samples those tools decode them to.
# Usage: make-inputs.sh FOLDER
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# FLAC made and decoded by the flac tools: the reference raw data is exactly what `flac -d` gives.
sox -q -n -r 44100 -c 2 -b 16 tone16.wav synth 2 sine 440 sine 660 vol 0.6
sox -q -n -r 48000 -c 1 -b 24 tone24.wav synth 1.5 sine 300 vol 0.8
sox -q -n -r 48000 -c 6 -b 16 six.wav synth 1 sine 200 sine 300 sine 400 sine 500 sine 600 sine 700 vol 0.5
for name in tone16 tone24 six; do
  flac -s -f "$name.wav" -o "$name.flac"
  flac -s -f -d --force-raw-format --endian=little --sign=signed "$name.flac" -o "$name.raw"
done
metaflac --set-tag=TITLE="Probe Title" --set-tag=ARTIST="Probe Artist" tone16.flac

# AIFF made by sox; its samples as little-endian raw data.
sox -q -n -r 22050 -c 2 -b 16 tone.aiff synth 1 sine 500 vol 0.5
sox -q tone.aiff -t raw -e signed-integer -b 16 -L tone-aiff.raw

# The same two seconds as AIFF, which the platform's graph decodes, and as Ogg Vorbis.
sox -q tone16.wav tone2.aiff
oggenc -Q tone16.wav -o tone.ogg

# MP3 and Windows Media made by lame and ffmpeg; their lengths are checked against the source's.
lame --quiet -b 128 tone16.wav tone.mp3
ffmpeg -nostdin -loglevel error -y -i tone16.wav -c:a wmav2 -b:a 128k tone.wma

# A format no decoder of the test machine handles (RealAudio 1.0), and files that are not what they claim.
ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=8000:duration=1 -c:a real_144 tone.ra
printf 'This is not audio at all, just a text file someone renamed.\n' > text.flac
cp text.flac text.wma
: > empty.flac
head -c 2000 tone.wma > damaged.wma
