#!/bin/bash
# Reads the images the Windows tests wrote with tools of their own: isoinfo (genisoimage) and xorriso when
# installed, and always an independent reader of the ECMA-119 / Joliet structures below. For each line of
# mixed.manifest (Joliet path, primary path, source) the file must be listed in both trees under exactly that
# name and hold the source's bytes.
set -euo pipefail
dir=$1
image=$dir/mixed.iso
manifest=$dir/mixed.manifest
status=0
fail() { echo "FAIL: $*"; status=1; }
[ -f "$image" ] && [ -f "$manifest" ] || { echo "missing $image or $manifest"; exit 1; }
export LC_ALL=C.UTF-8

if command -v isoinfo >/dev/null; then
  info=$(isoinfo -d -i "$image")
  grep -q '^Volume id: TAVREL_TEST$' <<<"$info" || fail "isoinfo -d volume id: $info"
  grep -q 'Joliet with UCS level 3 found' <<<"$info" || fail "isoinfo -d finds no Joliet tree"
  # isoinfo prints names in 8-bit character sets only: names beyond ASCII are checked through xorriso.
  joliet=$(isoinfo -J -f -i "$image" | tr -cd '\n -~')
  primary=$(isoinfo -f -i "$image")
  while IFS=$'\t' read -r jpath ipath source; do
    grep -qxF "/$ipath" <<<"$primary" || fail "isoinfo does not list /$ipath"
    cmp -s <(isoinfo -i "$image" -x "/$ipath") "$dir/src/$source" || fail "isoinfo -x /$ipath differs"
    LC_ALL=C grep -q '[^ -~]' <<<"$jpath" && continue
    grep -qxF "/$jpath" <<<"$joliet" || fail "isoinfo -J does not list /$jpath"
    cmp -s <(isoinfo -J -i "$image" -x "/$jpath") "$dir/src/$source" || fail "isoinfo -J -x /$jpath differs"
  done <"$manifest"
  [ "$(grep -c . <<<"$(isoinfo -J -l -i "$image" | grep -a '^-')")" -eq "$(grep -c . "$manifest")" ] ||
    fail "isoinfo -J -l lists another number of files"
else
  echo "isoinfo not installed (Debian package genisoimage): checked by the reader below only"
fi

if command -v xorriso >/dev/null; then
  listed=$(xorriso -abort_on NEVER -indev "$image" -find / -type f 2>/dev/null)
  [ "$(grep -c . <<<"$listed")" -eq "$(grep -c . "$manifest")" ] || fail "xorriso -find finds other files: $listed"
  # The Joliet names exactly, non-Latin ones included, and their bytes.
  while IFS=$'\t' read -r jpath ipath source; do
    grep -qxF "'/$jpath'" <<<"$listed" || fail "xorriso does not list /$jpath"
    rm -f "$dir/extracted"
    xorriso -abort_on NEVER -osirrox on -indev "$image" -extract "/$jpath" "$dir/extracted" >/dev/null 2>&1
    cmp -s "$dir/extracted" "$dir/src/$source" || fail "xorriso -extract /$jpath differs"
  done <"$manifest"
  rm -f "$dir/extracted"
  media=$(xorriso -abort_on NEVER -indev "$image" -check_media -- 2>&1) || fail "xorriso -check_media: $media"
  ! grep -qi 'unreadable' <<<"$media" || fail "xorriso -check_media: $media"
else
  echo "xorriso not installed (Debian package xorriso): checked by the reader below only"
fi

/usr/bin/python3 - "$image" "$manifest" "$dir/src" <<'PY' || status=1
import os, re, struct, sys
image, manifest, src = sys.argv[1:]
data = open(image, "rb").read()
S = 2048
errors = []
def check(ok, text):
    if not ok: errors.append(text)

def both32(b, o):
    le, be = struct.unpack_from("<I", b, o)[0], struct.unpack_from(">I", b, o + 4)[0]
    check(le == be, f"both-endian mismatch at {o}: {le} {be}")
    return le

def both16(b, o):
    le, be = struct.unpack_from("<H", b, o)[0], struct.unpack_from(">H", b, o + 2)[0]
    check(le == be, f"both-endian 16 mismatch at {o}")
    return le

check(len(data) % S == 0, "size not a multiple of 2048")
check(data[:16 * S] == bytes(16 * S), "system area not empty")
descriptors = {}
n = 16
while True:
    d = data[n * S:(n + 1) * S]
    check(d[1:6] == b"CD001" and d[6] == 1, f"bad descriptor at {n}")
    if d[0] == 255: break
    descriptors[d[0]] = d
    n += 1
