#!/usr/bin/env bash
# Runs the libFuzzer targets; never part of CI.
#   scripts/fuzz.sh list               names the targets
#   scripts/fuzz.sh TARGET [SECONDS]   runs one target (default 60 s)
#   scripts/fuzz.sh all [SECONDS]      runs every target for SECONDS each
# Builds with clang-14 in build/fuzz (installing clang-14 and its runtime
# when missing), starts from the checked-in corpus tests/fuzz/corpus/TARGET
# and writes what it finds into build/fuzz/corpus/TARGET; inputs worth
# keeping are copied into the checked-in corpus by hand. Crashes, hangs and
# failed checks land in build/fuzz/artifacts.
#
# Each target gets the longest input its text can sensibly have (a key name,
# a statement, a file) and reaches it soon: -len_control lets the length of
# mutated inputs grow after a few hundred runs without new coverage (a few
# dozen for files, whose targets run slowest) instead of libFuzzer's slow
# default. FUZZ_JOBS=N (default 1) runs up to N targets
# at once, each its own process on its own core: keep N at or below the
# cores that are free, or the executions per second measure the machine's
# load, not the target. Every run's log is kept in build/fuzz/logs/TARGET.log;
# after the runs a table gives per target the executions, the coverage
# (cov: edges, ft: features), the corpus, the longest input in it and the
# findings.
set -euo pipefail
cd "$(dirname "$0")/.."
targets() {
  sed -n 's/^ *tavrelix_fuzz_target(\([a-z0-9_]*\) .*/\1/p' tests/fuzz/CMakeLists.txt
}
# -max_len and -len_control per target, by the text it parses.
length_options() {
  case "$1" in
  cellinput | width | logon) echo "-max_len=512 -len_control=10" ;;    # a line typed into a box
  objectcell | ocivalues | regex | template) echo "-max_len=2048 -len_control=20" ;; # a value or a pattern
  translate | ociexec) echo "-max_len=4096 -len_control=20" ;;          # a statement
  codepage) echo "-max_len=8192 -len_control=20" ;;                     # a conversion's text
  scheme_reader | scheme_eval | macro) echo "-max_len=16384 -len_control=20" ;; # a script
  *) echo "-max_len=20000 -len_control=5" ;; # a file: ini, keywords, splitter, textfile, rc, searchcond
  esac
}
target=${1:-}
seconds=${2:-60}
jobs=${FUZZ_JOBS:-1}
if [ "$target" = list ]; then
  targets
  exit 0
fi
if [ -z "$target" ] || { [ "$target" != all ] && ! targets | grep -qx "$target"; }; then
  echo "usage: $0 list | all [SECONDS] | TARGET [SECONDS]; targets: $(targets | tr '\n' ' ')" >&2
  exit 2
fi

scripts/deps.sh test
missing=()
for p in clang-14 libclang-rt-14-dev; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "$target" = all ]; then
  run=$(targets)
else
  run=$target
fi
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTAVRELIX_LIBFUZZER=ON -DTAVRELIX_BENCH=OFF >/dev/null
# shellcheck disable=SC2046
cmake --build build/fuzz --target $(for t in $run; do echo "fuzz_$t"; done)

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build/fuzz/artifacts build/fuzz/logs

# One target's run into its log (and the terminal with -v); the stamp file
# tells this run's findings from older ones.
fuzz_one() {
  local t=$1 work=build/fuzz/corpus/$1
  mkdir -p "$work"
  touch "build/fuzz/logs/$t.start"
  # One call past a few seconds is a hang: the engines' budgets end every call.
  # shellcheck disable=SC2046
  "build/fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    $(length_options "$t") -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$t-" "$work" "tests/fuzz/corpus/$t" 2>&1 |
    if [ "${2:-}" = -v ]; then tee "build/fuzz/logs/$t.log"; else cat >"build/fuzz/logs/$t.log"; fi
  return "${PIPESTATUS[0]}"
}

# The table row of a finished run, from its log, its corpus and artifacts.
report_row() {
  local t=$1 log=build/fuzz/logs/$1.log
  local runs cov ft corp status longest findings
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # The last status line libFuzzer printed ("#N ... cov: C ft: F corp: N/S ...").
  status=$(grep -E '^#[0-9]+' "$log" | grep ' cov: ' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$status")
  # The longest input kept: in the run's corpus or among the seeds.
  longest=$(find "build/fuzz/corpus/$t" "tests/fuzz/corpus/$t" -type f -printf '%s\n' | sort -n | tail -1)
  findings=$(find build/fuzz/artifacts -name "$t-*" -type f -newer "build/fuzz/logs/$t.start" -printf '%f ' |
    sed 's/ $//')
  printf '%-14s %12s %8s %7s %7s %12s %8s  %s\n' "$t" "${runs:-?}" \
    "$((${runs:-0} / (seconds > 0 ? seconds : 1)))" "${cov:-?}" "${ft:-?}" "${corp:-?}" "${longest:-0}" \
    "${findings:-none}"
}

if [ "$target" != all ]; then
  echo "== $target: $seconds s"
  rc=0
  fuzz_one "$target" -v || rc=$?
  printf '\n%-14s %12s %8s %7s %7s %12s %8s  %s\n' target executions exec/s cov ft corpus longest findings
  report_row "$target"
  exit "$rc"
fi

echo "== every target for $seconds s each, $jobs at a time (logs in build/fuzz/logs)"
running=0
for t in $run; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "-- $t"
  (fuzz_one "$t" || echo "   $t stopped early: see build/fuzz/logs/$t.log") &
  running=$((running + 1))
done
wait

printf '\n%-14s %12s %8s %7s %7s %12s %8s  %s\n' target executions exec/s cov ft corpus longest findings
failed=0
for t in $run; do
  report_row "$t"
  if find build/fuzz/artifacts -name "$t-*" -type f -newer "build/fuzz/logs/$t.start" | grep -q .; then
    failed=1
  fi
done
exit "$failed"
