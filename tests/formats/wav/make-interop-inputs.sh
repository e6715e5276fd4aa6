#!/bin/bash
# WAV files made by independent tools, and what those tools decode them to, for the Windows tests to read.
# Usage: make-interop-inputs.sh FOLDER
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out"
cd "$out"
tone=(synth 1.5 sine 440 sine 660)

# name | sox output options | reference raw options (what sox decodes the file to)
while IFS='|' read -r name options reference; do
  # shellcheck disable=SC2086
  sox -q -n -r 22050 $options "$name.wav" "${tone[@]}" vol 0.7
  # shellcheck disable=SC2086
  sox -q "$name.wav" $reference "$name.raw"
done <<'LIST'
sox-pcm16-stereo|-c 2 -b 16 -e signed-integer|-t raw -e signed-integer -b 16
sox-pcm8-mono|-c 1 -b 8 -e unsigned-integer|-t raw -e unsigned-integer -b 8
sox-pcm24-stereo|-c 2 -b 24 -e signed-integer|-t raw -e signed-integer -b 24
sox-ima-adpcm|-c 1 -e ima-adpcm|-t raw -e signed-integer -b 16
sox-ms-adpcm|-c 2 -e ms-adpcm|-t raw -e signed-integer -b 16
sox-ulaw|-r 8000 -c 1 -e u-law|-t raw -e signed-integer -b 16
sox-alaw|-r 8000 -c 1 -e a-law|-t raw -e signed-integer -b 16
LIST

# ffmpeg puts a LIST chunk before "data"; 8-bit mono with an odd sample count gives an odd-sized data chunk
# (padded), and a chunk after "data" must be skipped.
ffmpeg -v error -f lavfi -i "sine=frequency=500:sample_rate=11025:duration=1.0001" -ac 1 -c:a pcm_u8 ffmpeg-u8-odd.wav
python3 - <<'PY'
import struct
data = open("ffmpeg-u8-odd.wav", "rb").read()
extra = b"cue " + struct.pack("<I", 4) + b"\0\0\0\0"
data = data + extra
data = data[:4] + struct.pack("<I", len(data) - 8) + data[8:]
open("ffmpeg-u8-odd.wav", "wb").write(data)
PY
sox -q ffmpeg-u8-odd.wav -t raw -e unsigned-integer -b 8 ffmpeg-u8-odd.raw
ffmpeg -v error -f lavfi -i "sine=frequency=300:sample_rate=16000:duration=0.75" -ac 2 -c:a pcm_s16le ffmpeg-s16-stereo.wav
sox -q ffmpeg-s16-stereo.wav -t raw -e signed-integer -b 16 ffmpeg-s16-stereo.raw

# Written to a pipe, where the sizes cannot be fixed at the end: sox leaves 0x7FFFF000, ffmpeg 0xFFFFFFFF.
sox -q -n -r 22050 -c 2 -b 16 -e signed-integer -t wav - "${tone[@]}" vol 0.7 | cat > sox-pipe.wav
sox -q sox-pipe.wav -t raw -e signed-integer -b 16 sox-pipe.raw
ffmpeg -v error -f lavfi -i "sine=frequency=300:sample_rate=16000:duration=0.75" -ac 2 -c:a pcm_s16le -f wav - |
  cat > ffmpeg-pipe.wav
ffmpeg -v error -f lavfi -i "sine=frequency=300:sample_rate=16000:duration=0.75" -ac 2 -f s16le ffmpeg-pipe.raw
