#!/bin/bash
# Sources for the burner's tests, made by independent tools: a tagged 48 kHz FLAC, the round trip's four
# CD-format files (WAV, MP3, FLAC, Ogg), each its own sound and a length that is not a whole number of sectors,
# and MP3s with track numbers.
# Usage: make-burn-inputs.sh FOLDER
set -euo pipefail
rm -rf "$1"
mkdir -p "$1"
cd "$1"
sox -q -n -r 48000 -c 2 -b 16 tone.wav synth 3 sine 440 sine 660 vol 0.6
flac -s -f -T "TITLE=Тон Ля" -T "ARTIST=Tavrel Tests" -T "TRACKNUMBER=7" tone.wav -o tone.flac
rm tone.wav

cd_audio() { sox -q -n -r 44100 -c 2 -b 16 "$@"; }
cd_audio rt-wav.wav synth 2.3 sine 300 sine 310 vol 0.5
cd_audio rt-mp3.wav synth 2.7 sine 520 sine 700 vol 0.5
cd_audio rt-flac.wav synth 1.9 square 180 sine 90 vol 0.3
cd_audio rt-ogg.wav synth 2.1 triangle 250 sine 1250 vol 0.4
lame --quiet -b 192 rt-mp3.wav rt.mp3
flac -s -f rt-flac.wav -o rt.flac
oggenc -Q -q 5 rt-ogg.wav -o rt.ogg
rm rt-mp3.wav rt-flac.wav rt-ogg.wav

# MP3s with track numbers (a gap and a repeated one) for ordering the burner's list.
cd_audio numbered.wav synth 0.5 sine 440 vol 0.3
for name_number in a:7 c:1 d:5 e:1; do
  lame --quiet --tn "${name_number#*:}" numbered.wav "track ${name_number%:*}.mp3"
done
lame --quiet numbered.wav "track b.mp3"
rm numbered.wav
