#!/bin/bash
# Ripping through the virtual CD drive end to end: the drive listing, every track of a sox-made image ripped to
# WAV bit for bit with its CRC32 and AccurateRip checksums (computed here, independently), an MP3 rip with the
# disc's tags, and a drive with an unreadable sector, an empty drive and a missing ".cda" file, which must end
# as failures that say why. The image's ".cda" files are served from a folder mapped as drive D:.
# With the tests' CDDB server: the listing with titles, a choice among several matches on the console, a server
# that cannot be reached, and rips named and tagged with the titles.
# Usage: cdrip.sh WINE_RUN TAVCONV_EXE WORK_FOLDER IMAGE_FOLDER CDDB_SERVER_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3 image=$4 cddb=$5
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work/cdroot" "$work/out" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"

prefix="$(sed -n "s/^root='\(.*\)'$/\1/p" "$run")/prefix"
ln -sfn "$work/cdroot" "$prefix/dosdevices/d:"
trap 'rm -f "$prefix/dosdevices/d:"' EXIT
export TAVREL_CD_IMAGE
TAVREL_CD_IMAGE="Z:$(echo "$image/disc.cue" | tr / '\\')"
unset TAVREL_CD_FAULTS

# The ".cda" files a CD file system shows for the image's tracks (start, length in sectors).
python3 - "$work/cdroot" <<'PY'
import struct, sys
# Track 9 is not on this disc: a ".cda" file of another disc.
tracks = [(1, 0, 375), (2, 375, 225), (3, 600, 189), (9, 789, 100)]
serial = sum(((s + 150) // 4500) << 16 | ((s + 150) // 75 % 60) << 8 | (s + 150) % 75 for _, s, _ in tracks[:3])
pack = lambda f: (f // 4500) << 16 | (f // 75 % 60) << 8 | f % 75
for number, start, length in tracks:
    fmt = struct.pack('<HHIIIII', 1, number, serial, start, length, pack(start + 150), pack(length))
    body = b'CDDAfmt ' + struct.pack('<I', len(fmt)) + fmt
    open('%s/Track%02d.cda' % (sys.argv[1], number), 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
PY

check "cd lists the drive and its disc" 0 cd
expect_text "cd lists the drive" "TAVREL  VIRTUAL CD-ROM  1.00 (D:)"
expect_text "cd shows the serial" "Disc serial 00001300, 3 audio tracks of 3 on the disc"
expect_text "cd shows track 2" "        2  00:05:00  00:03:00  D:\\Track02.cda"

check "three tracks ripped to WAV" 0 convert --to wav --scheme 'out\<sourcename>' \
  'D:\Track01.cda' 'D:\Track02.cda' 'D:\Track03.cda'
log=$out
python3 - "$image/disc image.bin" "$log" <<'PY' || fail "the rips differ from the image or their checksums are wrong"
import re, struct, sys, zlib
image = open(sys.argv[1], 'rb').read()
log = sys.argv[2]
tracks = [(1, 0, 375), (2, 375, 225), (3, 600, 189)]
bad = 0
for number, start, length in tracks:
    wav = open('out/Track%02d.wav' % number, 'rb').read()
    pos, data = 12, None
    while pos + 8 <= len(wav):
        cid, size = wav[pos:pos + 4], struct.unpack('<I', wav[pos + 4:pos + 8])[0]
        if cid == b'data':
            data = wav[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    expected = image[start * 2352:(start + length) * 2352]
    if data != expected:
        print('track %d: the audio differs from the image' % number); bad += 1
    # AccurateRip: 32-bit stereo frames weighted by their 1-based position; the first track leaves out its first
    # five sectors but one frame, the last track its last five sectors.
    frames = struct.unpack('<%dI' % (len(expected) // 4), expected)
    first, last = 5 * 588 - 1 if number == 1 else 0, 5 * 588 if number == 3 else 0
    v1 = v2 = 0
    for i, frame in enumerate(frames, 1):
        if i <= first or i + last > len(frames):
            continue
        product = frame * i
        v1 += product
        v2 += (product & 0xFFFFFFFF) + (product >> 32)
    line = 'Track %d: CRC32 %08X, AccurateRip v1 %08X, AccurateRip v2 %08X' % (
        number, zlib.crc32(expected), v1 & 0xFFFFFFFF, v2 & 0xFFFFFFFF)
    if line not in log:
        print('missing: ' + line); bad += 1
sys.exit(1 if bad else 0)
PY
echo "ok: the rips equal the image, with their checksums"

# The issue's own command line: the rip lands in the current folder, named after the track.
cd out && check "a track ripped to MP3" 0 convert --to MP3 'D:\Track02.cda'
cd "$work" || exit 1
tags=$(ffprobe -v error -show_entries format_tags=track,album -of default=nw=1 out/Track02.mp3)
grep -q "track=2/3" <<<"$tags" || fail "MP3 rip: track number missing ($tags)"
grep -q "album=00001300" <<<"$tags" || fail "MP3 rip: album missing ($tags)"

# An unreadable sector: the rip goes on, says which frames failed, and fails like any conversion that logged an
# error (its output is not kept).
TAVREL_CD_FAULTS='unreadable=100-100' check "a rip with an unreadable sector fails" 1 convert --to wav \
  -o 'out\damaged.wav' 'D:\Track01.cda'
expect_text "the failed frames are named" "Error reading frame 81 to 108 [Code -4, ASPI 0x04]"
expect_text "the rip is not called exact" "not exact"
expect_absent "a damaged rip is not left as if it were good" out/damaged.wav

TAVREL_CD_FAULTS=nodisc check "cd with an empty drive" 0 cd
expect_text "an empty drive is named" "No disc"
TAVREL_CD_FAULTS=nodisc check "a rip from an empty drive fails" 1 convert --to wav -o 'out\none.wav' 'D:\Track01.cda'
expect_text "an empty drive is named" "The CD track cannot be found: D:\\Track01.cda"
expect_absent "nothing written from an empty drive" out/none.wav
check "a track of another disc fails" 1 convert --to wav -o 'out\other.wav' 'D:\Track09.cda'
expect_text "a track not on the disc is named" "The CD track cannot be found: D:\\Track09.cda"
expect_absent "nothing written for a track not on the disc" out/other.wav
check "a missing .cda file fails" 1 convert --to wav -o 'out\missing.wav' 'D:\Track10.cda'
expect_text "a missing .cda file is named" "Input not found: D:\\Track10.cda"
expect_absent "nothing written for a missing .cda file" out/missing.wav

# CDDB, from the tests' server.
setting() {  # setting NAME TYPE VALUE
  "$run" reg add 'HKCU\Software\Quennet\Tavrel\AudioCD' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
}
setting CDDB_Server REG_SZ 127.0.0.1
setting CDDB_ServerPort REG_DWORD "$(cat "$cddb/port.txt")"
setting CDDB_CGI REG_SZ /~cddb/cddb.cgi
setting CDDB_UseProxy REG_DWORD 0
setting CDDB_Timeout REG_DWORD 3000
"$run" reg delete 'HKCU\Software\Quennet\Tavrel\CDDB' /f >/dev/null 2>&1
check "cd --lookup" 0 cd --lookup
expect_text "the disc's data" "Tavrel Testers / Sine Tones, 2026, Test"
expect_text "a track's title" "00:05:00  00:03:00  D:\\Track02.cda  Zweite Straße"
"$run" reg delete 'HKCU\Software\Quennet\Tavrel\CDDB' /f >/dev/null 2>&1
mkdir -p titled && cd titled || exit 1
check "a rip named by CDDB" 0 convert --to mp3 --cddb 'D:\Track01.cda' 'D:\Track02.cda'
cd "$work" || exit 1
[ -f "titled/02 Zweite Straße.mp3" ] || fail "the rip is not named by its title: $(ls titled)"
[ -f "titled/01 Première  A B.mp3" ] || fail "a title's colon and slash are not cleaned: $(ls titled)"
tags=$(ffprobe -v error -show_entries format_tags=title,artist,album,date -of default=nw=1 "titled/02 Zweite Straße.mp3")
for tag in "title=Zweite Straße" "artist=Tavrel Testers" "album=Sine Tones"; do
  grep -qF "$tag" <<<"$tags" || fail "the titled rip lacks $tag ($tags)"
done
# Several matches: the user chooses on the console, or chooses none.
mixed="Z:$(echo "$image/mixed.cue" | tr / '\\')"
out=$(printf '7\n3\n' | TAVREL_CD_IMAGE=$mixed timeout 60 "$run" "$exe" cd --lookup 2>&1)
grep -qF "2) Zweite Band / Gemischt" <<<"$out" || fail "the matches are not offered: $out"
grep -qF "Third Band / Mixed" <<<"$out" && grep -qF "Dos" <<<"$out" || fail "the third match was not applied: $out"
out=$(TAVREL_CD_IMAGE=$mixed timeout 60 "$run" "$exe" cd --lookup 2>&1 </dev/null)
grep -qF "No match chosen" <<<"$out" || fail "no answer is no choice: $out"
echo "ok: choosing among CDDB matches"
setting CDDB_ServerPort REG_DWORD 1
check "cd --lookup from the cache alone" 0 cd --lookup
expect_text "the rips left the titles in the cache" "D:\\Track02.cda  Zweite Straße"
"$run" reg delete 'HKCU\Software\Quennet\Tavrel\CDDB' /f >/dev/null 2>&1
check "cd --lookup without a server" 0 cd --lookup
expect_text "no server" "CDDB: Unable to contact CDDB server"
expect_text "the tracks are still listed" "D:\\Track03.cda"

[ "$failures" -eq 0 ] || exit 1
echo "all CD rip checks passed"
