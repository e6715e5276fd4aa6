#!/bin/bash
# The converter application's console mode, run under Wine as a user runs it: exit statuses, messages,
# folders and playlists as inputs, ranges, parallel jobs giving the same bytes, playlists of the outputs.
# Usage: console-mode.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"
duration() { soxi -D "$1" 2>/dev/null; }

mkdir -p in/sub "in/Музыка"
check "sample" 0 sample in/a.wav 3
check "sample 2" 0 sample in/sub/b.wav 2
check "sample 3" 0 sample "in/Музыка/тон.wav" 2
check "sample 4" 0 sample in/sub/c.wav 4
printf '#EXTM3U\r\na.wav\r\nsub/b.wav\r\n' > in/LIST.M3U

# Usage errors: status 2 with the one line that is wrong and a hint to the help, not the whole help.
check "no --to" 2 convert in/a.wav; expect_text "no --to" "--to FORMAT is missing"
check "unknown format" 2 convert --to Vinyl in/a.wav; expect_text "unknown format" "Unknown output format 'Vinyl'"
check "read-only format" 2 convert --to FLAC in/a.wav; expect_text "read-only format" "cannot be written"
check "bad range" 2 convert --to Wave --range 3000-1000 in/a.wav; expect_text "bad range" "--range takes START-END"
check "bad option value" 2 convert --to Wave --option wave-codec=Nope in/a.wav; expect_text "bad option value" "ACM Wave Codec was not found"
check "unknown option" 2 convert --to Wave --frobnicate in/a.wav; expect_text "unknown option" "Unknown option --frobnicate"
check "no inputs" 2 convert --to Wave
check "help" 0 --help; expect_text "help" "convert --to FORMAT"
for switch in -h /? ; do check "help $switch" 0 "$switch"; expect_text "help $switch" "settings FORMAT"; done
check "convert help" 0 convert /?; expect_text "convert help" "Ogg Vorbis: quality-based"
check "one line" 2 convert --to Vinyl in/a.wav
[ "$(wc -l <<<"$out")" -le 3 ] || fail "one line: a usage error printed $(wc -l <<<"$out") lines"
expect_text "one line" "Try 'tavconv convert --help'"
check "unknown command" 2 frobnicate; expect_text "unknown command" "Try 'tavconv --help'"
# Option errors name the format, the option and the value, and what is accepted.
check "option text" 2 convert --to mp3 --option vbr-mode=fast in/a.wav
expect_text "option text" 'MP3 option vbr-mode="fast": Value can be either CBR, VBR, FASTVBR or ABR. (accepted: CBR, VBR'
check "option unknown" 2 convert --to ogg --option bitrate=128 in/a.wav
expect_text "option unknown" 'Ogg Vorbis has no option "bitrate" (its options: quality-based'
check "options" 0 options OGG; expect_text "options" "avg-bitrate: 48 to 320 (kbps)"

# Short names and extensions of the formats, in any case (each to a folder of its own: Wine's file names ignore case).
n=0
while read -r name extension; do
  n=$((n + 1))
  check "short name $name" 0 convert --to "$name" --scheme 'out\short'"$n"'\<sourcename>' in/a.wav
  [ -s "out/short$n/a.$extension" ] || fail "short name $name: out/short$n/a.$extension missing"
done <<'LIST'
wav wav
WAV wav
.mp3 mp3
ogg ogg
Vorbis ogg
aif aif
AIFF aif
LIST

# -o names the output of one file; its extension gives the format when --to is left out.
check "-o" 0 convert in/a.wav -o out/named/song.ogg
ogginfo out/named/song.ogg >/dev/null 2>&1 || fail "-o: out/named/song.ogg is not Ogg Vorbis"
check "-o without extension" 0 convert --to mp3 in/a.wav -o out/named/plain
[ -s out/named/plain.mp3 ] || fail "-o without extension: plain.mp3 missing"
check "-o two inputs" 2 convert --to Wave in/a.wav in/sub/b.wav -o out/named/x.wav
check "-o folder" 2 convert --to Wave in -o out/named/x.wav; expect_text "-o folder" "-o names the output of one input"

# Wave to Wave with the default scheme writes "name (1).wav" beside the input, and a kept output is skipped.
cp in/a.wav out/same.wav
check "same format" 0 convert --to Wave out/same.wav
[ -s "out/same (1).wav" ] || fail "same format: 'out/same (1).wav' missing"
check "kept output" 1 convert --to Wave out/same.wav; expect_text "kept output" "0 converted, 1 skipped, 0 failed"
check "formats" 0 formats; expect_text "formats" "16  Monkey's APE"

# A missing input fails the run but the others are converted.
check "missing input" 1 convert --to Wave --scheme 'out\m\<sourcename>' in/a.wav in/missing.wav
expect_text "missing input" "Input not found: in/missing.wav"
expect_text "missing input" "1 converted, 1 failed"
[ -f out/m/a.wav ] || { echo "FAILED: missing input: out/m/a.wav not written"; failures=$((failures + 1)); }

# A folder brings every readable file below it, in name order; non-Latin names survive.
check "folder" 0 convert --to Wave --option "wave-codec=IMA ADPCM" --scheme 'out\folder\<sourcename>' in
expect_text "folder" "4 converted, 0 failed"
for f in a b c тон; do
  [ -f "out/folder/$f.wav" ] || { echo "FAILED: folder: out/folder/$f.wav missing"; failures=$((failures + 1)); }
done
soxi out/folder/a.wav | grep -q "IMA ADPCM" || { echo "FAILED: folder: a.wav is not IMA ADPCM"; failures=$((failures + 1)); }

# An existing output is kept unless --overwrite is given.
check "no overwrite" 1 convert --to Wave --scheme 'out\folder\<sourcename>' in/a.wav
expect_text "no overwrite" "Output file already exists"
check "overwrite" 0 convert --to Wave --overwrite --scheme 'out\folder\<sourcename>' in/a.wav
soxi out/folder/a.wav | grep -q "Signed Integer PCM" || { echo "FAILED: overwrite: a.wav was not replaced"; failures=$((failures + 1)); }

# A playlist (extension in any case) as input, a range, and a playlist of the outputs.
check "playlist and range" 0 convert --to Wave --range 500-1500 --scheme 'out\range\<sourcename>' --playlist out/range/list.m3u in/LIST.M3U
for f in a b; do
  d=$(duration "out/range/$f.wav")
  [ "$d" = "1.000000" ] || { echo "FAILED: range: $f.wav lasts $d s, expected 1 s"; failures=$((failures + 1)); }
done
if ! diff <(tail -n +3 out/range/list.m3u | tr -d '\r') <(printf '.\\a.wav\n.\\b.wav\n') >/dev/null; then
  echo "FAILED: playlist of the outputs:"; cat out/range/list.m3u; failures=$((failures + 1))
fi

# Parallel jobs give the same bytes as one job at a time.
check "jobs 1" 0 convert --to Wave --jobs 1 --trim --normalize --fade-out 300 --scheme 'out\one\<sourcename>' in
check "jobs 2" 0 convert --to Wave --jobs 2 --trim --normalize --fade-out 300 --scheme 'out\two\<sourcename>' in
if ! diff -r out/one out/two >/dev/null; then echo "FAILED: --jobs 2 output differs from --jobs 1"; failures=$((failures + 1)); fi
[ "$(ls out/two | wc -l)" -eq 4 ] || { echo "FAILED: jobs 2: $(ls out/two | wc -l) outputs"; failures=$((failures + 1)); }

echo "$failures checks failed"
[ "$failures" -eq 0 ]
