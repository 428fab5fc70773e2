#!/usr/bin/env bash
# Builds and runs the soak: the window against the simulator with a share of its
# replies faulted, writes and reads pressed in between. Too long for CI at full
# length (10,000 polls at 5 a second is some 35 minutes).
#
#   bench/soak.sh [POLLS] [FAULT_RATE] [SEED] [USB_LATENCY_MS]     defaults: 10000 0.1 1 0
#
# FAULT_RATE is shared equally by dropped, corrupted, split and refused replies.
# USB_LATENCY_MS > 0 puts the simulator behind an emulated USB adapter whose
# latency timer has that period (16 in the common chips: replies then arrive in
# pieces); 0 is a direct line, as the earlier figures were measured.
# It prints the share of writes confirmed and stored as typed and of reads shown,
# out of those pressed, and the commands lost without a word (neither confirmed
# or shown, nor failed with a message in the title); exit status 1 if a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build/bench/soak "${1:-10000}" "${2:-0.1}" "${3:-1}" "${4:-0}"
