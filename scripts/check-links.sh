#!/usr/bin/env bash
# Checks the libraries the programs link against: tessera-cli takes no Qt Gui, Widgets or
# DBus, and the bundled filters (tsr-*) and zaurus-sim take no Qt at all.
#   scripts/check-links.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: check-links.sh BUILD_DIR}
bad=0
needed() { readelf -d "$1" 2>/dev/null | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
check() { # program, pattern of libraries it must not need, why
  local exe=$1 pattern=$2 why=$3
  if [ ! -x "$exe" ]; then
    echo "check-links: $exe is missing"
    bad=1
    return
  fi
  local hits
  hits=$(needed "$exe" | grep -E "$pattern" || true)
  if [ -n "$hits" ]; then
    echo "check-links: $exe links $(echo $hits) ($why)"
    bad=1
  fi
}
check "$build/cli/tessera-cli" '^libQt6(Widgets|Gui|DBus)' 'the command line uses Qt Core only'
for f in csv vcard ical; do
  check "$build/filters/tsr-$f" '^libQt' 'the filters are plain C++'
done
check "$build/sim/zaurus-sim" '^libQt' 'the simulator is plain C++'
[ "$bad" = 0 ] && echo "check-links: tessera-cli without Gui/Widgets/DBus, tsr-* and zaurus-sim without Qt"
exit "$bad"
