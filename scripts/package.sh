#!/usr/bin/env bash
# Builds a release build and makes the Debian package with CPack; prints the
# package's path as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${PACKAGE_BUILD_DIR:-build-release}
# Debian's own compiler and linker flags, with every hardening feature on.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVARNAK_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
ls -t "$PWD/$build"/varnak_*.deb | head -n 1
