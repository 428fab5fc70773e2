#!/usr/bin/env bash
# Builds and runs the bridge benchmark against a real Mosquitto and the paced
# simulator. Usage: bench/bridge_bench.sh [SECONDS]   (default 60; the README's
# CPU and RSS figures are from a 600 s run)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target bridge_bench
"$BUILD_DIR"/bench/bridge_bench "${1:-60}"
