#!/bin/bash
# Reads with mutagen the three MP3s that the list view test edited and saved: the new title in every file, the
# added comment beside the old ones, the copyright gone from the files that had it, and the audio bytes exactly
# those of the copies made before the test.
set -euo pipefail
/usr/bin/python3 - "$1" <<'PY'
import sys, os
from mutagen.id3 import ID3
d = sys.argv[1]
failures = []

def audio(path):
    data = open(path, "rb").read()
    if data[:3] == b"ID3":
        size = 0
        for b in data[6:10]:
            size = (size << 7) | b
        data = data[10 + size:]
    if data[-128:-125] == b"TAG":
        data = data[:-128]
    return data

comments = {"one": 3, "two": 2, "three": 2}
for name, count in comments.items():
    path = os.path.join(d, name + ".mp3")
    tags = ID3(path, load_v1=False)  # the ID3v1 copy of the first comment is no frame of its own
    title = str(tags.get("TIT2"))
    if title != "Nouveau titre \u2713 \U0001D11E":
        failures.append(f"{name}: title {title!r}")
    found = tags.getall("COMM")
    if len(found) != count:
        failures.append(f"{name}: {len(found)} comments, expected {count}")
    if not any(c.desc == "added" and c.text == ["third note"] for c in found):
        failures.append(f"{name}: the added comment is missing: {found!r}")
    if tags.getall("TCOP"):
        failures.append(f"{name}: the copyright is still there")
    if str(tags.get("TPE1")) != ("Artist B" if name == "two" else "Artist A"):
        failures.append(f"{name}: artist {tags.get('TPE1')!r}")
    if audio(path) != audio(os.path.join(d, name + ".orig.mp3")):
        failures.append(f"{name}: the audio bytes changed")
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
PY
