#!/usr/bin/env bash
# Builds the optimised tree and runs tavrelix; the arguments are passed on
# (LOGON=user/password@service logs on without the login dialog).
set -euo pipefail
cd "$(dirname "$0")/.."

# A window needs a display: say how to get one before building anything.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'TEXT'
tavrelix opens a window, and there is no display here (DISPLAY, WAYLAND_DISPLAY
and QT_QPA_PLATFORM are all unset). Any of these works:
  - run it on a desktop, or over ssh -X from one;
  - run it on a virtual display (Debian's xvfb package):
        xvfb-run -a scripts/run.sh
  - write the logged-on window to a PNG without any display:
        QT_QPA_PLATFORM=offscreen TAVRELIX_SCREENSHOT=main.png scripts/run.sh LOGON=DEMO/demo@DEMO
TEXT
  exit 1
fi

scripts/deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=OFF >/dev/null
cmake --build build/release --target tavrelix oci
exec build/release/bin/tavrelix "$@"
