#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
#   scripts/deps.sh run    - what building and running the program needs
#   scripts/deps.sh test   - that, plus what the tests and benchmarks need
#   scripts/deps.sh bench  - the same as test, plus the reference programs
set -euo pipefail

run_pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-translations-l10n libxcb1-dev libsqlite3-dev fonts-noto-cjk fonts-dejavu-core)
# The last lines are the desktop check's (scripts/desktop.sh): an X server,
# two window managers, input through XTEST, a clipboard owner, its driver's
# X client library; a D-Bus session and a real input method with Qt 6's front
# end and an engine that runs as root. qt6-base-private-dev: the Qt
# input-context interface the tests' model input method is built on.
test_pkgs=(clang-format libgtest-dev libgmock-dev libbenchmark-dev libpcre2-dev libicu-dev strace desktop-file-utils appstream time qt6-base-private-dev
  xvfb openbox xfwm4 xdotool x11-utils xclip imagemagick python3 python3-xlib
  dbus-bin dbus-daemon fcitx5 fcitx5-frontend-qt6 fcitx5-anthy)
bench_pkgs=(sqlite3 tinyscheme guile-3.0)

want=("${run_pkgs[@]}")
case "${1:-run}" in
run) ;;
test) want+=("${test_pkgs[@]}") ;;
bench) want+=("${test_pkgs[@]}" "${bench_pkgs[@]}") ;;
*) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
