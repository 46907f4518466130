#!/usr/bin/env bash
# Builds the optimised tree and runs every benchmark: the programs under
# build/release/bench, then the script benchmarks against other interpreters.
# Each program runs alone, bounded in time (TAVRELIX_BENCH_TIMEOUT seconds,
# 1200 by default); one that fails or runs past the bound is reported and the
# rest still run. The figures with a reference come together at the end in
# one summary table: ours, the reference, the ratio, the target and whether
# it was met. Arguments are passed on to every program.
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

failures=()
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
    failures+=("$name: stopped after ${bound} s")
    printf '%s\t(timed out after %s s)\t\t\t\t\n' "$name" "$bound" >>"$summary"
  elif [ "$rc" -ne 0 ]; then
    failures+=("$name: exit status $rc")
    printf '%s\t(failed, exit status %s)\t\t\t\t\n' "$name" "$rc" >>"$summary"
  fi
done
if [ -x build/release/bench/scheme_run ]; then
  echo "== scheme scripts"
  if ! bench/scheme/run_bench.sh build/release; then
    failures+=("scheme scripts: failed")
    printf 'scheme scripts\t(failed)\t\t\t\t\n' >>"$summary"
  fi
fi

echo
echo "== summary"
awk -F'\t' '
function num(x) { return x + 0 }
BEGIN {
  printf "%-16s %-72s %12s %12s %6s %8s  %s\n", "program", "figure", "ours", "reference", "ratio", "target", "result"
}
{
  program = $1; figure = $2; ours = $3; ref = $4; unit = $5; target = $6
  if (ours == "") {
    printf "%-16s %-72s %12s %12s %6s %8s  %s\n", program, figure, "", "", "", "", "FAILED"
    failed++
    next
  }
  if (ref == "") {
    # A bound of its own: the target is in the figure unit.
    result = num(ours) <= num(target) ? "met" : "missed"
    printf "%-16s %-72s %9.4g %-2s %12s %6s %5.4g %-2s  %s\n", program, figure, num(ours), unit, "-", "-", num(target), unit, result
  } else {
    ratio = num(ref) > 0 ? num(ours) / num(ref) : 0
    if (num(target) > 0) {
      result = ratio <= num(target) ? "met" : "missed"
      tg = sprintf("%.2fx", num(target))
    } else {
      result = "recorded"
      tg = "-"
    }
    printf "%-16s %-72s %9.4g %-2s %9.4g %-2s %6.2f %8s  %s\n", program, figure, num(ours), unit, num(ref), unit, ratio, tg, result
  }
  if (result == "met") met++
  if (result == "missed") missed++
}
END { printf "\n%d met, %d missed, %d failed\n", met, missed, failed }
' "$summary"
if [ ${#failures[@]} -gt 0 ]; then
  printf "not run to the end: %s\n" "${failures[@]}"
  exit 1
fi
