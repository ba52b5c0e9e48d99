#!/bin/sh
# The release as a team that ships it would cut and check it: a throwaway
# code-signing certificate, two runs of scripts/release.sh with it, then
#  - both runs gave the same zip, byte for byte;
#  - the zip holds exactly the bundle's files; sha256sum -c passes beside
#    the zip and inside it; notices, changelog, POM, manifests and Javadoc
#    title are there (check_bundle.py);
#  - a version without a changelog section, and a library without a licence
#    text, stop the release;
#  - the jar's classes declare exactly the natives that vreg64.dll exports;
#  - osslsigncode accepts both signed files;
#  - WinVerifyTrust under Wine (which checks the digest, not the chain)
#    accepts them, and refuses a copy with one byte changed and the unsigned
#    build output;
#  - vreg64.dll carries the project version.
# Usage: release_test.sh <build folder> <source folder>
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
run="$build/wine/wine-run.sh"
work="$build/release-test"
rm -rf "$work"
mkdir -p "$work"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vantor release test" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export VANTOR_SIGN_CERT="$work/cert.pem" VANTOR_SIGN_KEY="$work/key.pem"
# Signed after the certificate was made, as a real signature is.
export SOURCE_DATE_EPOCH=$(($(date +%s) + 60))

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip="$build/release/vantor-native-$version.zip"
sh "$source/scripts/release.sh" "$build" >"$work/release.txt"
cat "$work/release.txt"
grep -q "signed with" "$work/release.txt"
cp "$zip" "$work/first.zip"
sh "$source/scripts/release.sh" "$build" >/dev/null
cmp "$work/first.zip" "$zip"
echo "two runs: the same zip"

python3 "$source/tests/release/check_bundle.py" "$build/release" "$version" "$work/bundle"

# The same scripts with a changelog that lacks this version's section refuse
# before they build or touch the release folder.
mkdir -p "$work/unlogged/scripts"
cp "$source/scripts/release.sh" "$work/unlogged/scripts/"
printf '# Changelog\n\n## 0.0.1 (2020-01-01)\n\n- older\n' >"$work/unlogged/CHANGELOG.md"
if sh "$work/unlogged/scripts/release.sh" "$build" >/dev/null 2>"$work/unlogged.txt"; then
  echo "a release without a changelog section was cut" >&2; exit 1
fi
grep -q "CHANGELOG.md has no section \"## $version" "$work/unlogged.txt"
[ -f "$zip" ] || { echo "the refused release removed the last one" >&2; exit 1; }
# A library that no package owns has no licence text: the notices refuse.
printf '#!/bin/sh\necho %s\n' "$work/cert.pem" >"$work/compiler"
chmod +x "$work/compiler"
if python3 "$source/scripts/third_party_notices.py" "$work/compiler" "$work/notices.txt" 2>"$work/notices.err"; then
  echo "notices were written for a library without a licence text" >&2; exit 1
fi
echo "refused: a version without a changelog section, a library without a licence text"

for file in VantorUpdater.exe vreg64.dll; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/bundle/$file" >"$work/verify-$file.txt" 2>&1 ||
    { cat "$work/verify-$file.txt"; echo "osslsigncode refuses $file" >&2; exit 1; }
done
echo "osslsigncode: both files verified"

# One byte of the program's code changed after signing.
python3 - "$work/bundle/VantorUpdater.exe" "$work/changed.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[0x1000] ^= 0xFF
open(sys.argv[2], "wb").write(data)
PY
trust() {
  "$run" "$build/bin/release_check.exe" trust "$(winepath_of "$1")" | tr -d '\r'
}
winepath_of() {
  printf 'Z:%s' "$1" | tr '/' '\\'
}
for file in VantorUpdater.exe vreg64.dll; do
  answer=$(trust "$work/bundle/$file")
  [ "$answer" = 0x00000000 ] || { echo "WinVerifyTrust refuses the signed $file: $answer" >&2; exit 1; }
done
answer=$(trust "$work/changed.exe")
[ "$answer" != 0x00000000 ] || { echo "WinVerifyTrust accepts a changed file" >&2; exit 1; }
unsigned=$(trust "$build/bin/VantorUpdater.exe")
[ "$unsigned" != 0x00000000 ] || { echo "WinVerifyTrust accepts the unsigned file" >&2; exit 1; }
echo "WinVerifyTrust: signed files trusted, changed $answer, unsigned $unsigned"

carried=$("$run" "$build/bin/release_check.exe" version "$(winepath_of "$work/bundle/vreg64.dll")" | tr -d '\r')
[ "$carried" = "$version.0" ] || { echo "vreg64.dll carries version $carried, not $version.0" >&2; exit 1; }
echo "vreg64.dll: version $carried"
