#!/usr/bin/env bash
# Headless demo of a real transfer: the simulated device sends a sample file over a
# pseudo-terminal, tessera-cli receives it, and the received records are printed.
#   scripts/demo-cli.sh [BUILD_DIR] [SAMPLE] [cable|ir]
# SAMPLE is a name from resources/samples (phonebook, cards, schedule, anniversary,
# anniversary-week, actions, report, memo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
sample=${2:-phonebook}
method=${3:-cable}
sim="$build/sim/zaurus-sim"
cli="$build/cli/tessera-cli"
file="$root/resources/samples/$sample.tsr"
[ -f "$file" ] || { echo "demo-cli: no sample '$sample' in resources/samples" >&2; exit 1; }

work=$(mktemp -d)
simpid=""
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --link "$work/tty" --method "$method" --send "$file" >"$work/sim.log" 2>&1 &
simpid=$!
for _ in $(seq 50); do
  grep -q '^ready' "$work/sim.log" 2>/dev/null && break
  kill -0 "$simpid" 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
  sleep 0.1
done

echo "== the device sends $sample.tsr over the $method; tessera-cli receives it" >&2
"$cli" receive -o "$work/received.tsr" --port "$work/tty" --method "$method" --no-echo
wait "$simpid" || true
simpid=""
cat "$work/sim.log" >&2
echo "== received records" >&2
"$cli" dump "$work/received.tsr"
