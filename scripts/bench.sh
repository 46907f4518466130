#!/usr/bin/env bash
# Builds the optimised tree and runs every benchmark program under build/release/bench.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=ON >/dev/null
cmake --build build/release
export QT_QPA_PLATFORM=offscreen
for b in build/release/bench/*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
