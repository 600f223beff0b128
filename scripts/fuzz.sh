#!/usr/bin/env bash
# Fuzzes the parsers with libFuzzer in the native sanitizer build.
#   scripts/fuzz.sh TARGET|all SECONDS [--junit FILE]   fuzz each target for SECONDS
#   scripts/fuzz.sh replay [--junit FILE]               run every committed input once, compare golden lines
#   scripts/fuzz.sh golden [TARGET]                     re-record the golden lines after an intended change
#   scripts/fuzz.sh seeds                               remake the committed seed corpora
# TARGET is a fuzz_*.cpp name without "fuzz_" (tag_list, id3v2_tag, ...). Each
# target first replays its committed corpus and regressions
# (tests/fuzz/{corpus,regressions}/TARGET), and compares what the parsers made
# of each input, one line per input, with tests/fuzz/golden/TARGET.txt (any
# difference fails the run, shown in build/native/golden-out/TARGET.diff; after an
# intended change re-record and commit the lines), then fuzzes at low priority, one
# process at a time, keeping what it finds in build/native/fuzz-corpus/TARGET.
# Crashes land in build/native/fuzz-artifacts/TARGET and fail the run; every
# run's figures are appended to build/native/fuzz-runs.log, its output kept in
# build/native/fuzz-logs.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${TANDREL_BUILD:-$root/build}/native"
fuzz_dir="$root/tests/fuzz"

