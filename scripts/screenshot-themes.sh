#!/usr/bin/env bash
# Looks at every window on a light and a dark desktop, at scale 1 and 2, under
# Xvfb: the main window, the line monitor, the output timing chart and the
# register watch, on the demo machine. The dark desktop is qt6ct's "darker"
# colour scheme with the Fusion style and a 10 pt font, from a qt6ct
# configuration of its own.
#   scripts/screenshot-themes.sh [DIR]   16 pictures into DIR (build/screenshots by default):
#                                        {window,monitor,timeline,watch}-{light,dark}-x{1,2}.png
# and into docs/: timeline-dark.png, window-dark.png and window-x2.png.
# Needs xvfb, xdotool, imagemagick and qt6ct (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/xvfb-panel.sh

out=${1:-build/screenshots}
mkdir -p "$out"
start_display "${SCREENSHOT_DISPLAY:-:94}" 2600x2200x24

# qt6ct's own configuration, apart from the user's.
mkdir -p "$work/xdg/qt6ct"
cat >"$work/xdg/qt6ct/qt6ct.conf" <<CONF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion

[Fonts]
general="Noto Sans CJK SC,10,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
fixed="DejaVu Sans Mono,9,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
CONF

shots() {  # light|dark, scale
  local theme=$1 scale=$2
  start_sim --demo
  local env=(LANG=C.UTF-8 LC_ALL=C.UTF-8 LANGUAGE= QT_SCALE_FACTOR="$scale")
  [ "$theme" = dark ] && env+=(XDG_CONFIG_HOME="$work/xdg" QT_QPA_PLATFORMTHEME=qt6ct)
  start_panel "${env[@]}" -- --monitor --timeline --watch examples/demo-watch.csv
  main=$(window 'Varnak*')
  monitor=$(window 'Line monitor')
  chart=$(window 'Output timing')
  watch=$(window 'Register watch')
  xdotool windowmove "$main" 0 0
  xdotool windowmove "$watch" $((520 * scale)) 0
  xdotool windowmove "$monitor" 0 $((480 * scale))
  xdotool windowmove "$chart" 0 $((480 * scale))
  # The outputs set by a write of 00A5 to R2000, then a refused register
  # number in the read box, so that a marked box shows.
  xdotool mousemove --window "$main" $((116 * scale)) $((142 * scale)) click 1 key ctrl+a type 00A5
  xdotool mousemove --window "$main" $((220 * scale)) $((109 * scale)) click 1
  sleep 1
  xdotool mousemove --window "$main" $((405 * scale)) $((117 * scale)) click 1 key ctrl+a type 2008
  sleep 6
  xdotool mousemove --window "$chart" $((700 * scale)) $((300 * scale))
  sleep 0.6
  local tag="$theme-x$scale"
  import -window "$main" "$out/window-$tag.png"
  import -window "$chart" "$out/timeline-$tag.png"
  import -window "$watch" "$out/watch-$tag.png"
  xdotool windowraise "$monitor"
  sleep 0.5
  import -window "$monitor" "$out/monitor-$tag.png"
  stop_panel
}

for theme in light dark; do
  for scale in 1 2; do shots "$theme" "$scale"; done
done
cp "$out/timeline-dark-x1.png" docs/timeline-dark.png
cp "$out/window-dark-x1.png" docs/window-dark.png
cp "$out/window-light-x2.png" docs/window-x2.png
echo "$out: $(ls "$out" | wc -l) pictures; docs/timeline-dark.png docs/window-dark.png docs/window-x2.png written"
