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
scripts/install-deps.sh xdotool imagemagick
scripts/build.sh >/dev/null

scale=${SCALE:-1}
suffix=""
[ "$scale" = 1 ] || suffix="-x$scale"
export DISPLAY=${SCREENSHOT_DISPLAY:-:95}
Xvfb "$DISPLAY" -screen 0 1920x1400x24 >/dev/null 2>&1 &
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

# The panel's visible window of width $1 (the titles are not searchable in a
# locale this machine may not have generated), waiting up to 10 s for it.
window() {
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --pid "$panel" 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$id")"
      [ "$WIDTH" = "$1" ] && echo "$id" && return
    done
    sleep 0.1
  done
  echo "no window $1 px wide" >&2
  return 1
}

# The panel's visible window that is neither the prompt nor the main window:
# the watch, whose width follows the font.
watch_window() {
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --pid "$panel" 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$id")"
      [ "$WIDTH" != $((492 * scale)) ] && [ "$WIDTH" != $((200 * scale)) ] && echo "$id" && return
    done
    sleep 0.1
  done
  echo "no watch window" >&2
  return 1
}

shot() {  # LANG, list file, output file
  mkfifo "$work/control"
  build/sim/varnak-sim --control --outputs 5A <"$work/control" >"$work/sim.out" &
  sim=$!
  exec 3>"$work/control"
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$work/sim.out")
  for set in "R1000 0100" "R1001 01F4" "R1002 FF38" "R1003 86A0" "R1004 0001" "R1006 0000" "R1007 4248" \
    "R2000 00A5"; do
    echo "set $set" >&3
  done
  LANG=$1 LANGUAGE='' LC_ALL='' QT_SCALE_FACTOR=$scale build/panel/varnak-panel --port "1=$device" --watch "$2" \
    2>"$work/panel.err" &
  panel=$!
  prompt=$(window $((200 * scale)))
  xdotool windowfocus --sync "$prompt" key Return
  sleep 1
  main=$(window $((492 * scale)))
  watch=$(watch_window)
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
  kill "$panel" "$sim"
  wait "$panel" "$sim" 2>/dev/null || true
  panel=""
  sim=""
  exec 3>&-
  rm -f "$work/control"
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
