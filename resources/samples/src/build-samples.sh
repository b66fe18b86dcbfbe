#!/usr/bin/env bash
# Rebuilds the sample record-set files from their UTF-8 JSON sources:
#   resources/samples/src/build-samples.sh path/to/tessera-cli
# Each source is in the form `tessera-cli dump` prints, so dump of a sample gives its source
# back and build of the source gives the sample back, byte for byte.
set -euo pipefail
cli=${1:?usage: build-samples.sh path/to/tessera-cli}
here=$(cd "$(dirname "$0")" && pwd)
for src in "$here"/*.json; do
  name=$(basename "$src" .json)
  "$cli" build "$src" -o "$here/../$name.tsr"
done