pvd, svd = descriptors.get(1), descriptors.get(2)
check(pvd is not None and svd is not None, "primary or supplementary descriptor missing")
check(svd[88:91] == b"%/E", "no Joliet level 3 escape")
check(pvd[40:72].decode("ascii").rstrip() == "TAVREL_TEST", f"volume id {pvd[40:72]!r}")
check(svd[40:72].decode("utf-16-be").rstrip() == "Tavrel Test", f"Joliet volume id {svd[40:72]!r}")
check(re.fullmatch(rb"\d{16}\x00", pvd[813:830]) is not None, "creation date")
for vd in (pvd, svd):
    check(both32(vd, 80) * S == len(data), "volume space size differs from the image size")
    check(both16(vd, 128) == S and both16(vd, 120) == 1 and both16(vd, 124) == 1, "block size / volume set")
    check(vd[881] == 1, "file structure version")

def records(extent, length):
    out, pos = [], extent * S
    end = pos + length
    while pos < end:
        size = data[pos]
        if size == 0:  # rest of the sector is padding
            pos = (pos // S + 1) * S
            continue
        check((pos % S) + size <= S, "directory record spans a sector")
        r = data[pos:pos + size]
        idlen = r[32]
        check(size == 33 + idlen + (1 - idlen % 2), "record length/padding")
        check(1 <= r[19] <= 12 and 1 <= r[20] <= 31, "recording date")
        out.append((r[33:33 + idlen], both32(r, 2), both32(r, 10), r[25], both16(r, 28)))
        pos += size
    return out

def walk(vd, decode, tree):
    root = vd[156:190]
    check(root[0] == 34 and root[32] == 1 and root[33] == 0, "root record")
    files, dirs = {}, [("", both32(root, 2), both32(root, 10), None)]
    i = 0
    while i < len(dirs):
        path, extent, length, parent = dirs[i]
        check(length % S == 0, "directory length not whole sectors")
        recs = records(extent, length)
        check(recs[0][0] == b"\0" and recs[0][1] == extent, f"{tree} {path}: '.' record")
        check(recs[1][0] == b"\1" and (parent is None or recs[1][1] == parent), f"{tree} {path}: '..' record")
        names = [r[0] for r in recs[2:]]
        key = (lambda n: n) if tree == "joliet" else (lambda n: n.split(b";")[0].split(b".") + [b""])
        check(names == sorted(names, key=lambda n: key(n)), f"{tree} {path}: records not sorted")
        for ident, ext, size, flags, _ in recs[2:]:
            name = decode(ident)
            full = f"{path}/{name}".lstrip("/")
            if flags & 2: dirs.append((full, ext, size, extent))
            else:
                check(full not in files, f"{tree}: {full} twice")
                files[full] = (ext, size)
        i += 1
    # Path tables: L and M list the same directories, in level/parent/name order, with the walk's extents.
    size = both32(vd, 132)
    for fmt, loc in (("<", struct.unpack_from("<I", vd, 140)[0]), (">", struct.unpack_from(">I", vd, 148)[0])):
        table, pos, entries = data[loc * S:loc * S + size], 0, []
        while pos < size:
            idlen = table[pos]
            ext, parent = struct.unpack_from(fmt + "IH", table, pos + 2)
            entries.append((table[pos + 8:pos + 8 + idlen], ext, parent))
            pos += 8 + idlen + idlen % 2
        check(len(entries) == len(dirs), f"{tree} path table {fmt}: {len(entries)} directories, walk has {len(dirs)}")
        for number, (ident, ext, parent) in enumerate(entries, 1):
            if number == 1: continue
            ppath = [d for d in dirs if d[1] == entries[parent - 1][1]][0][0]
            full = f"{ppath}/{decode(ident)}".lstrip("/")
            check(any(d[0] == full and d[1] == ext for d in dirs), f"{tree} path table: {full} at {ext}")
        check([e[2] for e in entries] == sorted(e[2] for e in entries), f"{tree} path table not by parent")
    return files

joliet = walk(svd, lambda b: b.decode("utf-16-be"), "joliet")
primary = walk(pvd, lambda b: b.decode("ascii"), "primary")
for name in primary:
    for part in name.split("/")[:-1]:
        check(re.fullmatch(r"[A-Z0-9_]{1,8}", part) is not None, f"primary folder {part}")
    check(re.fullmatch(r"[A-Z0-9_]{1,8}\.[A-Z0-9_]{0,3};1", name.split("/")[-1]) is not None, f"primary {name}")
expected = [line.rstrip("\n").split("\t") for line in open(manifest, encoding="utf-8") if line.strip()]
check(sorted(joliet) == sorted(e[0] for e in expected), f"Joliet files {sorted(joliet)}")
check(sorted(primary) == sorted(e[1] for e in expected), f"primary files {sorted(primary)}")
for jpath, ipath, source in expected:
    want = open(os.path.join(src, source), "rb").read()
    for tree, files, path in (("joliet", joliet, jpath), ("primary", primary, ipath)):
        if path not in files: continue
        ext, size = files[path]
        check(data[ext * S:ext * S + size] == want, f"{tree} {path}: bytes differ from {source}")
    if jpath in joliet and ipath in primary:
        check(joliet[jpath] == primary[ipath], f"{jpath}: trees do not share the data")
for e in errors: print("FAIL:", e)
sys.exit(1 if errors else 0)
PY
exit $status
