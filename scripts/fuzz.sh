#!/bin/sh
# Runs every libFuzzer target of the parsers and wire formats on its seeds.
#
#   scripts/fuzz.sh [seconds per target] [target ...]
#
# Builds the "fuzz" preset (clang, libFuzzer, address and undefined-behaviour
# sanitizers) into build-fuzz/, then runs the targets one after the other,
# each for the given time (30 seconds unless told), one process at a time.
# Fails when any target crashes, leaks, times out on an input or reports a
# sanitizer finding; the input that did it is left in
# build-fuzz/findings/<target>/ and the run's output in build-fuzz/logs/.
# New inputs that reach new code are kept in build-fuzz/corpus/<target>/, so a
# later run goes on from there; the committed seeds in fuzz/corpus/ are only
# read.
set -e
cd "$(dirname "$0")/.."

seconds=${1:-30}
[ $# -gt 0 ] && shift
case "$seconds" in
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [seconds per target] [target ...]" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets="$*"
if [ -z "$targets" ]; then
  targets=$(cat build-fuzz/fuzz_targets.txt)
fi

# Any sanitizer report ends the input's run as a crash; leaks are looked for
# after every input.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"

failed=""
summary=""
for target in $targets; do
  program=build-fuzz/bin/fuzz_$target
  seeds=fuzz/corpus/$target
  if [ ! -x "$program" ] || [ ! -d "$seeds" ]; then
    echo "fuzz: no target $target" >&2
    failed="$failed $target"
    continue
  fi
  mkdir -p build-fuzz/corpus/$target build-fuzz/findings/$target build-fuzz/logs
  log=build-fuzz/logs/$target.log
  dictionary=""
  if [ -f fuzz/$target.dict ]; then
    dictionary="-dict=fuzz/$target.dict"
  fi
  echo "fuzz: $target for $seconds s"
  status=0
  "$program" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/findings/$target/ $dictionary \
    build-fuzz/corpus/$target "$seeds" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $target FAILED (exit status $status); the end of $log:" >&2
    tail -n 40 "$log" >&2
    failed="$failed $target"
    summary="$summary
  $target: FAILED after ${runs:-?} executions"
  else
    summary="$summary
  $target: ${runs:-?} executions in $seconds s, no finding"
  fi
done

echo "fuzz summary:$summary"
if [ -n "$failed" ]; then
  echo "fuzz: findings in:$failed" >&2
  exit 1
fi
