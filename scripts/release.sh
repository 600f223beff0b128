#!/usr/bin/env bash
# The release users install, in build/release: the installer
# lumesrc-<version>-setup.exe, the zip lumesrc-<version>-win32.zip (the two
# stripped 32-bit binaries, README.txt, SHA256SUMS) and the debug information
# beside them (lumesrc-<version>-win32-symbols.zip). The version is the
# project's VERSION in CMakeLists.txt.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
"$here/setup.sh"
"$here/build.sh" i686
cd "$TANDREL_BUILD/release"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$TANDREL_BUILD/i686/CMakeCache.txt")
ls -l "lumesrc-$version-setup.exe" "lumesrc-$version-win32.zip" "lumesrc-$version-win32-symbols.zip"
