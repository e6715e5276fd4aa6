#!/bin/bash
# Installs what is missing, cross-builds the dependencies (cached outside the work tree) and the project.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
"$root/scripts/install-packages.sh"
prefix=$("$root/deps/ensure-deps.sh")
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DTAVREL_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2
