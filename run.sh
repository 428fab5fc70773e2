#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window.
#
#   ./run.sh                          the demo: a simulated running machine as COM1, with the
#                                     register watch window on examples/demo-watch.csv
#   ./run.sh --port 1=/dev/ttyUSB0    a real controller on that device instead
#
# Arguments go to varnak-panel. Closing the window stops the simulator.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (DISPLAY is not set): run it on a desktop, or under xvfb-run." >&2
  exit 1
fi
for arg in "$@"; do
  case "$arg" in --port|--port=*|--help|-h) exec build/panel/varnak-panel "$@" ;; esac
done

out=$(mktemp)
build/sim/varnak-sim --demo >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
device=$(head -n 1 "$out")
echo "run.sh: simulated controller on $device as COM1, its registers R1000-R1004 moving" \
  "(its outputs follow R2000: write 00A5 to see lamps turn green)" >&2
build/panel/varnak-panel --port "1=$device" --watch examples/demo-watch.csv "$@"
