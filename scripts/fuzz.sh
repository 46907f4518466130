#!/usr/bin/env bash
# Runs the libFuzzer targets; never part of CI.
#   scripts/fuzz.sh list               names the targets
#   scripts/fuzz.sh TARGET [SECONDS]   runs one target (default 60 s)
#   scripts/fuzz.sh all [SECONDS]      runs each target in turn for SECONDS
# Builds with clang-14 in build/fuzz (installing clang-14 and its runtime
# when missing), starts from the checked-in corpus tests/fuzz/corpus/TARGET
# and writes what it finds into build/fuzz/corpus/TARGET; inputs worth
# keeping are copied into the checked-in corpus by hand. Crashes, hangs and
# failed checks land in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
targets() {
  sed -n 's/^ *tavrelix_fuzz_target(\([a-z0-9_]*\) .*/\1/p' tests/fuzz/CMakeLists.txt
}
target=${1:-}
seconds=${2:-60}
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
# shellcheck disable=SC2086
cmake --build build/fuzz --target $(for t in $run; do echo "fuzz_$t"; done)

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build/fuzz/artifacts
for t in $run; do
  work=build/fuzz/corpus/$t
  mkdir -p "$work"
  echo "== $t: $seconds s"
  # One call past a few seconds is a hang: the engines' budgets end every call.
  "build/fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build/fuzz/artifacts/$t-" "$work" "tests/fuzz/corpus/$t"
done
