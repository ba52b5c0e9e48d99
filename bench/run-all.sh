#!/bin/sh
# Builds and runs every benchmark of a configured MinGW build (default: build/).
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target benchmarks -j 2
for program in "$build"/bin/*_bench.exe; do
  echo "== $(basename "$program" .exe)"
  "$build/wine/wine-run.sh" "$program"
done
for script in bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script" .sh)"
  sh "$script" "$build"
done
