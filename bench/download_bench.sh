#!/bin/sh
# downloadToMemory against two baselines that fetch the same 32 MiB body from
# the same loopback server in the same run: curl on Linux, and a bare WinINet
# loop (wininet_loop_bench_client: InternetOpenUrlW, then 8,192-byte
# InternetReadFile calls appended to one buffer) in the same Wine prefix,
# which is the fair one for a Windows program under Wine. The two Windows
# clients take turns, run after run, so that a change of the machine's load
# falls on both. Prints each one's best time of the runs and the throughput
# ratios.
#
# Usage: bench/download_bench.sh [build folder]   (default: build)
# The build folder must hold the benchmark programs:
#   cmake --build --preset mingw --target benchmarks
# RUNS sets the number of runs of each (default 10).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-10}
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

# Runs a Windows client on the URL and prints its seconds, after checking
# that it got the whole body.
client_seconds() {
  out=$("$build/wine/wine-run.sh" "$build/bin/$1.exe" "$url" | tr -d '\r')
  got=${out% *}
  if [ "$got" != "$size" ]; then
    echo "$1 got $got units instead of $size" >&2
    exit 1
  fi
  echo "${out#* }"
}

for run in $(seq "$runs"); do
  client_seconds wininet_loop_bench_client >>"$work/bare"
  client_seconds download_bench_client >>"$work/memory"
done
bare_seconds=$(best <"$work/bare")
wine_seconds=$(best <"$work/memory")

awk -v size="$size" -v c="$curl_seconds" -v b="$bare_seconds" -v w="$wine_seconds" 'BEGIN {
  mib = size / 1048576
  printf "32 MiB body from the loopback server (best of runs):\n"
  printf "  curl (Linux)                  %8.3f s  %8.1f MiB/s\n", c, mib / c
  printf "  bare WinINet loop (Wine)      %8.3f s  %8.1f MiB/s\n", b, mib / b
  printf "  downloadToMemory (Wine)       %8.3f s  %8.1f MiB/s\n", w, mib / w
  printf "  throughput downloadToMemory / bare WinINet loop: %.2f\n", b / w
  printf "  throughput downloadToMemory / curl:              %.2f\n", c / w
}'
