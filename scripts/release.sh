#!/bin/sh
# Cuts a release: builds the deliverables with the mingw preset and writes
#   <build>/release/vantor-native-<version>.zip   VantorUpdater.exe, vreg64.dll,
#       the Java binding (java/vreg64-<version>.jar with its -sources and
#       -javadoc jars), README.md, SECURITY.md and docs/INTEGRATION.md
#   <build>/release/SHA256SUMS                    every file of the zip, and the zip
# <version> is the CMake project version. Two runs on one commit give the
# same bytes: entries are sorted and dated at the commit's time.
#
# Signing: when VANTOR_SIGN_CERT and VANTOR_SIGN_KEY name a code-signing
# certificate and its private key (PEM files), both deliverables are signed
# with osslsigncode (SHA-256) before they are packed, dated at the commit's
# time; VANTOR_SIGN_TIMESTAMP_URL adds an RFC 3161 time stamp from that
# server (the bundle then differs from run to run by its time stamps). The
# build's own outputs stay unsigned.
#
# Usage: scripts/release.sh [build folder]   (default: build, the mingw preset's)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
build=${1:-build}

if [ "$build" = build ] && [ ! -f build/CMakeCache.txt ]; then
  cmake --preset mingw >/dev/null
fi
cmake --build "$build" --target VantorUpdater vreg64 vreg64_jars -j 2 >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "release: no project version in $build/CMakeCache.txt" >&2
  exit 2
fi
# The commit's time dates every entry and the signatures.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 315532800)}

out=$(cd "$build" && pwd)/release
stage=$(cd "$build" && pwd)/release-stage
rm -rf "$out" "$stage"
mkdir -p "$out" "$stage/java" "$stage/docs"
cp "$build/bin/VantorUpdater.exe" "$build/bin/vreg64.dll" README.md SECURITY.md "$stage/"
cp docs/INTEGRATION.md "$stage/docs/"
for jar in "" -sources -javadoc; do
  cp "$build/java/vreg64-$version$jar.jar" "$stage/java/"
done

if [ -n "${VANTOR_SIGN_CERT:-}" ] && [ -n "${VANTOR_SIGN_KEY:-}" ]; then
  for file in VantorUpdater.exe vreg64.dll; do
    set -- -certs "$VANTOR_SIGN_CERT" -key "$VANTOR_SIGN_KEY" -h sha256 -n "Vantor" -time "$epoch"
    if [ -n "${VANTOR_SIGN_TIMESTAMP_URL:-}" ]; then
      set -- "$@" -ts "$VANTOR_SIGN_TIMESTAMP_URL"
    fi
    osslsigncode sign "$@" -in "$stage/$file" -out "$stage/$file.signed" >/dev/null
    mv "$stage/$file.signed" "$stage/$file"
  done
  echo "release: VantorUpdater.exe and vreg64.dll signed with $VANTOR_SIGN_CERT"
else
  echo "release: unsigned (set VANTOR_SIGN_CERT and VANTOR_SIGN_KEY to sign)"
fi

zip="vantor-native-$version.zip"
python3 scripts/pack_zip.py --epoch "$epoch" "$out/$zip" "$stage"
(
  cd "$stage"
  find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum
  cd "$out"
  sha256sum "$zip"
) >"$out/SHA256SUMS"
rm -rf "$stage"
echo "release: $out/$zip"
