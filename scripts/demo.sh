#!/usr/bin/env bash
# The main job. With a display: Tessera's window with an embedded simulated device
# (--demo), ready to receive the sample phone book. Without one: the same transfer from the
# command line, and the received records printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/app/tessera" ]; then
  exec "$build/app/tessera" --demo
fi
echo "(no display: showing the transfer with tessera-cli)" >&2
bash "$root/scripts/demo-cli.sh" "$build" phonebook cable
echo >&2
bash "$root/scripts/demo-cli.sh" "$build" schedule ir
echo
