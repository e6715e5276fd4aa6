#!/usr/bin/env bash
# Cross-builds the third-party libraries used by the project as static
# libraries for Windows x64 (x86_64-w64-mingw32) into PREFIX:
#
#   libogg, libvorbis (+vorbisenc, vorbisfile), libFLAC + libFLAC++, id3lib,
#   libmp3lame, lame_enc.dll (LAME's BladeEnc-compatible DLL) and GoogleTest
#   (gtest + gmock, CMake package config).
#
# zlib is not built: it comes from Debian's libz-mingw-w64-dev package.
#
# Sources come from Debian 12 (bookworm) source packages via `apt-get source`,
# so Debian's patches are applied. Everything is built in a scratch directory
# and installed into a staging directory next to PREFIX, which is renamed to
# PREFIX (with PREFIX/.complete inside) only when everything succeeded.
#
# Usage: deps/build-deps.sh PREFIX
set -euo pipefail

readonly HOST=x86_64-w64-mingw32
readonly CC="${HOST}-gcc-posix"
readonly CXX="${HOST}-g++-posix"
readonly JOBS=2

# Upstream versions the recipes (and patches/) are written for.
readonly OGG_DIR=libogg-1.3.5
readonly VORBIS_DIR=libvorbis-1.3.7
readonly FLAC_DIR=flac-1.4.2+ds
readonly ID3LIB_DIR=id3lib3.8.3-3.8.3
readonly LAME_DIR=lame-3.100
readonly GTEST_SRC=/usr/src/googletest
readonly GTEST_VERSION=1.12.1

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

log() { printf '[build-deps] %s\n' "$*" >&2; }
die() { printf '[build-deps] error: %s\n' "$*" >&2; exit 1; }

[ $# -eq 1 ] && [ -n "$1" ] || die "usage: $0 PREFIX"

prefix="$(realpath -m -- "$1")"
[ "$prefix" != / ] || die "refusing to use / as prefix"

if [ -e "$prefix" ]; then
    [ -d "$prefix" ] || die "$prefix exists and is not a directory"
    if [ ! -e "$prefix/.complete" ] && [ -n "$(ls -A -- "$prefix")" ]; then
        die "$prefix exists, is not empty and is not a finished dependency prefix; remove it first"
    fi
fi

# --- tools --------------------------------------------------------------------
missing=()
for tool in "$CC" "$CXX" "${HOST}-objdump" "${HOST}-ar" apt-get dpkg-source \
            dpkg-architecture make patch cmake autoconf automake aclocal libtoolize \
            realpath sha256sum; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] || die "missing tools: ${missing[*]} (see the Toolchain section of the platform notes)"
[ -f "/usr/$HOST/lib/libz.a" ] || die "/usr/$HOST/lib/libz.a not found (install libz-mingw-w64-dev)"
[ -f "$GTEST_SRC/CMakeLists.txt" ] || die "$GTEST_SRC not found (install googletest)"
grep -q "GOOGLETEST_VERSION $GTEST_VERSION" "$GTEST_SRC/CMakeLists.txt" \
    || log "warning: $GTEST_SRC is not GoogleTest $GTEST_VERSION"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        die "need root for: $*"
    fi
}

# --- apt source entries -------------------------------------------------------
have_source_entry() { apt-get source --print-uris libogg >/dev/null 2>&1; }

has_deb_src_configured() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && grep -Eq '^[[:space:]]*deb-src[[:space:]]' "$f" && return 0
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && grep -Eiq '^Types:.*[[:space:]]deb-src([[:space:]]|$)' "$f" && return 0
    done
    return 1
}

ensure_source_entry() {
    have_source_entry && return 0
    if ! has_deb_src_configured; then
        local list=/etc/apt/sources.list.d/debian-bookworm-src.sources
        log "no deb-src entry configured; adding $list"
        as_root tee "$list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fi
    log "apt-get update"
    as_root apt-get update >&2 || log "warning: apt-get update reported errors"
    have_source_entry || die "apt-get source still cannot find libogg; check the deb-src entries"
}

# --- scratch and staging directories -----------------------------------------
parent="$(dirname "$prefix")"
mkdir -p "$parent"
stage="$(mktemp -d "$parent/.$(basename "$prefix").partial.XXXXXX")"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/tavrel-deps-build.XXXXXX")"
# apt-get source drops privileges to _apt when run as root; let it read the directory.
chmod 755 "$scratch"

