#!/bin/sh
# Every test: installs what is missing, builds the Windows deliverables, their
# tests and the benchmarks with MinGW-w64 and runs the tests under Wine, then
# builds the pure code natively with the sanitizers and runs its tests, and
# last runs every fuzz target of the parsers and wire formats for 30 seconds
# on its seeds.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

cmake --preset mingw
cmake --build --preset mingw
# The benchmarks are built (not run: their figures are read by people), so
# that none of them falls behind the code it measures.
cmake --build --preset mingw --target benchmarks
ctest --preset mingw

cmake --preset native
cmake --build --preset native
ctest --preset native

sh scripts/fuzz.sh 30
