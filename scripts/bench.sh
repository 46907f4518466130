#!/usr/bin/env bash
# Builds the optimised tree and runs every benchmark: the programs under
# build/release/bench, then the script benchmarks against other interpreters.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=ON >/dev/null
cmake --build build/release
export QT_QPA_PLATFORM=offscreen
for b in build/release/bench/*; do
  [ -x "$b" ] || continue
  case "$(basename "$b")" in
  scheme_run) continue ;; # a script runner, driven below
  esac
  echo "== $(basename "$b")"
  "$b" "$@"
done
if [ -x build/release/bench/scheme_run ]; then
  echo "== scheme scripts"
  bench/scheme/run_bench.sh build/release
fi
