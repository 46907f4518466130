#!/usr/bin/env bash
# Builds the Debian package from a clean tree: an optimised build of the
# program alone in build/package, then CPack (Depends from dpkg-shlibdeps).
# The package lands in build/package/ as tavrelix_VERSION-1_ARCH.deb; when
# lintian is installed its report follows.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
for p in dpkg-dev file; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  fi
done
rm -rf build/package
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRELIX_TESTS=OFF -DTAVRELIX_BENCH=OFF >/dev/null
cmake --build build/package
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls build/package/tavrelix_*.deb)
echo "$deb"
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$deb" || true
fi
