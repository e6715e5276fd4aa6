#!/bin/bash
# Reads the MP3 data CD the burn job wrote: one MP3 per list entry named by its position, the entry that was
# an MP3 already byte for byte, the tagged FLAC's tags in its MP3, and the volume label in both trees.
set -euo pipefail
dir=$1
image=$dir/data.iso
[ -f "$image" ] || { echo "missing $image"; exit 1; }
export LC_ALL=C.UTF-8
status=0
fail() { echo "FAIL: $*"; status=1; }
expected=$'/TRACK001.mp3\n/TRACK002.mp3\n/TRACK003.mp3\n/TRACK004.mp3'

listed=$(isoinfo -J -f -i "$image" | sort)
[ "$listed" = "$expected" ] || fail "isoinfo -J lists: $listed"
primary=$(isoinfo -f -i "$image" | sort)
[ "$primary" = "$(tr a-z A-Z <<<"$expected" | sed 's/$/;1/')" ] || fail "primary tree lists: $primary"
info=$(isoinfo -d -i "$image")
grep -q '^Volume id: TAVREL_MP3_DISC$' <<<"$info" || fail "primary volume id: $(grep 'Volume id' <<<"$info")"
label=$(python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); print(d[17*2048+40:17*2048+72].decode("utf-16-be").rstrip())' "$image")
[ "$label" = "Tavrel MP3 Disc" ] || fail "Joliet volume id: $label"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
xorriso -abort_on NEVER -osirrox on -indev "$image" -extract / "$work/disc" >/dev/null 2>&1
for n in 1 2 3 4; do
  file=$work/disc/TRACK00$n.mp3
  [ -f "$file" ] || { fail "xorriso cannot extract TRACK00$n.mp3"; continue; }
  cmp -s "$file" <(isoinfo -J -i "$image" -x "/TRACK00$n.mp3") || fail "TRACK00$n.mp3: readers disagree"
  format=$(ffprobe -v error -show_entries format=format_name -of csv=p=0 "$file")
  codec=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$file")
  [ "$format" = mp3 ] && [ "$codec" = mp3 ] || fail "TRACK00$n.mp3 is $format/$codec"
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  python3 -c "import sys; sys.exit(0 if float('$duration') > 1.5 else 1)" || fail "TRACK00$n.mp3 lasts $duration s"
done
cmp -s "$work/disc/TRACK002.mp3" "$dir/already.mp3" || fail "the MP3 of the list was not put on the disc unchanged"
tags=$(/usr/bin/python3 -c '
import sys
from mutagen.id3 import ID3
tags = ID3(sys.argv[1])
print("|".join(str(tags.get(frame, "-")) for frame in ("TIT2", "TPE1", "TRCK")))' "$work/disc/TRACK003.mp3")
[ "$tags" = "Тон Ля|Tavrel Tests|7" ] || fail "the FLAC's tags on the disc: $tags"
cmp -s "$work/disc/TRACK001.mp3" "$work/disc/TRACK004.mp3" || fail "identical sources gave different files"
exit $status
