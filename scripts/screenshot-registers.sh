#!/usr/bin/env bash
# Makes docs/timeline-registers-en.png under Xvfb in the English locale: the
# window on the simulator's running machine (--demo) with the register watch
# open from examples/demo-watch.csv and the output timing chart showing the
# watched registers as bus lanes below Q0-Q7, a write of R2000 pressed in the
# window, and a span in which the controller answered nothing.
#   LANG_SHOT=zh_CN.UTF-8 OUT=docs/timeline-registers.png scripts/screenshot-registers.sh
#                                          the same in another locale
# Needs xvfb, xdotool and imagemagick (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/xvfb-panel.sh

lang=${LANG_SHOT:-en_US.UTF-8}
out=${OUT:-docs/timeline-registers-en.png}
start_display "${SCREENSHOT_DISPLAY:-:94}" 1600x1200x24

start_sim --demo --control
start_panel LANG="$lang" LANGUAGE='' LC_ALL='' -- --timeline --watch examples/demo-watch.csv
sleep 1
# The main window and the chart by their width: the titles are not searchable
# in a locale this machine may not have generated.
main=$(window_wide 492)
chart=$(window_wide 960)
xdotool windowmove "$main" 1000 0
xdotool windowmove "$chart" 0 0
# The register watch, whose width follows the font: below the main window, off the chart.
for id in $(xdotool search --onlyvisible --pid "$panel" 2>/dev/null); do
  [ "$id" = "$main" ] || [ "$id" = "$chart" ] || xdotool windowmove "$id" 1000 420
done
sleep 6
# A write of 00A5 to R2000, pressed in the window: Q0, Q2, Q5 and Q7 light.
xdotool mousemove --window "$main" 116 142 click 1 key ctrl+a type 00A5
xdotool mousemove --window "$main" 220 109 click 1
sleep 3
echo "silent on" >&3; sleep 2.5; echo "silent off" >&3
sleep 3.5
# 15 s on the screen, the cursor on the write.
xdotool windowfocus --sync "$chart"
xdotool mousemove --window "$chart" 500 300 click 1 key plus plus
sleep 0.3
xdotool mousemove --window "$chart" 420 300
sleep 0.6
import -window "$chart" "$out"
echo "$out written"
