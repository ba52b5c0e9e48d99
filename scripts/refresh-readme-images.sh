#!/bin/sh
# Refreshes the README's pictures of the administrator-rights dialog,
# docs/images/admin-dialog-<language>.png, from the screenshots that the UI
# test takes of the real dialog in each of its three languages
# (ui_dialog_test's AdminRightsDialog.SpeaksTheUserLanguage, run in an
# English, a Russian and a Ukrainian Wine prefix; build/screenshots/). Each
# picture of the whole display is cropped to the dialog (the one window on an
# otherwise even display) and stripped of its dates, so that the same
# screenshot always gives the same file. Run it after a change to the
# dialog, its texts or its icons, look at the pictures and commit them.
#
# Usage: scripts/refresh-readme-images.sh [build folder]   (default: build)
# Needs ImageMagick's import (the test's) and convert.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
build=${1:-build}

if [ "$build" = build ] && [ ! -f build/CMakeCache.txt ]; then
  cmake --preset mingw >/dev/null
fi
cmake --build "$build" --target ui_dialog_test -j 2 >/dev/null
rm -f "$build"/screenshots/admin-dialog-*.png
(ctest --test-dir "$build" -R 'AdminRightsDialog\.SpeaksTheUserLanguage' --output-on-failure >/dev/null) || {
  echo "refresh-readme-images: the UI test failed; no picture changed" >&2
  exit 1
}
mkdir -p docs/images
for language in english russian ukrainian; do
  shot="$build/screenshots/admin-dialog-$language.png"
  [ -f "$shot" ] || { echo "refresh-readme-images: no $shot" >&2; exit 1; }
  convert "$shot" -trim +repage -bordercolor '#a0a0a0' -border 1 -strip -define png:exclude-chunks=date,time "docs/images/admin-dialog-$language.png"
  echo "docs/images/admin-dialog-$language.png: $(identify -format '%wx%h' "docs/images/admin-dialog-$language.png")"
done