finished=0
cleanup() {
    if [ "$finished" -eq 1 ]; then
        rm -rf -- "$scratch"
    else
        rm -rf -- "$stage"
        log "FAILED; sources and build trees kept in $scratch"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

started=$SECONDS
log "prefix:  $prefix"
log "staging: $stage"
log "scratch: $scratch"

ensure_source_entry

log "fetching sources"
(cd "$scratch" && apt-get source libogg libvorbis flac id3lib3.8.3 lame) >&2
for d in "$OGG_DIR" "$VORBIS_DIR" "$FLAC_DIR" "$ID3LIB_DIR" "$LAME_DIR"; do
    [ -d "$scratch/$d" ] || die "expected source tree $d not found; got: $(cd "$scratch" && ls -d */ | tr '\n' ' ')"
done

# --- common settings ----------------------------------------------------------
build_triplet="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)"
# Only our own prefix and the MinGW sysroot may provide pkg-config data.
export PKG_CONFIG_LIBDIR="$stage/lib/pkgconfig:/usr/$HOST/lib/pkgconfig"
export PKG_CONFIG_PATH=
unset PKG_CONFIG_SYSROOT_DIR CFLAGS CXXFLAGS CPPFLAGS LDFLAGS LIBS || true

configure_args=(--build="$build_triplet" --host="$HOST" --prefix="$stage"
                --disable-shared --enable-static CC="$CC" CXX="$CXX")

autotools_build() {  # dir configure-args...
    local dir="$1"; shift
    log "building ${dir}"
    (
        cd "$scratch/$dir"
        ./configure "${configure_args[@]}" "$@"
        make -j"$JOBS"
        make install
    ) >&2
}

# --- libogg, libvorbis, flac --------------------------------------------------
autotools_build "$OGG_DIR"

autotools_build "$VORBIS_DIR" \
    --disable-docs --disable-examples --disable-oggtest --with-ogg="$stage"

# The two protection flags keep consumers from needing -lssp.
autotools_build "$FLAC_DIR" \
    --disable-programs --disable-examples --disable-doxygen-docs \
    --disable-thorough-tests --disable-version-from-git \
    --disable-stack-smash-protection --disable-fortify-source \
    --with-ogg="$stage" --disable-oggtest

# --- id3lib -------------------------------------------------------------------
# Debian's patches edit configure.in, so the build system is regenerated.
# Debian's mkstemp change breaks ID3_Tag::Update() on Windows: keep it off.
log "building $ID3LIB_DIR"
(
    cd "$scratch/$ID3LIB_DIR"
    libtoolize -fc
    aclocal
    autoconf
    automake --add-missing --copy
    ./configure "${configure_args[@]}" \
        CPPFLAGS="-DID3LIB_LINKOPTION=1" ac_cv_func_mkstemp=no
    make -j"$JOBS" -C include
    make -j"$JOBS" -C src
    make -C include install
    make -C src install
) >&2

# --- LAME ---------------------------------------------------------------------
log "building $LAME_DIR"
lame_cflags="-O3 -fomit-frame-pointer -ffast-math -Wall -pipe"
(
    cd "$scratch/$LAME_DIR"
    for p in "$here"/patches/lame-3.100-*.patch; do
        [ -f "$p" ] || die "no LAME patches found in $here/patches"
        log "applying $(basename "$p")"
        patch -p1 --forward --batch < "$p"
    done
    ./configure "${configure_args[@]}" \
        --disable-frontend --disable-decoder --disable-analyzer-hooks \
        CFLAGS="$lame_cflags"
    # configure must not have replaced the optimisation flags (it does so when
    # it cannot make sense of the compiler version).
    grep -Eq '^CFLAGS = .*-O3' libmp3lame/Makefile \
        || die "LAME configure dropped the optimisation flags: $(grep -E '^CFLAGS = ' libmp3lame/Makefile)"
    if grep -Eq '^CFLAGS = .*-O0' libmp3lame/Makefile; then
        die "LAME configure added -O0: $(grep -E '^CFLAGS = ' libmp3lame/Makefile)"
    fi
    make -j"$JOBS" -C libmp3lame
    make -C include install
    make -C libmp3lame install
) >&2

# --- lame_enc.dll ---------------------------------------------------------------
log "building lame_enc.dll"
(
    cd "$scratch/$LAME_DIR"
    # The record handed over by callers must be exactly 331 bytes (packed).
    printf '%s\n' '#include <windows.h>' '#include "BladeMP3EncDLL.h"' \
        '_Static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG must be 331 bytes");' \
        > "$scratch/be_config_size.c"
    "$CC" -fsyntax-only -IDll -Iinclude "$scratch/be_config_size.c" \
        || die "BE_CONFIG is not 331 bytes with the patched BladeMP3EncDLL.h"

    "$CC" $lame_cflags -shared -static -static-libgcc -s \
        -Iinclude -IDll -Ilibmp3lame \
        -o lame_enc.dll Dll/BladeMP3EncDLL.c Dll/BladeMP3EncDLL.def \
        -L"$stage/lib" -lmp3lame
    mkdir -p "$stage/bin"
    install -m 644 lame_enc.dll "$stage/bin/lame_enc.dll"
) >&2

log "checking lame_enc.dll"
dll_info="$("${HOST}-objdump" -p "$stage/bin/lame_enc.dll")"
dll_imports="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dll_info")"
while read -r dll; do
    [ -n "$dll" ] || continue
    case "${dll,,}" in
        lib*.dll) die "lame_enc.dll depends on MinGW runtime DLL $dll" ;;
    esac
