#!/usr/bin/env bash
# Prints a short hash of everything under deps/ (sorted file names and their
# contents). ensure-deps.sh uses it as the name of the dependency cache folder,
# so any change to the build recipe, toolchain file or patches gives a fresh
# prefix.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
find . -type f -print0 \
    | LC_ALL=C sort -z \
    | xargs -0 -r sha256sum -- \
    | sha256sum \
    | cut -c1-16
