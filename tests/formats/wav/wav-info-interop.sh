#!/bin/bash
# A WAV file tagged by ffmpeg, converted by tavconv to MP3, Ogg Vorbis and WAV: every output is named from the
# tag (<artist> - <title>) and carries it as mutagen, vorbiscomment and ffprobe read it; the WAV keeps its audio.
# Usage: wav-info-interop.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
has() { grep -qxF -- "$2" <<<"$1" || fail "$3 lacks '$2'"; }

title="Grüße Мир 🎵" artist="Björk 漢字"
sox -n -r 44100 -c 2 -b 16 tone.wav synth 1 sine 440
ffmpeg -v error -i tone.wav -c copy -metadata title="$title" -metadata artist="$artist" -metadata album="Альбом" \
  -metadata track=3/12 -metadata date=2004 -metadata genre=Jazz -metadata comment="Café" tagged.wav || fail ffmpeg
for format in MP3 "Ogg Vorbis" Wave; do
  "$run" "$exe" convert --to "$format" --scheme 'out\<artist> - <title>' tagged.wav >/dev/null 2>&1 ||
    fail "$format: conversion"
done
name="out/$artist - $title"

mp3=$(/usr/bin/python3 - "$name.mp3" <<'PY'
import sys
from mutagen.id3 import ID3
tags = ID3(sys.argv[1], translate=False)
for frame in ("TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON"):
    print(f"{frame}={tags.get(frame)}")
print("COMM=" + ";".join(str(c) for c in tags.getall("COMM")))
print("TSSE=" + str(tags.get("TSSE"))[:8])
PY
) || fail "MP3: mutagen cannot read $name.mp3"
for line in "TIT2=$title" "TPE1=$artist" "TALB=Альбом" "TRCK=3/12" "TYER=2004" "TCON=Jazz" "TSSE=Tavrel, "; do
  has "$mp3" "$line" "MP3 tag"
done
grep -q "^COMM=.*Café" <<<"$mp3" || fail "MP3 tag lacks the comment: $mp3"

ogg=$(vorbiscomment -l "$name.ogg") || fail "Ogg: vorbiscomment cannot read $name.ogg"
for line in "ENCODER=Tavrel" "TITLE=$title" "ARTIST=$artist" "ALBUM=Альбом" "TRACKNUMBER=3" "TRACKTOTAL=12" \
  "DATE=2004" "GENRE=Jazz" "COMMENT=Café"; do
  has "$ogg" "$line" "Ogg comments"
done

wav=$(ffprobe -v error -show_entries format_tags -of default=nw=1 "$name.wav" 2>&1)
for line in "TAG:title=$title" "TAG:artist=$artist" "TAG:album=Альбом" "TAG:track=3/12" "TAG:date=2004" \
  "TAG:genre=Jazz" "TAG:comment=Café" "TAG:encoder=Tavrel, PCM; auto detection"; do
  has "$wav" "$line" "WAV tags"
done
[ "$(ffmpeg -v error -i tagged.wav -f md5 -)" = "$(ffmpeg -v error -i "$name.wav" -f md5 -)" ] || fail "WAV: audio differs"

echo "$failures tag checks failed"
[ "$failures" -eq 0 ]
