#!/usr/bin/env bash
# Builds the optimised tree and runs every benchmark: the programs under
# build/release/bench, then the script benchmarks against other interpreters.
# Each program runs alone, bounded in time (TAVRELIX_BENCH_TIMEOUT seconds,
# 1200 by default); one that fails or runs past the bound is reported and the
# rest still run. The figures come together at the end in one summary table
# (scripts/bench_summary.sh): ours, the reference, the ratio, the target,
# whether both produced the same result, and met, missed, recorded or
# FAILED. The script exits 1 when any figure or program FAILED, naming each
# under "not run to the end". Arguments are passed on to every program.
#
# One failure is one row: a program that exits with an error after reporting
# a FAILED figure of its own adds no row for its exit status; one that fails
# without saying which figure, or runs past the bound, adds a row of its own.
# Sourced (scripts/bench_check.sh does), it only defines run_program.
set -uo pipefail

# failed_row SUMMARY PROGRAM ERROR: a FAILED row of the program itself.
failed_row() { printf '%s\tthe program\t\t\t\t\t%s\n' "$2" "$3" >>"$1"; }

# run_program SUMMARY NAME BOUND COMMAND...: runs the command, bounded in
# time, with its rows going to SUMMARY, and adds the program's own row when
# it ran past the bound, or failed without a FAILED row among those it
# appended. Returns the command's status.
run_program() {
  local summary=$1 name=$2 bound=$3 before rc own
  shift 3
  before=$(wc -l <"$summary")
  TAVRELIX_BENCH_SUMMARY=$summary timeout --kill-after=30 "$bound" "$@"
  rc=$?
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    failed_row "$summary" "$name" "stopped after $bound s"
  elif [ "$rc" -ne 0 ]; then
    own=$(mktemp)
    tail -n +"$((before + 1))" "$summary" >"$own"
    # The summary of the program's own rows fails when one of them did.
    if ! [ -s "$own" ] || scripts/bench_summary.sh "$own" >/dev/null 2>&1; then
      failed_row "$summary" "$name" "exit status $rc"
    fi
    rm -f "$own"
  fi
  return "$rc"
}

main() {
  cd "$(dirname "$0")/.." || exit 1
  scripts/deps.sh bench || exit 1
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=ON \
    >/dev/null || exit 1
  cmake --build build/release || exit 1
  export QT_QPA_PLATFORM=offscreen
  local bound=${TAVRELIX_BENCH_TIMEOUT:-1200} summary b name
  summary=$(mktemp)
  # shellcheck disable=SC2064 # the file's name is fixed now
  trap "rm -f '$summary'" EXIT
  for b in build/release/bench/*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    name=$(basename "$b")
    case "$name" in
    scheme_run) continue ;; # a script runner, driven below
    esac
    echo "== $name"
    run_program "$summary" "$name" "$bound" "$b" "$@"
  done
  if [ -x build/release/bench/scheme_run ]; then
    echo "== scheme scripts"
    # Each script run that fails or disagrees with guile is a FAILED row.
    run_program "$summary" "scheme scripts" "$bound" bench/scheme/run_bench.sh build/release
  fi

  echo
  echo "== summary"
  scripts/bench_summary.sh "$summary"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
