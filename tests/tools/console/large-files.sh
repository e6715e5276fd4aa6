#!/bin/bash
# WAV files beyond 2 GB, end to end (on demand: TAVREL_LARGE_TESTS=1; it writes about 7 GB and takes minutes).
# A 2.3 GB file converts with right RIFF and data sizes and its last second intact; one whose output would pass
# the 4 GB limit of the format fails with a message and leaves nothing.
# Usage: large-files.sh WINE_RUN TAVCONV_EXE WORK_FOLDER
set -uo pipefail
[ "${TAVREL_LARGE_TESTS:-0}" = 1 ] || { echo "skipped: set TAVREL_LARGE_TESTS=1 to run"; exit 77; }
run=$1 exe=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# shellcheck source=checks.sh
source "$here/checks.sh"

# Sparse inputs: zeros, with a recognisable second just past 2 GB and at the very end.
python3 - <<'PY'
import math, struct
def make(name, data_bytes, data_field, riff_field):
    marker = b"".join(struct.pack("<hh", int(9000 * math.sin(i / 7)), int(-7000 * math.sin(i / 5))) for i in range(44100))
    with open(name, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", riff_field) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16))
        f.write(b"data" + struct.pack("<I", data_field))
        f.seek(44 + (2**31 // 4) * 4 + 4000)
        f.write(marker)
        f.seek(44 + data_bytes - len(marker))
        f.write(marker)
    open(name + ".marker", "wb").write(marker)
size = 2300000000
make("big.wav", size, size, size + 36)
# Written to a pipe: the data runs to the end of a 4.3 GB file, which is more than a WAV file can hold.
make("huge.wav", 4300000000, 0xFFFFFFFF, 0xFFFFFFFF)
PY

check "2.3 GB to Wave" 0 convert --to Wave --scheme 'out\<sourcename>' big.wav
python3 - <<'PY' || fail "2.3 GB to Wave: the output is not the input"
import os, struct, sys
out = "out/big.wav"
size = os.path.getsize(out)
with open(out, "rb") as f:
    head = f.read(44)
    riff, data = struct.unpack("<I", head[4:8])[0], struct.unpack("<I", head[40:44])[0]
    marker = open("big.wav.marker", "rb").read()
    f.seek(44 + (2**31 // 4) * 4 + 4000)
    middle = f.read(len(marker))
    f.seek(44 + data - len(marker))
    tail = f.read(len(marker))
ok = riff == size - 8 and data == 2300000000 and size >= 44 + data and middle == marker and tail == marker
print("riff", riff, "data", data, "file", size, "middle", middle == marker, "tail", tail == marker)
sys.exit(0 if ok else 1)
PY
rm -f out/big.wav

check "4.3 GB to Wave" 1 convert --to Wave --scheme 'out\<sourcename>' huge.wav
expect_text "4.3 GB to Wave" "Output file would pass the 4 GB limit of the WAV format"
[ -z "$(ls -A out)" ] || fail "4.3 GB to Wave: left $(ls -A out)"
rm -f big.wav huge.wav
echo "$failures checks failed"
[ "$failures" -eq 0 ]
