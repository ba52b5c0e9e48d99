#!/bin/sh
# downloadToMemory against two baselines that fetch the same 32 MiB body from
# the same loopback server in the same run: curl on Linux, and a bare WinINet
# loop (wininet_loop_bench_client: InternetOpenUrlW, then 8,192-byte
# InternetReadFile calls appended to one buffer) in the same Wine prefix,
# which is the fair one for a Windows program under Wine. The two Windows
# clients take turns, run after run, so that a change of the machine's load
# falls on both. Prints each one's best and median time of the runs and the
# throughput ratios of both: single runs of a Wine process vary by a fifth
# and more on a shared machine, and one lucky run decides a best time, so
# the medians are the figure to read.
#
# Usage: bench/download_bench.sh [build folder]   (default: build)
# The build folder must hold the benchmark programs:
#   cmake --build --preset mingw --target benchmarks
# RUNS sets the number of runs of each (default 15).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${RUNS:-15}
size=$((32 * 1024 * 1024))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
python3 "$here/../tests/support/loopback_http_server.py" --dir "$work" --idle 60 &
i=0
while [ ! -s "$work/port" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if [ ! -s "$work/port" ]; then
  echo "the loopback server did not start" >&2
  exit 2
fi
port=$(cat "$work/port")
url="http://127.0.0.1:$port/bench/body.bin?size=$size"

# The server makes the body once; fetch it once before timing anything.
curl -s -o /dev/null "$url"

best() { sort -g | head -n 1; }
# The middle one of an odd count, the upper middle one of an even count.
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int(NR / 2) + 1] }'; }

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
bare_best=$(best <"$work/bare")
bare_median=$(median <"$work/bare")
wine_best=$(best <"$work/memory")
wine_median=$(median <"$work/memory")

awk -v size="$size" -v runs="$runs" -v c="$curl_seconds" -v bb="$bare_best" -v bm="$bare_median" \
    -v wb="$wine_best" -v wm="$wine_median" 'BEGIN {
  mib = size / 1048576
  printf "32 MiB body from the loopback server (%d runs each):\n", runs
  printf "  %-30s %10s %10s %12s\n", "", "best s", "median s", "median MiB/s"
  printf "  %-30s %10.3f %10s %12.1f\n", "curl (Linux, best)", c, "", mib / c
  printf "  %-30s %10.3f %10.3f %12.1f\n", "bare WinINet loop (Wine)", bb, bm, mib / bm
  printf "  %-30s %10.3f %10.3f %12.1f\n", "downloadToMemory (Wine)", wb, wm, mib / wm
  printf "  throughput downloadToMemory / bare WinINet loop: %.2f by medians (%.2f by best runs)\n", bm / wm, bb / wb
  printf "  throughput downloadToMemory / curl:              %.2f\n", c / wb
}'
