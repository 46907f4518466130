#!/usr/bin/env bash
# Builds the optimised tree and runs every benchmark: the programs under
# build/release/bench, then the script benchmarks against other interpreters.
# Each program runs alone, bounded in time (TAVRELIX_BENCH_TIMEOUT seconds,
# 1200 by default); one that fails or runs past the bound is reported and the
# rest still run. The figures come together at the end in one summary table
# (scripts/bench_summary.sh): ours, the reference, the ratio, the target and
# met, missed, recorded or FAILED. The script exits 1 when any figure or
# program FAILED, naming each under "not run to the end". Arguments are
# passed on to every program.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh bench || exit 1
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=ON >/dev/null ||
  exit 1
cmake --build build/release || exit 1
export QT_QPA_PLATFORM=offscreen
bound=${TAVRELIX_BENCH_TIMEOUT:-1200}
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
export TAVRELIX_BENCH_SUMMARY=$summary

# A program that fails or runs past the bound adds a FAILED row of its own
# (its figures that failed are FAILED rows already, with their errors).
failed_row() { printf '%s\tthe program\t\t\t\t\t%s\n' "$1" "$2" >>"$summary"; }
for b in build/release/bench/*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  name=$(basename "$b")
  case "$name" in
  scheme_run) continue ;; # a script runner, driven below
  esac
  echo "== $name"
  timeout --kill-after=30 "$bound" "$b" "$@"
  rc=$?
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    failed_row "$name" "stopped after $bound s"
  elif [ "$rc" -ne 0 ]; then
    failed_row "$name" "exit status $rc"
  fi
done
if [ -x build/release/bench/scheme_run ]; then
  echo "== scheme scripts"
  # A script run that fails or disagrees with guile is a FAILED row of its own.
  bench/scheme/run_bench.sh build/release || failed_row "scheme scripts" "exit status $?"
fi

echo
echo "== summary"
scripts/bench_summary.sh "$summary"
