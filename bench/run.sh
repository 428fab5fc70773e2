#!/usr/bin/env bash
# Builds and runs the poll benchmark: the window (offscreen) against the paced
# simulator. Usage: bench/run.sh [SECONDS]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build/bench/poll_bench "${1:-60}"
