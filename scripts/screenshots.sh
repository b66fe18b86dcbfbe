#!/usr/bin/env bash
# Takes the screenshots of the user manual (docs/screenshots/*.png) on Qt's offscreen
# platform, so no display is needed. Usage: scripts/screenshots.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# The picture tools (tools/) are built with TESSERA_TOOLS; a ./dev.sh demo build leaves them out.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_BENCH=OFF -DTESSERA_TOOLS=ON >/dev/null
else
  cmake -S . -B "$build" -DTESSERA_TOOLS=ON >/dev/null
fi
cmake --build "$build" --target tessera-screenshots tessera-findprint-screenshots -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# A Japanese font renders the texts; without one they would show as empty boxes.
if ! fc-list :lang=ja 2>/dev/null | grep -q .; then
  echo "screenshots: no Japanese font installed (fonts-ipafont-gothic)" >&2
  exit 1
fi
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR="$runtime" "$build/tools/tessera-screenshots" docs/screenshots
# The find bar and the print preview.
XDG_RUNTIME_DIR="$runtime" "$build/tools/tessera-findprint-screenshots" docs/screenshots
# The same pictures in English, for the English manual and the README.
XDG_RUNTIME_DIR="$runtime" TESSERA_LANG=en "$build/tools/tessera-screenshots" docs/screenshots/en
