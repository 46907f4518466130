#!/usr/bin/env bash
# Runs every GoogleTest executable of a build tree as one process each, in
# the working directory CTest gives it, in parallel, with the cases in a
# shuffled order: the cases of a suite must not depend on what an earlier
# case of the same process left behind.
#
#   scripts/whole.sh [BUILD_DIR]     (default build/test)
#
# TAVRELIX_SHUFFLE_SEED picks the order (default: a new seed each run, which
# is printed); TAVRELIX_WHOLE_JOBS the parallel runs (default 8);
# TAVRELIX_WHOLE_TIMEOUT the seconds one executable may take (default 900).
# The sanitizer and display variables are the caller's (scripts/test.sh sets
# them as for CTest). Each executable's output goes to BUILD_DIR/whole/; a
# failing one is named with its seed and the command that repeats it, and
# the script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
seed=${TAVRELIX_SHUFFLE_SEED:-$((RANDOM % 99999 + 1))}
jobs=${TAVRELIX_WHOLE_JOBS:-8}
limit=${TAVRELIX_WHOLE_TIMEOUT:-900}
logs=$build/whole
rm -rf "$logs"
mkdir -p "$logs"

# Each suite's executable and working directory, from the files that
# gtest_discover_tests writes for CTest.
list=$logs/suites
find "$build" -name '*_include.cmake' -print0 | sort -z | while IFS= read -r -d '' f; do
  exe=$(sed -n 's/.*TEST_EXECUTABLE \[==\[\(.*\)\]==\].*/\1/p' "$f")
  dir=$(sed -n 's/.*TEST_WORKING_DIR \[==\[\(.*\)\]==\].*/\1/p' "$f")
  [ -n "$exe" ] && [ -x "$exe" ] && printf '%s\t%s\n' "$exe" "${dir:-$PWD}"
done >"$list"
count=$(wc -l <"$list")
if [ "$count" -eq 0 ]; then
  echo "whole.sh: no test executable found under $build" >&2
  exit 1
fi
echo "Running $count test executables whole, shuffled with seed $seed ($jobs at a time)"

export seed limit logs
run_one() {
  local exe=$1 dir=$2 name rc start
  name=$(basename "$exe")
  start=$SECONDS
  rc=0
  (cd "$dir" && timeout -k 30 "$limit" "$exe" --gtest_shuffle --gtest_random_seed="$seed") \
    >"$logs/$name.log" 2>&1 || rc=$?
  if [ "$rc" -eq 0 ]; then
    echo "passed: $name ($((SECONDS - start)) s)"
    return 0
  fi
  local why="exit $rc"
  [ "$rc" -eq 124 ] && why="timed out after $limit s"
  {
    echo "FAILED: $name with seed $seed ($why, $((SECONDS - start)) s); the cases that failed:"
    grep -E '^\[  FAILED  \] [^ ]+\.[^ ]+' "$logs/$name.log" | sed -E 's/ \([0-9]+ ms\)$//' | sort -u |
      sed 's/^/    /' || true
    echo "  last lines of $logs/$name.log:"
    tail -n 30 "$logs/$name.log" | sed 's/^/    /'
    echo "  to repeat: (cd $dir && $exe --gtest_shuffle --gtest_random_seed=$seed)"
  } >"$logs/$name.failed"
  cat "$logs/$name.failed"
  return 1
}
export -f run_one

status=0
tr '\n' '\0' <"$list" | xargs -0 -P"$jobs" -I{} bash -c 'IFS=$'"'"'\t'"'"' read -r e d <<<"$1"; run_one "$e" "$d"' _ {} ||
  status=$?
failed=$(find "$logs" -name '*.failed' | wc -l)
if [ "$status" -ne 0 ] || [ "$failed" -ne 0 ]; then
  echo "whole.sh: $failed of $count test executables failed run whole with seed $seed:" >&2
  for f in "$logs"/*.failed; do [ -e "$f" ] && head -n 1 "$f" >&2; done
  exit 1
fi
echo "whole.sh: all $count test executables passed run whole with seed $seed"
