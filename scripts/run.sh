#!/usr/bin/env bash
# Builds the optimised tree and runs tavrelix (arguments are passed on).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=OFF >/dev/null
cmake --build build/release --target tavrelix
exec build/release/bin/tavrelix "$@"
