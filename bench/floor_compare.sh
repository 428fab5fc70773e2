#!/usr/bin/env bash
# The window's polling CPU beside a bare Qt poller doing the same line work with
# the same kinds of controls (the floor), by `perf stat -e task-clock`, rounds
# alternating, each program on a fresh simulator (a bare QSerialPort ended by a
# signal leaves the pty with odd parity, and the next bare one cannot open it).
#
#   bench/floor_compare.sh [ROUNDS] [SECONDS] [FLOOR_DIR] [-- PANEL_ARGS...]
#
# Defaults: 3 rounds of 20 s, the floor's sources in ../shared/floor. Arguments
# after -- go to the window (e.g. --watch bench/list8.csv). FLOOR=list compares
# with the floor that also reads R1000-R1007 between polls into a table
# (bare_qt_list), the same line work as the window with bench/list8.csv open.
# Prints each round and the medians. Run from a built tree (build/).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
seconds=${2:-20}
floor_src=${3:-../shared/floor}
shift $(( $# < 3 ? $# : 3 ))
[ "${1:-}" = "--" ] && shift
panel_args=("$@")
floor=$("$floor_src/build.sh" build-floor)
floor_args=()
if [ "${FLOOR:-}" = list ]; then
  floor=${floor}_list
  floor_args=(8)
fi
export QT_QPA_PLATFORM=offscreen

# task-clock in ms of one program run for $seconds on a fresh simulator.
measure() {
  local out sim device ms
  out=$(mktemp)
  build/sim/varnak-sim >"$out" &
  sim=$!
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$out")
  local stat
  stat=$(mktemp)
  if [ "$1" = window ]; then
    perf stat -e task-clock -x, -o "$stat" timeout -s TERM "$seconds" \
      build/tests/child/varnak-panel --port "1=$device" "${panel_args[@]}" >/dev/null 2>&1 || true
  else
    perf stat -e task-clock -x, -o "$stat" timeout -s TERM "$seconds" "$floor" "$device" "${floor_args[@]}" >/dev/null 2>&1 || true
  fi
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  ms=$(grep task-clock "$stat" | cut -d, -f1)
  rm -f "$out" "$stat"
  printf '%.1f' "$ms"
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

windows=()
floors=()
for r in $(seq "$rounds"); do
  w=$(measure window)
  f=$(measure floor)
  windows+=("$w")
  floors+=("$f")
  echo "round $r: window $w ms, floor $f ms (task-clock over $seconds s)"
done
wm=$(printf '%s\n' "${windows[@]}" | median)
fm=$(printf '%s\n' "${floors[@]}" | median)
echo "median: window $wm ms, floor $fm ms: $(awk -v w="$wm" -v f="$fm" 'BEGIN {printf "%.2f", w / f}')x"
