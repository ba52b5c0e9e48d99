#!/bin/sh
# The main job: builds the updater and runs an update in a sandboxed Wine
# prefix against a demo installation, then shows its log.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset mingw
cmake --build --preset mingw --target VantorUpdater stand_in version_probe_2099
sh scripts/demo-update.sh build
