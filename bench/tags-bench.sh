#!/bin/bash
# How long the Properties page takes to show the tags of many MP3 files: the engine reads N tagged files and fills
# the metadata list view (best of five rounds), against mutagen reading the same files' tags.
# Usage: bench/tags-bench.sh [COUNT]   (default 200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
work=${TAVREL_BENCH_DIR:-$build/bench-work}/tags
count=${1:-200}
[ -x "$build/bin/tag_load_bench.exe" ] || "$root/scripts/build.sh" >/dev/null
rm -rf "$work" && mkdir -p "$work"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=3" -ac 2 -ar 44100 -b:a 128k -map_metadata -1 \
  -id3v2_version 0 -write_id3v1 0 "$work/plain.mp3"
/usr/bin/python3 - "$work" "$count" <<'PY'
import os, shutil, sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TYER, TRCK, COMM, TCON
folder, count = sys.argv[1], int(sys.argv[2])
for index in range(count):
    path = os.path.join(folder, "%04d.mp3" % index)
    shutil.copy(os.path.join(folder, "plain.mp3"), path)
    tags = ID3()
    tags.add(TIT2(encoding=1, text="Title %d \u00e9" % index))
    tags.add(TPE1(encoding=0, text="Artist %d" % (index % 9)))
    tags.add(TALB(encoding=0, text="Album"))
    tags.add(TYER(encoding=0, text="2001"))
    tags.add(TRCK(encoding=0, text="%d/%d" % (index % 20 + 1, 20)))
    tags.add(TCON(encoding=0, text="(17)"))
    tags.add(COMM(encoding=1, lang="eng", desc="", text="note %d" % index))
    tags.save(path, v2_version=3, v1=2)
os.remove(os.path.join(folder, "plain.mp3"))
PY
read -r files seconds rows < <("$build/wine-run.sh" "$build/bin/tag_load_bench.exe" "Z:$(echo "$work" | tr / '\\')" 5)
reference=$(/usr/bin/python3 - "$work" <<'PY'
import glob, sys, time
from mutagen.id3 import ID3
paths = sorted(glob.glob(sys.argv[1] + "/*.mp3"))
best = 1e9
for _ in range(5):
    start = time.perf_counter()
    for path in paths:
        ID3(path)
    best = min(best, time.perf_counter() - start)
print("%.3f" % best)
PY
)
printf '%-34s %6s %10s %6s %14s %8s\n' operation files seconds rows "mutagen (s)" ratio
printf '%-34s %6s %10s %6s %14s %8s\n' "load tags into the list view" "$files" "$seconds" "$rows" "$reference" \
  "$(awk -v a="$seconds" -v b="$reference" 'BEGIN { printf "%.2f", a / b }')"
