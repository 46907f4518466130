#!/usr/bin/env bash
# Lints, checks formatting, builds the sanitizer tree and runs every test,
# then the ThreadSanitizer run of the completion loader.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/lint.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTAVRELIX_SANITIZE=ON -DTAVRELIX_WERROR=ON >/dev/null
cmake --build build/test
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build/test --output-on-failure -j8

# The completion loader's tests, its concurrency test among them, the
# thread calls' tests, the message-box hand-off and the grid save's thread
# tests under ThreadSanitizer: only the targets they link (the client
# stand-in included), in a tree of their own.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTAVRELIX_SANITIZE=OFF -DTAVRELIX_TSAN=ON -DTAVRELIX_BENCH=OFF -DTAVRELIX_WERROR=ON >/dev/null
cmake --build build/tsan --target test_editor_completion test_platform_win32 test_grid_ora oci
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -R '^(CompletionTest|Win32Thread|BoxHandOff)\.|^SaveTest\.(Driver|NoEdits)' --output-on-failure -j8
