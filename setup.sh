#!/bin/bash
# Quick start, step 1: set up this machine, build everything, and run the main job on an embedded default.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
echo
echo "== tavconv formats =="
"$build/wine-run.sh" "$build/bin/tavconv.exe" formats
