#!/usr/bin/env bash
# Makes docs/watch.png (Chinese locale) and docs/watch-en.png (English) under
# Xvfb: the window on the simulator with the register watch open from a list
# file (--watch), a counter moving so that its change mark shows, and a value
# typed into a row and written.
#   SCALE=2 scripts/screenshot-watch.sh    the same at QT_SCALE_FACTOR=2, into docs/watch-x2*.png
#                                          (for a look; the README shows the 1x pictures)
# Needs xvfb, xdotool and imagemagick (installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/xvfb-panel.sh

scale=${SCALE:-1}
suffix=""
[ "$scale" = 1 ] || suffix="-x$scale"
start_display "${SCREENSHOT_DISPLAY:-:95}" 1920x1400x24

# The panel's visible window that is neither the prompt nor the main window:
# the watch, whose width follows the font.
not_prompt_or_main() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$WIDTH" != $((492 * scale)) ] && [ "$WIDTH" != $((200 * scale)) ]
}

shot() {  # LANG, list file, output file
  start_sim --control --outputs 5A
  for set in "R1000 0100" "R1001 01F4" "R1002 FF38" "R1003 86A0" "R1004 0001" "R1006 0000" "R1007 4248" \
    "R2000 00A5"; do
    echo "set $set" >&3
  done
  start_panel LANG="$1" LANGUAGE='' LC_ALL='' QT_SCALE_FACTOR="$scale" -- --watch "$2"
  sleep 1
  main=$(window_wide $((492 * scale)))
  watch=$(await_window watch not_prompt_or_main)
  xdotool windowmove "$main" 0 0
  xdotool windowmove "$watch" 0 $((400 * scale))
  # The set point: the table has the focus on the first row; down to the
  # second, over to the value, F2, the new value, Enter.
  xdotool windowfocus --sync "$watch"
  xdotool key Down Right Right Right F2 ctrl+a
  xdotool type 750
  xdotool key Return
  # The counter counts; the last change is the one marked.
  for i in 1 2 3 4 5 6; do
    echo "set R1000 $(printf %04X $((256 + i)))" >&3
    sleep 0.5
  done
  sleep 0.3
  import -window "$watch" "$3"
  stop_panel
}

cat >"$work/zh.csv" <<'EOF'
register,name,format
R1000,计数器,hex
R1001,设定值,unsigned
R1002,温度（0.1 °C）,signed
R1003,累计产量,u32
R1006,流量,f32
R2000,输出,binary
EOF
cat >"$work/en.csv" <<'EOF'
register,name,format
R1000,counter,hex
R1001,set point,unsigned
R1002,temperature (0.1 °C),signed
R1003,total produced,u32
R1006,flow,f32
R2000,outputs,binary
EOF

shot zh_CN.UTF-8 "$work/zh.csv" "docs/watch$suffix.png"
shot en_US.UTF-8 "$work/en.csv" "docs/watch$suffix-en.png"
echo "docs/watch$suffix.png docs/watch$suffix-en.png written"
