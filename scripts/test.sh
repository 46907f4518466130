#!/usr/bin/env bash
# Lints, checks formatting and the benchmark summary's verdicts, builds the
# sanitizer tree and runs every test, then the ThreadSanitizer run of the
# code threads share, then the build matrix (scripts/matrix.sh): a Release
# tree whose suite runs once and a RelWithDebInfo build, with warnings as
# errors; last, the desktop check (scripts/desktop.sh) of the Release
# program under two window managers and a real input method.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
scripts/lint.sh
# The benchmark summary's verdicts, on hand-made rows and stand-in interpreters.
scripts/bench_check.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTAVRELIX_SANITIZE=ON -DTAVRELIX_WERROR=ON >/dev/null
cmake --build build/test
# intercept_tls_get_addr=0: the leak checker's tracer otherwise walks a stale
# dynamic-TLS record left by the client library's unload and crashes after a
# passing test (GCC 12's runtime); leaks are still checked.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build/test --output-on-failure -j"${TAVRELIX_TEST_JOBS:-8}"
# CTest runs one case per process; here every test executable runs whole, its
# cases in a shuffled order (the seed is printed; TAVRELIX_SHUFFLE_SEED
# repeats one), so that no case depends on what another left behind.
TAVRELIX_WHOLE_JOBS="${TAVRELIX_TEST_JOBS:-8}" scripts/whole.sh build/test

# Under ThreadSanitizer, in a tree of their own with only the targets they
# link (the client stand-in included): the completion loader, the thread
# calls, critical sections and the message-box hand-off; the stand-in's
# per-session worker and OCIBreak; the Oracle layer's non-blocking execute,
# pause and cancel in both call sets; the window layer's sends and posts
# across threads; the grid save's threads; the application's completion
# thread against a disconnect; the message-box loop that serves sends and
# posts. Qt's libraries are not instrumented: scripts/tsan.supp leaves out the
# calls they make themselves (their own thread pool, ordered by their own
# locks), never our code's.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTAVRELIX_SANITIZE=OFF -DTAVRELIX_TSAN=ON -DTAVRELIX_BENCH=OFF -DTAVRELIX_WERROR=ON >/dev/null
cmake --build build/tsan --target test_editor_completion test_platform_win32 test_platform_oci \
  oracle_layer2_test test_platform_window test_grid_ora test_app_threads oci
tsan_tests='^(CompletionTest|Win32Thread|BoxHandOff|CriticalSection|NonBlockingTest)\.'
tsan_tests+='|^ExecTest\.(QuickAndGated|PauseWaits|CancelBreaks)|^FetchTest\.PausedFill'
tsan_tests+='|^WindowTest\.(WorkerSend|SendToAWindowDestroyed|PostsFromAnyThread|MessageBoxLoopServesSendsAndPosts)'
tsan_tests+='|^SaveTest\.(Driver|NoEdits)|^KeywordThreadTest\.'
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp \
  ctest --test-dir build/tsan -R "$tsan_tests" --output-on-failure -j"${TAVRELIX_TEST_JOBS:-8}"

# The optimiser's view: Release with every test and benchmark, the suite run
# once without sanitizers (strict aliasing included), and RelWithDebInfo.
scripts/matrix.sh

# The real program on a desktop: the Release program the matrix built, on X
# servers of its own under openbox and xfwm4 and with fcitx5, driven through
# X input and checked by what the X server answers and the table holds
# (scripts/desktop.sh says what and how).
scripts/desktop.sh build/release