usage() { sed -n '2,7p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 1 ] || usage
mode=$1; shift
seconds=0
golden_target=""
if [ "$mode" = golden ]; then
  [ $# -ge 1 ] && { golden_target=$1; shift; }
elif [ "$mode" != replay ] && [ "$mode" != seeds ]; then
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

# The golden line of every committed input of target $1, sorted, into file $2
# (the target's golden driver prints them, build/native/golden/golden_TARGET).
golden_lines() {
  local t=$1 out=$2 inputs=() d f
  local LC_ALL=C  # one order on every machine, should a parser ever keep state between inputs
  for d in "$fuzz_dir/corpus/$t" "$fuzz_dir/regressions/$t"; do
    for f in "$d"/*; do [ -f "$f" ] && inputs+=("$f"); done
  done
  : >"$out"
  [ ${#inputs[@]} -gt 0 ] || return 0
  timeout 600 "$build/golden/golden_$t" "${inputs[@]}" | LC_ALL=C sort >"$out" || return 1
  # Lines are named by file name alone: one name in corpus and regressions would be ambiguous.
  local twice
  twice=$(cut -d' ' -f1 "$out" | uniq -d | head -3 | tr '\n' ' ')
  if [ -n "$twice" ]; then
    echo "golden: $t: input names in both corpus and regressions: $twice" >&2
    return 1
  fi
}

# Compares target $1's golden lines now (file $2) with the recorded ones and
# prints every difference (a summary line first); fails when there is one.
golden_compare() {
  local t=$1 now=$2 recorded="$fuzz_dir/golden/$t.txt"
  if [ ! -f "$recorded" ]; then
    echo "golden $t: no recorded lines (tests/fuzz/golden/$t.txt); scripts/fuzz.sh golden $t records them"
    return 1
  fi
  cmp -s "$recorded" "$now" && return 0
  awk -v t="$t" -v now="$now" -v recorded="$recorded" '
    function key(line) { sp = index(line, " "); return sp ? substr(line, 1, sp - 1) : line }
    function value(line) { sp = index(line, " "); return sp ? substr(line, sp + 1) : "" }
    BEGIN {
      while ((getline line < now) > 0) { k = key(line); cur[k] = value(line); inputs++ }
      while ((getline line < recorded) > 0) {
        k = key(line); old[k] = value(line)
        if (!(k in cur)) { gone++; text = text sprintf("recorded line for an input that is gone: %s\n  recorded: %s\n", k, old[k]) }
      }
      close(now)
      while ((getline line < now) > 0) {
        k = key(line)
        if (!(k in old)) { added++; text = text sprintf("input without a recorded line: %s\n  now:      %s\n", k, cur[k]) }
        else if (old[k] != cur[k]) { changed++; text = text sprintf("changed: %s\n  recorded: %s\n  now:      %s\n", k, old[k], cur[k]) }
      }
      printf "golden %s: %d of %d inputs changed, %d without a recorded line, %d recorded lines for inputs gone (tests/fuzz/golden/%s.txt; an intended change is re-recorded with scripts/fuzz.sh golden %s)\n", t, changed, inputs, added, gone, t, t
      printf "%s", text
    }'
  return 1
}

if [ "$mode" = golden ]; then
  if [ -n "$golden_target" ]; then
    [ -f "$fuzz_dir/fuzz_$golden_target.cpp" ] || { echo "fuzz: no target $golden_target (have: $(all_targets | tr '\n' ' '))" >&2; exit 2; }
    targets=$golden_target
  else
    targets=$(all_targets)
  fi
  mkdir -p "$fuzz_dir/golden" "$build/golden-out"
  for t in $targets; do
    lines="$build/golden-out/$t.txt"
    if ! golden_lines "$t" "$lines"; then
      echo "golden: $t: the golden driver failed; nothing recorded" >&2
      exit 1
    fi
    cp "$lines" "$fuzz_dir/golden/$t.txt"
    echo "golden: $t: $(wc -l <"$lines") lines, $(( ($(wc -c <"$lines") + 1023) / 1024 )) KB recorded"
  done
  echo "golden: review the change with git diff tests/fuzz/golden before committing it"
  exit 0
fi

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
  echo "seeds: new inputs need their golden lines: scripts/fuzz.sh golden"
  exit 0
fi

if [ "$mode" = all ] || [ "$mode" = replay ]; then
  targets=$(all_targets)
else
  [ -f "$fuzz_dir/fuzz_$mode.cpp" ] || { echo "fuzz: no target $mode (have: $(all_targets | tr '\n' ' '))" >&2; exit 2; }
  targets=$mode
fi

xml_escape() { sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g'; }

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
  # What the parsers made of those inputs, against the recorded lines.
  golden_failure=""
  golden_skipped=""
  golden_report="$build/golden-out/$t.diff"
  mkdir -p "$build/golden-out"
  : >"$golden_report"
  golden_start=$(date +%s)
  if [ -n "$failure" ]; then
    golden_skipped="not compared: the replay failed"
  elif ! golden_lines "$t" "$build/golden-out/$t.txt" 2>"$build/golden-out/$t.err"; then
    golden_failure="golden $t: the golden driver failed: $(grep -a -m1 -E 'ERROR|runtime error|check failed|golden:' "$build/golden-out/$t.err")"
  elif ! golden_compare "$t" "$build/golden-out/$t.txt" >"$golden_report"; then
    golden_failure=$(head -n 1 "$golden_report")
  fi
  golden_elapsed=$(( $(date +%s) - golden_start ))
  if [ -n "$golden_failure" ]; then
    # The first differences here, all of them in the report file.
    echo "$golden_failure"
    sed -n '2,31p' "$golden_report"
    [ "$(wc -l <"$golden_report")" -le 31 ] || echo "  ... (all of them: $golden_report)"
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
    echo "$t: ${#inputs[@]} committed inputs replayed$([ -z "$golden_failure" ] && echo ", golden lines match")"
  fi
  elapsed=$(( $(date +%s) - start ))
  count=$((count + 1))
  name="$t"
  if [ -n "$failure" ]; then
    failures=$((failures + 1))
    msg=$(printf '%s' "$failure" | xml_escape)
    cases+="  <testcase classname=\"fuzz\" name=\"$name\" time=\"$elapsed\"><failure message=\"$msg\"/></testcase>"$'\n'
  else
    cases+="  <testcase classname=\"fuzz\" name=\"$name\" time=\"$elapsed\"/>"$'\n'
  fi
  count=$((count + 1))
  if [ -n "$golden_failure" ]; then
    failures=$((failures + 1))
    msg=$(printf '%s' "$golden_failure" | xml_escape)
    body=$(head -n 200 "$golden_report" | xml_escape)
    cases+="  <testcase classname=\"golden\" name=\"$name\" time=\"$golden_elapsed\"><failure message=\"$msg\">$body</failure></testcase>"$'\n'
  elif [ -n "$golden_skipped" ]; then
    cases+="  <testcase classname=\"golden\" name=\"$name\" time=\"0\"><skipped message=\"$golden_skipped\"/></testcase>"$'\n'
  else
    cases+="  <testcase classname=\"golden\" name=\"$name\" time=\"$golden_elapsed\"/>"$'\n'
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
