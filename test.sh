#!/bin/bash
# Quick start, step 2: build what is missing and run every test (Windows programs under the build's own Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${TAVREL_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
status=0
ctest --test-dir "$build" -j2 --output-on-failure "$@" || status=$?
# The build's Wine server is persistent during the run; stop it so nothing outlives the tests.
WINEPREFIX="$build/wine/prefix" wineserver -k 2>/dev/null || true
exit $status
