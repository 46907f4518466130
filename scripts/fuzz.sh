#!/usr/bin/env bash
# Runs one libFuzzer target for a while; never part of CI.
#   scripts/fuzz.sh keywords|splitter SECONDS
# Builds the target with clang-14 in build/fuzz (installing clang-14 and its
# runtime when missing), starts from the checked-in corpus and writes what it
# finds into a scratch corpus; new inputs worth keeping are copied into
# tests/editor/fuzz/corpus/<target>/ by hand. Crashes land in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-}
seconds=${2:-60}
case "$target" in
keywords | splitter) ;;
*) echo "usage: $0 keywords|splitter SECONDS" >&2; exit 2 ;;
esac

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

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTAVRELIX_LIBFUZZER=ON -DTAVRELIX_BENCH=OFF >/dev/null
cmake --build build/fuzz --target "fuzz_$target"

work=build/fuzz/corpus/$target
mkdir -p "$work" build/fuzz/artifacts
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"build/fuzz/tests/editor/fuzz/fuzz_$target" -max_total_time="$seconds" \
  -artifact_prefix=build/fuzz/artifacts/ "$work" "tests/editor/fuzz/corpus/$target"
