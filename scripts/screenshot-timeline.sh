#!/usr/bin/env bash
# Makes docs/timeline.png (and docs/timeline-en.png in the English locale) under
# Xvfb: the window on the simulator with the output timing chart open, outputs
# pulsing, a write and a read pressed in the window, and a span in which the
# controller answered nothing.
# Needs xvfb, xdotool and imagemagick (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/xvfb-panel.sh
start_display :96 1400x1000x24

shot() {  # LANG, title of the chart, output file
  start_sim --control
  start_panel LANG="$1" LANGUAGE='' LC_ALL='' -- --timeline
  sleep 1
  # The panel's windows by their width: the titles are not searchable in a
  # locale this machine may not have generated.
  main=$(window_wide 492)
  chart=$(window_wide 960)
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
  stop_panel
}

shot zh_CN.UTF-8 '输出时序' docs/timeline.png
shot en_US.UTF-8 'Output timing' docs/timeline-en.png
echo "docs/timeline.png docs/timeline-en.png written"
