#!/usr/bin/env bash
# Native leg: the parsers built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer; their unit tests, then a short bounded fuzz run
# of every libFuzzer target (15 s each), which also replays every committed
# seed and regression input. Called by test.sh with its results folder.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/env.sh"
results="${1:?results folder}"
seconds="${TANDREL_FUZZ_SECONDS:-15}"

echo "== native sanitizer build: unit tests and fuzzing (${seconds} s a target) =="
if ! command -v clang++ >/dev/null; then
  echo "clang++ not installed" > "$results/native-leg.skipped"
  echo "native leg could not run: clang++ not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
status=0
start=$(date +%s)
# fuzz.sh builds the whole native tree (unit tests too) before it fuzzes.
"$here/fuzz.sh" all "$seconds" --junit "$results/native-fuzz.xml" || status=1
native="$TANDREL_BUILD/native"
if [ -x "$native/native_unit_tests" ]; then
  "$native/native_unit_tests" --gtest_brief=1 --gtest_output="xml:$results/native-unit.xml" || status=1
else
  echo "native unit tests were not built" >&2
  status=1
fi
echo "native leg: $(( $(date +%s) - start )) s"
exit $status