done <<<"$dll_imports"
def_exports="$(sed -n '/^EXPORTS/,$p' "$scratch/$LAME_DIR/Dll/BladeMP3EncDLL.def" \
               | sed '1d; s/;.*//' | awk 'NF { print $1 }')"
[ -n "$def_exports" ] || die "no exports found in BladeMP3EncDLL.def"
while read -r sym; do
    grep -Eq "\] ${sym}\$" <<<"$dll_info" || die "lame_enc.dll does not export $sym"
done <<<"$def_exports"
log "lame_enc.dll imports: $(tr '\n' ' ' <<<"$dll_imports")"
log "lame_enc.dll exports: $(tr '\n' ' ' <<<"$def_exports")"

# --- GoogleTest -----------------------------------------------------------------
log "building GoogleTest $GTEST_VERSION"
(
    cmake -S "$GTEST_SRC" -B "$scratch/googletest-build" \
        -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$stage" \
        -DCMAKE_INSTALL_LIBDIR=lib \
        -DBUILD_GMOCK=ON \
        -DBUILD_SHARED_LIBS=OFF
    cmake --build "$scratch/googletest-build" -j "$JOBS"
    cmake --install "$scratch/googletest-build"
) >&2

# --- finish -------------------------------------------------------------------
# libtool archives and documentation are not needed; the staging path in the
# remaining text files (pkg-config) becomes the final prefix.
find "$stage/lib" -name '*.la' -delete
rm -rf -- "$stage/share/doc" "$stage/share/man"
grep -rlIF -- "$stage" "$stage" | while read -r f; do
    sed -i "s|$stage|$prefix|g" "$f"
done

for lib in libogg.a libvorbis.a libvorbisenc.a libvorbisfile.a libFLAC.a libFLAC++.a \
           libid3.a libmp3lame.a libgtest.a libgtest_main.a libgmock.a libgmock_main.a; do
    [ -f "$stage/lib/$lib" ] || die "missing $lib after the build"
done
[ -f "$stage/lib/cmake/GTest/GTestConfig.cmake" ] || die "GTestConfig.cmake not installed"

{
    echo "built $(date -u +%Y-%m-%dT%H:%M:%SZ) in $((SECONDS - started)) s"
    echo "compiler: $("$CC" --version | head -n 1)"
    (cd "$scratch" && ls -1 ./*.dsc) | sed 's|^\./||'
    echo "googletest: $GTEST_VERSION"
} > "$stage/.complete"

if [ -e "$prefix" ]; then
    old="$(mktemp -d "$parent/.$(basename "$prefix").old.XXXXXX")"
    mv -T -- "$prefix" "$old/prefix"
    mv -T -- "$stage" "$prefix"
    rm -rf -- "$old"
else
    mv -T -- "$stage" "$prefix"
fi
finished=1
log "done in $((SECONDS - started)) s: $prefix"
