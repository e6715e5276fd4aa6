#!/bin/bash
# Installs the Debian packages the build, the tests and the interoperability checks need (only missing ones).
set -euo pipefail
packages=(
  # cross toolchain, resource compiler, IDL compiler, zlib for Windows
  mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  # build tools; autotools and dpkg-dev for the dependency source packages
  cmake make patch autoconf automake libtool dpkg-dev ca-certificates
  # the tests run the Windows programs under Wine
  wine wine64
  # media decoding through the platform's media framework under Wine
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
  # independent tools that check our files and make test input
  sox ffmpeg python3-mutagen flac vorbis-tools lame
  # CD images (ISO 9660 with Joliet) are read back by these
  genisoimage xorriso
  # the saved burn lists are checked as XML by xmllint
  libxml2-utils
  # the Windows Installer package is compiled from its WiX source
  wixl
  # the burner's help file is compiled by the Free Pascal CHM compiler and read back with 7-Zip
  fp-utils p7zip-full
  # GoogleTest sources, cross-built by deps/
  googletest
)
missing=()
for package in "${packages[@]}"; do
  [[ "$package" == \#* ]] && continue
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi
