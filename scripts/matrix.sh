#!/usr/bin/env bash
# The build matrix: a Release tree with tests and benchmarks whose suite runs
# once (the optimiser's view of the code, strict aliasing included) and a
# RelWithDebInfo build of the program, each with warnings as errors, in trees
# of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
export QT_QPA_PLATFORM=offscreen
# Release: every target, the suite run once.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_WERROR=ON >/dev/null
cmake --build build/release
ctest --test-dir build/release --output-on-failure -j"${TAVRELIX_TEST_JOBS:-8}"
# RelWithDebInfo: the program and its libraries (the tests' code is checked
# by the Release tree and the test command's trees). Cold, without a compiler
# cache, the Release tree takes some 1,130 CPU-seconds and its suite half a
# minute, this build 300; the tests and benchmarks would add 870 more, about
# two minutes on CI's eight cores, and the whole test command must stay well
# within its 15 minutes.
cmake -S . -B build/relwithdebinfo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRELIX_TESTS=OFF \
  -DTAVRELIX_BENCH=OFF -DTAVRELIX_WERROR=ON >/dev/null
cmake --build build/relwithdebinfo
