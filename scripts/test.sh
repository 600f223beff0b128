#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds both targets, runs the
# unit tests and the end-to-end tests under 64-bit Wine (and the further legs
# that are set up), then prints one summary line.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"

# The set-up must leave the system's package state as it was: no architecture added.
foreign_before=$(dpkg --print-foreign-architectures)
"$here/setup.sh" || { echo "test: setup failed" >&2; exit 1; }
"$here/build.sh" || { echo "test: build failed" >&2; echo "0 passed, 1 failed"; exit 1; }

results="$TANDREL_BUILD/results"
rm -rf "$results" && mkdir -p "$results"
status=0

tandrel_wine_prefix64   # prefix and (when needed) a private display

echo "== unit tests (x86_64, Wine) =="
# GoogleTest runs under Wine: its report path is a Windows path (drive Z: is /).
winresults="Z:${results//\//\\}"
( cd "$TANDREL_BUILD/x64" && GTEST_OUTPUT="xml:$winresults\\unit.xml" ctest --output-on-failure ) || status=1

echo "== set-up script tests =="
/usr/bin/python3 -m pytest -q -p no:cacheprovider "$TANDREL_ROOT/tests/scripts" --junitxml="$results/scripts.xml" || status=1

echo "== end-to-end tests (x86_64, Wine) =="
TANDREL_DIST="$TANDREL_BUILD/x64/dist" TANDREL_ARCH=x64 \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider $TANDREL_PYTEST_RETRY "$TANDREL_ROOT/tests/e2e" --junitxml="$results/e2e-x64.xml"
rc=$?; [ $rc -eq 0 ] || [ $rc -eq 5 ] || status=1

for leg in "$here"/test-leg-*.sh; do
  [ -x "$leg" ] || continue
  "$leg" "$results" || status=1
done

foreign_after=$(dpkg --print-foreign-architectures)
if [ "$foreign_after" != "$foreign_before" ]; then
  echo "test: dpkg's foreign architectures changed during the run: '${foreign_before}' -> '${foreign_after}'" >&2
  echo "set-up leaves the system as it was" > "$results/foreign-architectures.failed"
  status=1
fi

/usr/bin/python3 "$here/summarize_results.py" "$results" || status=1
exit $status
