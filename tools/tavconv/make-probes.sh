#!/bin/bash
# Makes the tiny sample files with which "tavconv formats" checks what this machine decodes, and the resource
# script that embeds them. Without ffmpeg the script is empty and no format is checked by decoding.
# Usage: make-probes.sh OUTPUT_FOLDER
set -euo pipefail
out=$1
mkdir -p "$out"
script=$out/probes.rc
: > "$script.new"
if command -v ffmpeg >/dev/null; then
  tone=(-f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.3)
  while read -r ext options; do
    file=$out/probe.$ext
    # shellcheck disable=SC2086
    if ffmpeg -nostdin -loglevel error -y "${tone[@]}" $options -fflags +bitexact -map_metadata -1 "$file"; then
      echo "PROBE_${ext^^} RCDATA \"$file\"" >> "$script.new"
    fi
  done <<'LIST'
mp3 -c:a libmp3lame
m4a -c:a aac
avi -c:a libmp3lame
au -c:a pcm_s16be
wma -c:a wmav2
aiff -c:a pcm_s16be
ogg -c:a libvorbis
aac -c:a aac
ac3 -c:a ac3 -ar 48000
flac -c:a flac
ra -c:a real_144
LIST
fi
# Rewritten only when it changed, so that the program is not relinked for nothing.
if cmp -s "$script.new" "$script"; then rm "$script.new"; else mv "$script.new" "$script"; fi
