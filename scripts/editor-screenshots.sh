#!/usr/bin/env bash
# Takes the pictures of the eight record editors (docs/screenshots/editor-*.png), each
# loaded with a record of its sample file. Runs under Xvfb when it is installed, else on
# Qt's offscreen platform. Usage: scripts/editor-screenshots.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# The picture tools (tools/) are built with TESSERA_TOOLS; a ./dev.sh demo build leaves them out.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_BENCH=OFF -DTESSERA_TOOLS=ON >/dev/null
else
  cmake -S . -B "$build" -DTESSERA_TOOLS=ON >/dev/null
fi
cmake --build "$build" --target editor-screenshots -j 2
if ! fc-list :lang=ja 2>/dev/null | grep -q .; then
  echo "editor-screenshots: no Japanese font installed (fonts-ipafont-gothic)" >&2
  exit 1
fi
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
tool="$build/tools/editor-screenshots"
# Japanese pictures in docs/screenshots, English ones in docs/screenshots/en.
for lang in ja en; do
  out=docs/screenshots; [ "$lang" = ja ] || out=docs/screenshots/$lang
  if command -v xvfb-run >/dev/null 2>&1; then
    XDG_RUNTIME_DIR="$runtime" TESSERA_LANG=$lang xvfb-run -a -s "-screen 0 1280x1024x24" "$tool" "$out" resources/samples
  else
    XDG_RUNTIME_DIR="$runtime" TESSERA_LANG=$lang QT_QPA_PLATFORM=offscreen "$tool" "$out" resources/samples
  fi
done
