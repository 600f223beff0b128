#!/usr/bin/env bash
# Second leg: the end-to-end tests against the real 32-bit build, under 32-bit
# Wine through QEMU user-mode emulation. Called by test.sh with its results folder.
# Where the machine cannot run it, the leg fails with the reason; a machine
# without binfmt_misc may accept a skip with TANDREL_ALLOW_SKIP_I686=1.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
results="${1:?results folder}"

echo "== end-to-end tests (i686, 32-bit Wine under qemu-i386) =="
if ! reason=$("$here/setup-i386.sh" 2>&1 >/dev/null); then
  reason=$(printf '%s\n' "$reason" | grep -v '^$' | tail -n1)
  echo "${reason:-setup-i386.sh failed without saying why}" > "$results/i686-leg.skipped"
  if [ "${TANDREL_ALLOW_SKIP_I686:-0}" = 1 ]; then
    echo "i686 leg skipped (allowed by TANDREL_ALLOW_SKIP_I686): $(cat "$results/i686-leg.skipped")"
    exit 0
  fi
  echo "i686 leg could not run: $(cat "$results/i686-leg.skipped")" >&2
  exit 1
fi

# A prefix of its own, with the root's loader and server (scripts/env.sh).
tandrel_wine_prefix32 wineprefix32
# Start from a clean server: nothing left over from an earlier run may hold files or windows.
"$TANDREL_WINESERVER" -k 2>/dev/null || true
start=$(date +%s)
TANDREL_DIST="$TANDREL_BUILD/i686/dist" TANDREL_ARCH=i686 \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider $TANDREL_PYTEST_RETRY "$TANDREL_ROOT/tests/e2e" \
  -o junit_suite_name=e2e-i686 --junitxml="$results/e2e-i686.xml"
rc=$?
echo "i686 leg: $(( $(date +%s) - start )) s"
[ $rc -eq 0 ] || [ $rc -eq 5 ]
