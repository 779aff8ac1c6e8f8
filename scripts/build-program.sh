#!/usr/bin/env bash
# Sets up the machine (quietly) and builds the program alone, not its tests,
# for each preset given: what the demo, the benchmark and the release need.
#   scripts/build-program.sh PRESET...
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
for preset in "$@"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target orvanta >/dev/null
done
