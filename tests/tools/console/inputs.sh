#!/bin/bash
# The converter's inputs under Wine: folders walked through symbolic links made on the Linux side (loops end;
# every folder and file is taken once, whatever the number of links to it) and ".m3u8" playlists in any case.
# Usage: inputs.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
run=$1 exe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"
expect_outputs() {  # expect_outputs NAME FOLDER FILE...: the folder holds exactly these files
  local name=$1 folder=$2; shift 2
  local found; found=$(cd "$folder" 2>/dev/null && ls | sort | tr '\n' ' ')
  local wanted; wanted=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  [ "$found" = "$wanted" ] || fail "$name: $folder holds '$found', expected '$wanted'"
}

mkdir -p music/Rock/Live shared/Jazz lists/Музыка
check "sample" 0 sample music/a.wav 1
check "sample 2" 0 sample music/Rock/b.wav 1
check "sample 3" 0 sample shared/Jazz/c.wav 1
check "sample 4" 0 sample "lists/Музыка/тон.wav" 1
ln -s .. music/Rock/Live/up                # a loop back to Rock
ln -s "$work/music" music/Rock/again       # a loop back to the top, by an absolute path
ln -s "$work/shared" music/shared-1        # a folder outside the walk, linked twice
ln -s ../shared music/Rock/shared-2
ln -s a.wav music/z-same-as-a.wav          # one file under two more names
ln -s ../a.wav music/Rock/z-a.wav

# Each real folder is walked once: loops end, a folder linked twice gives its files once, and so does a file
# reached under several names. The linked folder outside is still taken.
check "linked folders" 0 convert --to Wave --scheme 'out\walk\<sourcename>' music
expect_text "linked folders" "3 converted, 0 failed"
expect_outputs "linked folders" out/walk a.wav b.wav c.wav

# ".m3u8" playlists are UTF-8 (here without a byte-order mark) whatever the case of their extension.
printf '#EXTM3U\r\n#EXTINF:1,Тон\r\nМузыка/тон.wav\r\n' > lists/utf8.m3u8
printf '#EXTM3U\r\nМузыка\\тон.wav\r\n' > lists/UPPER.M3U8
check "m3u8 playlist" 0 convert --to Wave --scheme 'out\m3u8\<sourcename>' lists/utf8.m3u8
expect_text "m3u8 playlist" "1 converted, 0 failed"
expect_outputs "m3u8 playlist" out/m3u8 тон.wav
check "M3U8 playlist" 0 convert --to Wave --scheme 'out\upper\<sourcename>' lists/UPPER.M3U8
expect_text "M3U8 playlist" "1 converted, 0 failed"
expect_outputs "M3U8 playlist" out/upper тон.wav
[ -z "$(leftovers lists)" ] || fail "M3U8 playlist: the copy read in its place is left: $(leftovers lists)"
expect_outputs "playlist copies removed" lists utf8.m3u8 UPPER.M3U8 Музыка

echo "$failures checks failed"
[ "$failures" -eq 0 ]
