#!/usr/bin/env bash
# Makes docs/timeline.png (and docs/timeline-en.png in the English locale) under
# Xvfb: the window on the simulator with the output timing chart open, outputs
# pulsing, a write and a read pressed in the window, and a span in which the
# controller answered nothing.
# Needs xvfb, xdotool and imagemagick (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xdotool imagemagick
scripts/build.sh >/dev/null

export DISPLAY=:96
Xvfb "$DISPLAY" -screen 0 1400x1000x24 >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d)
panel=""
sim=""
cleanup() {
  [ -n "$panel" ] && kill "$panel" 2>/dev/null
  [ -n "$sim" ] && kill "$sim" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  exec 3>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

shot() {  # LANG, title of the chart, output file
  mkfifo "$work/control"
  build/sim/varnak-sim --control <"$work/control" >"$work/sim.out" &
  sim=$!
  exec 3>"$work/control"
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$work/sim.out")
  LANG=$1 LANGUAGE='' LC_ALL='' build/panel/varnak-panel --port "1=$device" --timeline 2>"$work/panel.err" &
  panel=$!
  # The panel's windows by their width: the titles are not searchable in a
  # locale this machine may not have generated.
  window() {  # WIDTH: the panel's visible window of that width, waiting up to 10 s for it
    for _ in $(seq 100); do
      for id in $(xdotool search --onlyvisible --pid "$panel" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" = "$1" ] && echo "$id" && return
      done
      sleep 0.1
    done
  }
  prompt=$(window 200)
  xdotool windowfocus --sync "$prompt" key Return
  sleep 1
  main=$(window 492)
  chart=$(window 960)
  xdotool windowmove "$main" 0 0
  xdotool windowmove "$chart" 0 420
  set_outputs() { echo "set R2000 $1" >&3; sleep "$2"; }
  set_outputs 0001 0.8; set_outputs 0009 0.4; set_outputs 0001 0.6; set_outputs 0003 0.3; set_outputs 0001 1
  # A write of 00A5 and a read, pressed in the window.
  xdotool mousemove --window "$main" 116 142 click 1 key ctrl+a type 00A5
  xdotool mousemove --window "$main" 220 109 click 1
  sleep 1.2
  xdotool mousemove --window "$main" 368 163 click 1
  sleep 1
  set_outputs 0005 0.6
  echo "silent on" >&3; sleep 2.6; echo "silent off" >&3
  set_outputs 0085 0.6; set_outputs 0005 0.4; set_outputs 0085 0.4; set_outputs 0004 1.2
  # 15 s on the screen, the cursor on the write.
  xdotool mousemove --window "$chart" 600 300 click 1 key plus plus
  xdotool mousemove --window "$chart" 700 300
  sleep 0.6
  import -window "$chart" "$3"
  kill "$panel" "$sim"
  wait "$panel" "$sim" 2>/dev/null || true
  panel=""
  sim=""
  exec 3>&-
  rm -f "$work/control"
}

shot zh_CN.UTF-8 '输出时序' docs/timeline.png
shot en_US.UTF-8 'Output timing' docs/timeline-en.png
echo "docs/timeline.png docs/timeline-en.png written"
