#!/bin/bash
# Makes the tagged files that the interoperability tests read, with Linux tools: an MP3 without tags, MP3s
# tagged by mutagen (ID3v2.3 UTF-16 with ID3v1, ID3v2.4 UTF-8 through mid3v2) and a FLAC file tagged by metaflac.
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=1" -ac 1 -ar 44100 -b:a 64k -map_metadata -1 \
  -id3v2_version 0 -write_id3v1 0 -write_xing 0 "$dir/plain.mp3"
cp "$dir/plain.mp3" "$dir/mutagen23.mp3"
cp "$dir/plain.mp3" "$dir/mid3v2.mp3"
/usr/bin/python3 - "$dir/mutagen23.mp3" <<'PY'
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TRCK, COMM, TCON, TYER, TXXX, TSOP
tags = ID3()
tags.add(TIT2(encoding=1, text="Gr\u00fc\u00dfe \u041c\u0438\u0440 \U0001F3B5"))
tags.add(TPE1(encoding=1, text="Bj\u00f6rk"))
tags.add(TALB(encoding=0, text="Plain Album"))
tags.add(TRCK(encoding=0, text="7/12"))
tags.add(TYER(encoding=0, text="1999"))
tags.add(TCON(encoding=0, text="(17)"))
tags.add(COMM(encoding=1, lang="eng", desc="", text="Caf\u00e9 note"))
tags.add(TXXX(encoding=1, desc="Mood", text="\u00e9nergie"))
tags.add(TSOP(encoding=1, text="Sort \u00dcnicode"))
tags.save(sys.argv[1], v2_version=3, v1=2)
PY
mid3v2 -t "Ünïcödé 漢字" -a "Ärtist" -A "Album" -T "3" "$dir/mid3v2.mp3"
sox -n -r 44100 -c 1 -b 16 "$dir/tone.wav" synth 0.5 sine 440
flac -s -f -o "$dir/tagged.flac" "$dir/tone.wav"
metaflac --set-tag="title=A" --set-tag="TITLE=B" --set-tag="ARTIST=Bj$(printf '\xc3\xb6')rk Мир" \
  --set-tag="TrackNumber=5" --set-tag="GENRE=Jazz" --set-tag="DATE=2004" --set-tag="COMMENT=ignored" \
  "$dir/tagged.flac"
rm "$dir/tone.wav"
