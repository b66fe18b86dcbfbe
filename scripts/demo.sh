#!/usr/bin/env bash
# The main job: until the window exists, show the headless tool on a sample file.
set -euo pipefail
build=${1:-build}
"$build/cli/tessera-cli" strings 57344 1537
