#!/bin/bash
# Reads the MP3 files that the Windows tests tagged with independent tools: mutagen must see our frames (UTF-16
# text included) and ID3v1 tag, and ffmpeg must find the audio stream byte-identical to the untagged original.
set -euo pipefail
dir=$1
status=0
audio_md5() { ffmpeg -v error -i "$1" -map 0:a -c copy -f md5 - 2>/dev/null; }
reference=$(audio_md5 "$dir/plain.mp3")
for file in "$dir/ours.mp3" "$dir/наш 曲.mp3"; do
  /usr/bin/python3 - "$file" <<'PY' || status=1
import sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
path = sys.argv[1]
tags = ID3(path, translate=False)
expected = {
    "TIT2": "Gr\u00fc\u00dfe \u041c\u0438\u0440 \U0001F3B5",
    "TPE1": "Plain Artist",
    "TALB": "\u6f22\u5b57",
    "TRCK": "4",
    "TYER": "2001",
}
failed = False
for frame, text in expected.items():
    got = str(tags.get(frame))
    if got != text:
        print(f"{path}: {frame} is {got!r}, expected {text!r}")
        failed = True
if tags.version[:2] != (2, 3):
    print(f"{path}: ID3 version {tags.version}")
    failed = True
comments = tags.getall("COMM")
if not comments or comments[0].text[0] != "Caf\u00e9":
    print(f"{path}: COMM is {comments!r}")
    failed = True
user = tags.getall("TXXX:Key")
if not user or user[0].text[0] != "\u00c9t\u00e9":
    print(f"{path}: TXXX is {user!r}")
    failed = True
with open(path, "rb") as f:
    f.seek(-128, 2)
    v1 = f.read(128)
if v1[:3] != b"TAG" or v1[3:9] != b"Gr\xfc\xdfe ":
    print(f"{path}: ID3v1 title {v1[3:33]!r}")
    failed = True
if v1[127] != 17:
    print(f"{path}: ID3v1 genre {v1[127]}")
    failed = True
MP3(path)  # the audio is still found behind the tag
sys.exit(1 if failed else 0)
PY
  if [ "$(audio_md5 "$file")" != "$reference" ]; then
    echo "$file: audio differs from the untagged original"
    status=1
  fi
  # ffmpeg's reader is strict about UTF-16 strings: it complains about (and drops) frames it cannot read.
  complaints=$(ffprobe -v error -show_entries format_tags=title,comment -of default=nw=1 "$file" 2>&1 >/dev/null)
  shown=$(ffprobe -v error -show_entries format_tags=title,comment -of default=nw=1 "$file" 2>/dev/null)
  if [ -n "$complaints" ] || ! grep -qx "TAG:title=Grüße Мир 🎵" <<<"$shown" || ! grep -qx "TAG:comment=Café" <<<"$shown"; then
    echo "$file: ffprobe shows: $shown $complaints"
    status=1
  fi
done
# A file the tool tagged, re-tagged by us: the tool's wide text survives and our frame is added.
/usr/bin/python3 - "$dir/retagged.mp3" <<'PY' || status=1
import sys
from mutagen.id3 import ID3
tags = ID3(sys.argv[1], translate=False)
ok = str(tags["TIT2"]) == "Gr\u00fc\u00dfe \u041c\u0438\u0440 \U0001F3B5" and str(tags["TPE2"]) == "Added Band" \
    and str(tags["TPE1"]) == "Bj\u00f6rk" and tags.getall("TXXX:Mood")[0].text[0] == "\u00e9nergie" \
    and str(tags["TSOP"]) == "Sort \u00dcnicode"
if not ok:
    print("retagged.mp3:", tags.pprint())
sys.exit(0 if ok else 1)
PY
if [ "$(audio_md5 "$dir/retagged.mp3")" != "$reference" ]; then
  echo "retagged.mp3: audio differs"
  status=1
fi
[ $status -eq 0 ] && echo "tags written by the engine read back by mutagen and ffprobe"
exit $status
