#!/bin/sh
# Every test: installs what is missing, builds the Windows deliverables and
# their tests with MinGW-w64 and runs them under Wine, then builds the pure
# code natively with the sanitizers and runs its tests, and last runs every
# fuzz target of the parsers and wire formats for 30 seconds on its seeds.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

cmake --preset mingw
cmake --build --preset mingw
ctest --preset mingw

cmake --preset native
cmake --build --preset native
ctest --preset native

sh scripts/fuzz.sh 30
