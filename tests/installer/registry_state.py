#!/usr/bin/env python3
"""Reads what the installer test needs from Windows files: registry exports (regedit /E) and shortcuts (.lnk).

  registry_state.py changes BEFORE.reg AFTER.reg EXPECTED   registry changes against an expected list
  registry_state.py shortcut FILE.lnk                       the shortcut's target, arguments and working folder

EXPECTED holds one added value a line, "KEY|NAME|DATA" (NAME empty for the default value). Every added value
must be listed with its data, every listed value added, no key may appear without a listed value below it, and
nothing may be removed or changed. An empty EXPECTED means "no change at all". Only the places a package writes
to are compared (see SCOPES): the rest of the machine's registry changes as Wine runs programs.
"""
import struct
import sys

# Where a package may write: the classes, the App Paths entries, the maker's own key.
SCOPES = (
    "hkey_local_machine\\software\\classes",
    "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\app paths",
    "hkey_local_machine\\software\\quennet",
)
# The Installer's records of installed products, and the 32-bit view, where Wine shows shared keys a second time.
LEFT_OUT = (
    "hkey_local_machine\\software\\classes\\installer",
    "hkey_local_machine\\software\\classes\\wow6432node",
)


def under(key, prefixes):
    return any(key == p or key.startswith(p + "\\") for p in prefixes)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            i += 1
        out.append(text[i])
        i += 1
    return "".join(out)


def parse_name(line):
    """Splits a value line into (name, raw data); the name is '' for the default value."""
    if line.startswith("@="):
        return "", line[2:]
    assert line.startswith('"'), line
    i = 1
    while line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    assert line[i + 1] == "=", line
    return unescape(line[1:i]), line[i + 2:]


def read_export(path):
    """{lower-case key: (key as written, {lower-case name: data})}; string data unquoted, other types raw."""
    with open(path, encoding="utf-16") as handle:
        lines = handle.read().splitlines()
    keys, current, pending = {}, None, ""
    for line in lines:
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys.setdefault(current.lower(), (current, {}))
        elif current and (line.startswith("@=") or line.startswith('"')):
            name, data = parse_name(line)
            if data.startswith('"') and data.endswith('"'):
                data = unescape(data[1:-1])
            keys[current.lower()][1][name.lower()] = data
    return {k: v for k, v in keys.items() if under(k, SCOPES) and not under(k, LEFT_OUT)}


def changes(before_path, after_path, expected_path):
    before, after = read_export(before_path), read_export(after_path)
    expected = {}
    with open(expected_path, encoding="utf-8") as handle:
        for line in handle:
            if line.strip():
                key, name, data = line.rstrip("\n").split("|", 2)
                expected[(key.lower(), name.lower())] = data
    faults = []
    for key, (written, values) in after.items():
        old = before.get(key, (None, {}))[1]
        for name, data in values.items():
            if name in old and old[name] == data:
                continue
            want = expected.get((key, name))
            if want is None:
                faults.append(f"unexpected value: [{written}] '{name}' = '{data}'")
            elif want != data:
                faults.append(f"wrong data: [{written}] '{name}' = '{data}', expected '{want}'")
        if key not in before and not any(k == key or k.startswith(key + "\\") for k, _ in expected):
            faults.append(f"unexpected key: [{written}]")
    for (key, name), data in expected.items():
        if name not in after.get(key, (None, {}))[1]:
            faults.append(f"missing value: [{key}] '{name}' = '{data}'")
    for key, (written, values) in before.items():
        if key not in after:
            faults.append(f"removed key: [{written}]")
            continue
        for name, data in values.items():
            if name not in after[key][1]:
                faults.append(f"removed value: [{written}] '{name}'")
            elif after[key][1][name] != data and (key, name) not in expected:
                faults.append(f"changed value: [{written}] '{name}'")
    return faults


def shortcut(path):
    """Target, arguments and working folder of a shell link (the documented binary format)."""
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 20)[0]
    pos, target = 76, ""
    if flags & 0x1:
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    if flags & 0x2:
        size, header, info_flags = struct.unpack_from("<III", data, pos)
        if info_flags & 0x1:
            if header >= 0x24:
                offset = struct.unpack_from("<I", data, pos + 28)[0]
                end = data.index(b"\0\0", pos + offset)
                end += (end - pos - offset) % 2
                target = data[pos + offset:end].decode("utf-16-le")
            else:
                offset = struct.unpack_from("<I", data, pos + 16)[0]
                target = data[pos + offset:data.index(b"\0", pos + offset)].decode("cp1252")
        pos += size
    strings = {}
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            width = 2 if flags & 0x80 else 1
            raw = data[pos:pos + count * width]
            strings[name] = raw.decode("utf-16-le" if width == 2 else "cp1252").rstrip("\0")
            pos += count * width
    return target, strings.get("arguments", ""), strings.get("workdir", "")


if __name__ == "__main__":
    if sys.argv[1] == "changes":
        found = changes(*sys.argv[2:5])
        print("\n".join(found))
        sys.exit(1 if found else 0)
    if sys.argv[1] == "shortcut":
        print("\n".join(shortcut(sys.argv[2])))
        sys.exit(0)
    sys.exit(2)
