#!/bin/bash
# Tagged files for the metadata list view tests, made with Linux tools: three MP3s that agree on some frames and
# differ on others (one with two comments, a copyright in only two of them), a copy of each to compare the audio
# with afterwards, a FLAC file, and 200 tagged MP3s for the loading benchmark.
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir/many"
ffmpeg -v error -f lavfi -i "sine=frequency=660:duration=1" -ac 1 -ar 44100 -b:a 64k -map_metadata -1 \
  -id3v2_version 0 -write_id3v1 0 -write_xing 0 "$dir/plain.mp3"
for name in one two three; do cp "$dir/plain.mp3" "$dir/$name.mp3"; done
/usr/bin/python3 - "$dir" <<'PY'
import os, shutil, sys
from mutagen.id3 import ID3, TIT2, TPE1, TYER, COMM, TCOP
d = sys.argv[1]
artists = {"one": "Artist A", "two": "Artist B", "three": "Artist A"}
for name, artist in artists.items():
    tags = ID3()
    tags.add(TIT2(encoding=0, text="Same Title"))
    tags.add(TPE1(encoding=0, text=artist))
    tags.add(TYER(encoding=0, text="1999"))
    tags.add(COMM(encoding=0, lang="eng", desc="", text="first note"))
    if name == "one":
        tags.add(COMM(encoding=0, lang="eng", desc="second", text="second note"))
    if name != "one":
        tags.add(TCOP(encoding=0, text="2004 Someone"))
    path = os.path.join(d, name + ".mp3")
    tags.save(path, v2_version=3, v1=0)
    shutil.copy(path, os.path.join(d, name + ".orig.mp3"))
for index in range(200):
    path = os.path.join(d, "many", "%03d.mp3" % index)
    shutil.copy(os.path.join(d, "plain.mp3"), path)
    tags = ID3()
    tags.add(TIT2(encoding=1, text="Title %d" % index))
    tags.add(TPE1(encoding=0, text="Artist %d" % (index % 7)))
    tags.add(TYER(encoding=0, text="2001"))
    tags.add(COMM(encoding=0, lang="eng", desc="", text="note %d" % index))
    tags.save(path, v2_version=3, v1=0)
PY
sox -n -r 44100 -c 1 -b 16 "$dir/tone.wav" synth 0.3 sine 440
flac -s -f -o "$dir/tagged.flac" "$dir/tone.wav"
metaflac --set-tag="TITLE=Flac Title" "$dir/tagged.flac"
rm "$dir/tone.wav"
