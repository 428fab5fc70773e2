#!/usr/bin/env bash
# Builds and runs the soak: the window against the simulator with a share of its
# replies faulted, writes and reads pressed in between. Too long for CI at full
# length (10,000 polls at 5 a second is some 35 minutes).
#   bench/soak.sh [POLLS] [FAULT_RATE] [SEED]     defaults: 10000 0.1 1
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build/bench/soak "${1:-10000}" "${2:-0.1}" "${3:-1}"
