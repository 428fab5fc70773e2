#!/usr/bin/env bash
# Makes the README's pictures under Xvfb, as a person sees the windows:
#   docs/monitor.png       the line monitor while the window polls the simulator (Chinese locale)
#   docs/monitor-en.png    the same in an English locale
#   docs/lamp-tooltip.png  a lamp's tooltip (Chinese locale)
#   docs/stale.png         the window after the simulated controller fell silent (Chinese locale)
# Needs xvfb, xdotool and imagemagick (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/xvfb-panel.sh
start_display "${SCREENSHOT_DISPLAY:-:97}" 1280x800x24

# Starts the simulator and the window with its monitor in locale $1; the
# monitor's title in that language is $2.
start() {
  start_sim --control --outputs A5
  start_panel LANG="$1" LC_ALL="$1" LANGUAGE= -- --monitor
  sleep 3
  monitor=$(window "$2")
  main=$(window 'Varnak协议通讯*')
  xdotool windowmove "$monitor" 20 20
  sleep 0.5
}

start en_US.UTF-8 'Line monitor'
import -window "$monitor" docs/monitor-en.png
stop_panel

start zh_CN.UTF-8 '通讯监视'
import -window "$monitor" docs/monitor.png
xdotool windowunmap "$monitor"
sleep 0.5

# Without a window manager there is no frame: the window's own area, with its
# title drawn above it from the window's name, as a title bar would show it.
shot() {
  eval "$(xdotool getwindowgeometry --shell "$main")"
  title=$(xdotool getwindowname "$main")
  import -window root -crop "$((WIDTH + $2))x$((HEIGHT + $3))+${X}+${Y}" +repage "$work/main.png"
  convert "$work/main.png" -background '#d8d8d8' -gravity north -splice 0x24 \
    -font Noto-Sans-CJK-SC -pointsize 13 -fill black -annotate +0+4 "$title" "$1"
}

# A lamp's tooltip: the pointer rests on Q2.
# Qt shows tooltips in the active window only: focus it first.
xdotool windowfocus --sync "$main"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + 79 + 40 * 2 + 10)) $((Y + 247 + 10))
sleep 0.3
xdotool mousemove $((X + 79 + 40 * 2 + 18)) $((Y + 247 + 18))
sleep 2
shot docs/lamp-tooltip.png 0 0
xdotool mousemove 0 0

echo "silent on" >&3
sleep 2.5
shot docs/stale.png 0 0
echo "docs/monitor.png docs/monitor-en.png docs/lamp-tooltip.png docs/stale.png written"
