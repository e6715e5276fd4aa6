#!/bin/bash
# Reads the images the Windows tests saved with libxml2's xmllint: each must be well-formed, without declaration,
# with the root "cdimage" version 1, and number its tracks 0, 1, 2... in order.
set -euo pipefail
dir=$1
status=0
export LC_ALL=C.UTF-8
fail() { echo "FAIL: $*"; status=1; }
if ! command -v xmllint >/dev/null; then echo "xmllint not installed: nothing checked"; exit 0; fi
saved=("$dir"/NonLatinListRoundTripsExactlyAndMissingFilesAreKept/*.fgx "$dir"/TenThousandEntriesRoundTrip/big.fgx
       "$dir"/FailedSaveKeepsTheOldImageAndLeavesNoTemporaryFile/kept.fgx)
for image in "${saved[@]}"; do
  [ -f "$image" ] || { fail "missing $image"; continue; }
  xmllint --noout "$image" || { fail "$image is not well-formed"; continue; }
  head -c 5 "$image" | grep -q '^<?xml' && fail "$image has a declaration"
  [ "$(xmllint --xpath 'string(/cdimage/@version)' "$image")" = 1 ] || fail "$image: no cdimage version 1"
  count=$(xmllint --xpath 'count(/cdimage/tracklist/track)' "$image")
  for ((i = 0; i < count; i += (count > 10 ? 997 : 1))); do
    [ "$(xmllint --xpath "string(/cdimage/tracklist/track[$((i + 1))]/@idx)" "$image")" = "$i" ] ||
      fail "$image: track $((i + 1)) is not idx $i"
  done
done
big=$dir/TenThousandEntriesRoundTrip/big.fgx
[ "$(xmllint --xpath 'count(/cdimage/tracklist/track)' "$big")" = 10000 ] || fail "big.fgx does not hold 10000 tracks"
[ "$(xmllint --xpath 'string(/cdimage/tracklist/track[10000]/@file)' "$big")" = 'C:\Музыка\Disc 9999\track.mp3' ] ||
  fail "big.fgx: last path differs"
exit $status
