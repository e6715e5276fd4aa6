#!/usr/bin/env bash
# Makes sure the cross-built third-party dependencies exist and prints their
# prefix on stdout (all other output goes to stderr).
#
# The prefix is ${TAVREL_DEPS_CACHE:-$HOME/.cache/tavrel-deps}/<key>, where
# <key> comes from deps/cache-key.sh. If <prefix>/.complete exists nothing else
# happens; otherwise deps/build-deps.sh builds it. Concurrent callers are
# serialised with a lock file in the cache folder.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cache="$(realpath -m -- "${TAVREL_DEPS_CACHE:-${HOME:?HOME is not set}/.cache/tavrel-deps}")"
key="$(bash "$here/cache-key.sh")"
prefix="$cache/$key"

if [ ! -f "$prefix/.complete" ]; then
    mkdir -p "$cache"
    exec 9>"$cache/.lock"
    if command -v flock >/dev/null 2>&1; then
        flock 9
    fi
    # Another caller may have finished the build while we waited.
    if [ ! -f "$prefix/.complete" ]; then
        # Leftovers of a build that was killed outright.
        rm -rf -- "$cache/.$key.partial."* "$cache/.$key.old."*
        echo "[ensure-deps] building dependencies into $prefix" >&2
        bash "$here/build-deps.sh" "$prefix" >&2
    fi
    exec 9>&-
    [ -f "$prefix/.complete" ] || { echo "[ensure-deps] error: $prefix is not complete" >&2; exit 1; }
fi

printf '%s\n' "$prefix"
