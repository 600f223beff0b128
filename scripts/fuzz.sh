#!/usr/bin/env bash
# Fuzzes the parsers with libFuzzer in the native sanitizer build.
#   scripts/fuzz.sh TARGET|all SECONDS [--junit FILE]   fuzz each target for SECONDS
#   scripts/fuzz.sh replay [--junit FILE]               run every committed input once
#   scripts/fuzz.sh seeds                               remake the committed seed corpora
# TARGET is a fuzz_*.cpp name without "fuzz_" (tag_list, id3v2_tag, ...). Each
# target first replays its committed corpus and regressions
# (tests/fuzz/{corpus,regressions}/TARGET), then fuzzes at low priority, one
# process at a time, keeping what it finds in build/native/fuzz-corpus/TARGET.
# Crashes land in build/native/fuzz-artifacts/TARGET and fail the run; every
# run's figures are appended to build/native/fuzz-runs.log, its output kept in
# build/native/fuzz-logs.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${TANDREL_BUILD:-$root/build}/native"
fuzz_dir="$root/tests/fuzz"

usage() { sed -n '2,6p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 1 ] || usage
mode=$1; shift
seconds=0
if [ "$mode" != replay ] && [ "$mode" != seeds ]; then
  [ $# -ge 1 ] || usage
  seconds=$1; shift
fi
junit=""
while [ $# -gt 0 ]; do
  case $1 in
    --junit) junit=$2; shift 2 ;;
    *) usage ;;
  esac
done

build_native() {
  if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root/tests/native" -B "$build" -G Ninja >/dev/null || return 1
  fi
  local log="$build/build.log"
  if ! ninja -C "$build" -j 2 "$@" >"$log" 2>&1; then
    grep -v -E '^\[[0-9]+/[0-9]+\] ' "$log" | tail -n 40 >&2
    echo "fuzz: native build failed (log: $log)" >&2
    return 1
  fi
}
build_native || exit 1

all_targets() { for f in "$fuzz_dir"/fuzz_*.cpp; do basename "$f" .cpp | sed 's/^fuzz_//'; done; }

if [ "$mode" = seeds ]; then
  # Real files, crafted damage, and the unit tests' own cases, each set merged
  # in only where it adds coverage over what is already there.
  build_native native_seed_capture || exit 1
  staged="$(mktemp -d)"; trap 'rm -rf "$staged"' EXIT
  "$fuzz_dir/make_real_seeds.sh" "$staged/real" >/dev/null || exit 1
  python3 "$fuzz_dir/make_crafted_seeds.py" "$staged/crafted" || exit 1
  TANDREL_SEED_DIR="$staged/unit" "$build/native_seed_capture" --gtest_brief=1 >/dev/null 2>&1
  for t in $(all_targets); do
    corpus="$fuzz_dir/corpus/$t"
    mkdir -p "$corpus"
    # Real and crafted seeds are kept whole; the unit tests' only where they add something.
    for set in real crafted; do
      [ -d "$staged/$set/$t" ] && cp "$staged/$set/$t"/* "$corpus/"
    done
    if [ -d "$staged/unit/$t" ]; then
      "$build/fuzzers/fuzz_$t" -merge=1 -max_len=65536 "$corpus" "$staged/unit/$t" >/dev/null 2>&1
    fi
    echo "seeds: $t: $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KB"
  done
  exit 0
fi

if [ "$mode" = all ] || [ "$mode" = replay ]; then
  targets=$(all_targets)
else
  [ -f "$fuzz_dir/fuzz_$mode.cpp" ] || { echo "fuzz: no target $mode (have: $(all_targets | tr '\n' ' '))" >&2; exit 2; }
  targets=$mode
fi

log="$build/fuzz-runs.log"
cases=""
failures=0
count=0
for t in $targets; do
  exe="$build/fuzzers/fuzz_$t"
  work="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$work" "$artifacts"
  mkdir -p "$build/fuzz-logs"
  out="$build/fuzz-logs/$t-$(date -u +%Y%m%dT%H%M%S)-$$.out"  # one per run: runs may overlap
  start=$(date +%s)
  failure=""
  # Every committed input once: corpus and regressions (a fixed crash stays fixed).
  inputs=()
  for d in "$fuzz_dir/corpus/$t" "$fuzz_dir/regressions/$t"; do
    [ -d "$d" ] && inputs+=("$d"/*)
  done
  if [ ${#inputs[@]} -gt 0 ] && ! "$exe" -timeout=10 "${inputs[@]}" >"$out.replay" 2>&1; then
    failure="replay of committed inputs failed: $(grep -a -m1 -E 'ERROR|runtime error|check failed' "$out.replay")"
  fi
  if [ -z "$failure" ] && [ "$mode" != replay ]; then
    nice -n 19 "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$fuzz_dir/corpus/$t" >"$out" 2>&1
    rc=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out" | tail -1)
    cov=$(grep -a -E '^#[0-9]+.*cov: ' "$out" | tail -1 | sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+).*/cov \1 ft \2 corpus \3/')
    result=ok
    if [ $rc -ne 0 ]; then
      result="crash: $(ls -t "$artifacts" | head -1)"
      failure="fuzzing found a failure (rc $rc, $artifacts): $(grep -a -m1 -E 'ERROR|runtime error|check failed' "$out")"
    fi
    echo "$(date -u +%FT%TZ) $t ${seconds}s execs ${execs:-0} ${cov:-} $result" | tee -a "$log"
  elif [ -n "$failure" ]; then
    echo "$t: $failure"
  else
    echo "$t: ${#inputs[@]} committed inputs replayed"
  fi
  elapsed=$(( $(date +%s) - start ))
  count=$((count + 1))
  name="$t"
  if [ -n "$failure" ]; then
    failures=$((failures + 1))
    msg=$(printf '%s' "$failure" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g')
    cases+="  <testcase classname=\"fuzz\" name=\"$name\" time=\"$elapsed\"><failure message=\"$msg\"/></testcase>"$'\n'
  else
    cases+="  <testcase classname=\"fuzz\" name=\"$name\" time=\"$elapsed\"/>"$'\n'
  fi
done

if [ -n "$junit" ]; then
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuite name=\"native-fuzz\" tests=\"$count\" failures=\"$failures\">"
    printf '%s' "$cases"
    echo '</testsuite>'
  } >"$junit"
fi
[ $failures -eq 0 ]
