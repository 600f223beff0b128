#!/usr/bin/env bash
# Runs a 64-bit Windows program under 64-bit Wine in the project's own prefix.
# Usage: scripts/wine64.sh PROGRAM.exe [ARGS...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
tandrel_wine_prefix64
"$TANDREL_WINE64" "$@"
