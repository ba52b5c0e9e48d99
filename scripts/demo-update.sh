#!/bin/sh
# Runs VantorUpdater.exe of a build (default: build/) against a demo
# installation in a Wine prefix of its own (build/demo/prefix) and prints the
# updater's log.
set -e
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
demo="$build/demo"
export VANTOR_WINE_PREFIX="$demo/prefix"
run="$build/wine/wine-run.sh"

rm -rf "$demo"
mkdir -p "$demo"
# A fresh prefix: the first program start creates it.
"$run" cmd /c exit 0

program="$VANTOR_WINE_PREFIX/drive_c/Program Files/Vantor"
mkdir -p "$program"
cp "$build/bin/stand_in.exe" "$program/Vantor.exe"
"$run" reg add 'HKCU\Software\Vantor' /v exec /d 'C:\Program Files\Vantor\Vantor.exe' /f >/dev/null
cp "$build/bin/VantorUpdater.exe" "$program/VantorUpdater.exe"

temp=$("$run" cmd /c echo %TEMP% | tr -d '\r')
log="$("$run" winepath -u "$temp\\VantorUpdater.log" 2>/dev/null)"
rm -f "$log"

echo "== Running VantorUpdater.exe from the program folder"
"$run" "$program/VantorUpdater.exe" /runVantor || true
echo "== VantorUpdater.log"
cat "$log"
