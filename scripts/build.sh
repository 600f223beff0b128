#!/usr/bin/env bash
# Builds both targets: build/i686/dist (the 32-bit deliverables) and build/x64/dist
# (the test build with unit tests), then the release users install from the
# 32-bit build: build/release (scripts/release.sh). `build.sh i686` builds only
# the 32-bit target and the release.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
build_one() {  # name toolchain extra-args...
  local name=$1 toolchain=$2; shift 2
  cmake -S "$TANDREL_ROOT" -B "$TANDREL_BUILD/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TANDREL_ROOT/cmake/toolchain-$toolchain.cmake" "$@" >/dev/null
  local log="$TANDREL_BUILD/$name.log"
  if ! ninja -C "$TANDREL_BUILD/$name" -j 2 all $([ "$name" = i686 ] && echo release) >"$log" 2>&1; then
    grep -v -E '^\[[0-9]+/[0-9]+\] ' "$log" | tail -n 60
    echo "build: $name failed (full log: $log)" >&2
    return 1
  fi
}
build_one i686 i686 -DTANDREL_RELEASE_DIR="$TANDREL_BUILD/release"
[ "${1:-}" = i686 ] && exit 0
build_one x64 x86_64 -DTANDREL_TESTS=ON
echo "build: $TANDREL_BUILD/i686/dist and $TANDREL_BUILD/x64/dist (test builds with the stand-in library: never copy them into a player's folder); $TANDREL_BUILD/release (what users install)"
