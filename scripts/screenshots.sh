#!/usr/bin/env bash
# Makes the README's pictures under Xvfb, as a person sees the windows:
#   docs/monitor.png   the line monitor while the window polls the simulator
#   docs/stale.png     the window after the simulated controller fell silent
# Needs xvfb, xdotool and imagemagick (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xdotool imagemagick
scripts/build.sh >/dev/null

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d)
mkfifo "$work/control"
cleanup() { kill $panel $sim $xvfb 2>/dev/null || true; exec 3>&-; rm -rf "$work"; }
trap cleanup EXIT
sleep 1

build/sim/varnak-sim --control --outputs A5 <"$work/control" >"$work/sim.out" &
sim=$!
exec 3>"$work/control"
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/sim.out")

build/panel/varnak-panel --port "1=$device" --monitor 2>"$work/panel.err" &
panel=$!
prompt=$(xdotool search --sync --name '请输入所使用的端口号' | head -n 1)
xdotool windowfocus --sync "$prompt" key Return
sleep 3

monitor=$(xdotool search --name '^通讯监视$' | head -n 1)
main=$(xdotool search --name '^Varnak协议通讯' | head -n 1)
xdotool windowmove "$monitor" 20 20
sleep 0.5
import -window "$monitor" docs/monitor.png

echo "silent on" >&3
xdotool windowunmap "$monitor"
sleep 2.5
# Without a window manager there is no frame: the window's own area, with its
# title drawn above it from the window's name, as a title bar would show it.
eval "$(xdotool getwindowgeometry --shell "$main")"
title=$(xdotool getwindowname "$main")
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/main.png"
convert "$work/main.png" -background '#d8d8d8' -gravity north -splice 0x24 \
  -font Noto-Sans-CJK-SC -pointsize 13 -fill black -annotate +0+4 "$title" docs/stale.png
echo "docs/monitor.png docs/stale.png written"
