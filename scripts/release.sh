#!/bin/sh
# Cuts a release: builds the deliverables with the mingw preset and writes
#   <build>/release/vantor-native-<version>.zip   VantorUpdater.exe, vreg64.dll,
#       the Java binding (java/vreg64-<version>.jar with its -sources and
#       -javadoc jars and its Maven POM java/vreg64-<version>.pom),
#       README.md, SECURITY.md, CHANGELOG.md, THIRD-PARTY-NOTICES.txt,
#       docs/INTEGRATION.md, docs/examples/UpdaterLauncher.java, the README's
#       pictures, and SHA256SUMS of every other file of the zip
#   <build>/release/SHA256SUMS                    every other file of
#       <build>/release (the zip), so that `sha256sum -c SHA256SUMS` checks
#       the folder where it lies, and the zip's own where it is unpacked
# <version> is the CMake project version; CHANGELOG.md must have a section
# "## <version> (<date>)" for it. THIRD-PARTY-NOTICES.txt holds the licence
# texts of the toolchain's libraries linked into both binaries, from the
# build machine's packages (scripts/third_party_notices.py); the release
# fails when one cannot be found. Two runs on one commit give the same bytes:
# entries are sorted and dated at the commit's time.
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
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "release: no project version in $build/CMakeCache.txt" >&2
  exit 2
fi
# Every release says what changed, and raises the version (an installed
# updater is replaced only by a greater product version).
heading=$(printf '%s' "$version" | sed 's/\./\\./g')
if ! grep -Eq "^## $heading \([0-9]{4}-[0-9]{2}-[0-9]{2}\)\$" CHANGELOG.md; then
  echo "release: CHANGELOG.md has no section \"## $version (YYYY-MM-DD)\"; write it first" >&2
  exit 2
fi
cmake --build "$build" --target VantorUpdater vreg64 vreg64_jars -j 2 >/dev/null
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")

# The commit's time dates every entry and the signatures.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 315532800)}

out=$(cd "$build" && pwd)/release
stage=$(cd "$build" && pwd)/release-stage
rm -rf "$out" "$stage"
mkdir -p "$out" "$stage/java" "$stage/docs/examples" "$stage/docs/images"
cp "$build/bin/VantorUpdater.exe" "$build/bin/vreg64.dll" README.md SECURITY.md CHANGELOG.md "$stage/"
cp docs/INTEGRATION.md "$stage/docs/"
cp docs/examples/UpdaterLauncher.java "$stage/docs/examples/"
cp docs/images/*.png "$stage/docs/images/"
for jar in "" -sources -javadoc; do
  cp "$build/java/vreg64-$version$jar.jar" "$stage/java/"
done
cp "$build/java/vreg64-$version.pom" "$stage/java/"
python3 scripts/third_party_notices.py "$compiler" "$stage/THIRD-PARTY-NOTICES.txt"

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

# The zip's own checksums, of every file beside them, made last.
(
  cd "$stage"
  find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS
)
zip="vantor-native-$version.zip"
python3 scripts/pack_zip.py --epoch "$epoch" "$out/$zip" "$stage"
(
  cd "$out"
  find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS
)
rm -rf "$stage"
echo "release: $out/$zip"
