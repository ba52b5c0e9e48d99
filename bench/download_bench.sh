#!/bin/sh
# downloadToMemory against curl: both fetch the same 32 MiB body from the
# same loopback server in the same run; prints each one's best throughput of
# a few runs and their ratio.
#
# Usage: bench/download_bench.sh [build folder]   (default: build)
# The build folder must hold the benchmark programs:
#   cmake --build --preset mingw --target benchmarks
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-3}
size=$((32 * 1024 * 1024))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
python3 "$here/../tests/support/loopback_http_server.py" --dir "$work" --idle 60 &
i=0
while [ ! -s "$work/port" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
port=$(cat "$work/port")
url="http://127.0.0.1:$port/bench/body.bin?size=$size"

# The server makes the body once; fetch it once before timing anything.
curl -s -o /dev/null "$url"

best() { sort -g | head -n 1; }

curl_seconds=$(
  for run in $(seq "$runs"); do
    curl -s -o /dev/null -w '%{time_total}\n' "$url"
  done | best)

wine_seconds=$(
  for run in $(seq "$runs"); do
    out=$("$build/wine/wine-run.sh" "$build/bin/download_bench_client.exe" "$url" | tr -d '\r')
    chars=${out% *}
    if [ "$chars" != "$size" ]; then
      echo "download_bench_client got $chars characters instead of $size" >&2
      exit 1
    fi
    echo "${out#* }"
  done | best)

awk -v size="$size" -v c="$curl_seconds" -v w="$wine_seconds" 'BEGIN {
  mib = size / 1048576
  printf "32 MiB body from the loopback server (best of runs):\n"
  printf "  curl (Linux)                  %8.3f s  %8.1f MiB/s\n", c, mib / c
  printf "  downloadToMemory (Wine)       %8.3f s  %8.1f MiB/s\n", w, mib / w
  printf "  throughput downloadToMemory / curl: %.2f\n", c / w
}'
