#!/bin/bash
# The engine exports its functions by plain name (no decoration, no ordinals only).
set -euo pipefail
dll=$1
shift
table=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
missing=0
for name in "$@"; do
  if ! grep -qE "\] ${name}\$" <<<"$table"; then
    echo "missing export: $name"
    missing=1
  fi
done
count=$(grep -cE '^\s+\[' <<<"$table" || true)
if [ "$count" -ne "$#" ]; then
  echo "expected $# exports, found $count:"
  echo "$table"
  missing=1
fi
# A program built here must not need the compiler's runtime libraries on a plain Windows machine.
if x86_64-w64-mingw32-objdump -p "$dll" | grep -iE 'DLL Name: (libgcc|libstdc|libwinpthread)'; then
  echo "depends on a MinGW runtime DLL"
  missing=1
fi
[ "$missing" -eq 0 ] && echo "all $# exports present by plain name"
exit "$missing"
