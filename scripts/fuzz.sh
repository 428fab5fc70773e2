#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS]    (default 60 each)
# New inputs go to a scratch corpus; the committed seeds in fuzz/corpus stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -DVARNAK_GUI=OFF -DVARNAK_TESTS=OFF -DVARNAK_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
status=0
for name in codec link watch masters; do
  scratch=$(mktemp -d)
  log=$(mktemp)
  if "$build/fuzz/${name}_fuzzer" -max_total_time="$seconds" -timeout=5 -print_final_stats=1 \
      "$scratch" "fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*')
    echo "fuzz ${name}: ${runs} executions in ${seconds} s, coverage ${cov} edges, no failure"
  else
    echo "fuzz ${name}: FAILED" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
  rm -rf "$scratch" "$log"
done
exit $status
