#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine. Idempotent.
set -euo pipefail
PACKAGES=(
  # cross compilers for both targets, the -posix ones for GoogleTest's std::mutex
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64 mingw-w64-tools cmake ninja-build googletest
  # running and testing: 64-bit Wine under a virtual display
  wine64 xvfb xauth x11-utils imagemagick python3-pytest python3-pytest-rerunfailures
  # real encoders and taggers for test audio
  sox libsox-fmt-all flac lame vorbis-tools wavpack python3-mutagen id3v2 eyed3
  # the native sanitizer and fuzzing build of the parsers
  clang libclang-rt-14-dev
  # the library-scan benchmark: the tools users reach for instead, I/O counting, the plot
  ffmpeg strace python3-matplotlib
  # the release: the Windows installer
  nsis
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
