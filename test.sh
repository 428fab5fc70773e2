#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, the
# same suite again built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the Debian package made and checked, and each fuzzer for a bounded time
# (FUZZ_SECONDS, default 60).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

echo "== tests"
BUILD_DIR=build scripts/build.sh
ctest --test-dir build --output-on-failure -j2

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
BUILD_DIR=build-asan scripts/build.sh -DVARNAK_SANITIZE=ON
# Any report aborts the process that made it, and so fails its test.
ASAN_OPTIONS=abort_on_error=1:halt_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j2

echo "== the Debian package"
scripts/package-test.sh

echo "== fuzzers"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
