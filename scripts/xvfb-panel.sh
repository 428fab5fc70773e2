# shellcheck shell=bash
# The window on the simulator under an Xvfb display of its own, for the screenshot scripts, which
# source this file from the top of the tree (after set -euo pipefail). Whatever they started is
# ended, and the scratch folder $work removed, when the script exits.
#   start_display DISPLAY WxHxDEPTH        installs what is missing, builds, starts Xvfb on DISPLAY
#                                          and waits for it
#   start_sim ARGS...                      the simulator; sets $sim and $device (its line); with
#                                          --control among ARGS its commands are written to fd 3
#   start_panel VAR=VALUE... -- ARGS...    the window on $device in that environment, its port
#                                          prompt answered; sets $panel
#   window PATTERN, window_wide PX         a visible window of the panel's, by title or width
#   await_window WHAT TEST...              the same for any test
#   stop_panel                             ends the window and the simulator

panel="" sim="" xvfb="" work=""

cleanup() {
  for p in $panel $sim $xvfb; do kill "$p" 2>/dev/null || true; done
  exec 3>&- 2>/dev/null || true
  [ -z "$work" ] || rm -rf "$work"
}

start_display() {  # DISPLAY, screen size
  scripts/install-deps.sh xdotool imagemagick
  scripts/build.sh >/dev/null
  export DISPLAY=$1
  Xvfb "$DISPLAY" -screen 0 "$2" >/dev/null 2>&1 &
  xvfb=$!
  work=$(mktemp -d)
  trap cleanup EXIT
  for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
}

start_sim() {
  # Removed first so that the wait below cannot read the line of an earlier run.
  rm -f "$work/control" "$work/sim.out"
  case " $* " in
    *" --control "*)
      mkfifo "$work/control"
      build/sim/varnak-sim "$@" <"$work/control" >"$work/sim.out" &
      sim=$!
      exec 3>"$work/control"
      ;;
    *)
      build/sim/varnak-sim "$@" >"$work/sim.out" &
      sim=$!
      ;;
  esac
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$work/sim.out")
}

start_panel() {
  local env=()
  while [ "$1" != -- ]; do
    env+=("$1")
    shift
  done
  shift
  env "${env[@]}" build/panel/varnak-panel --port "1=$device" "$@" 2>"$work/panel.err" &
  panel=$!
  local prompt
  prompt=$(window '请输入所使用的端口号')  # the same title in every locale
  xdotool windowfocus --sync "$prompt" key Return
}

# Prints the id of the panel's first visible window for which TEST... succeeds with the window's
# id as its last argument, waiting up to 10 s for one; fails, saying "no window WHAT", without.
await_window() {
  local what=$1 id
  shift
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --pid "$panel" 2>/dev/null); do
      "$@" "$id" && echo "$id" && return
    done
    sleep 0.1
  done
  echo "no window $what" >&2
  return 1
}

# xdotool's own name search misses Chinese titles in some locales: the names are compared as
# xdotool prints them.
titled() {  # PATTERN, window
  # shellcheck disable=SC2254  # a pattern: 'Varnak*'
  case "$(xdotool getwindowname "$2")" in $1) return 0 ;; esac
  return 1
}

wide() {  # width in px, window
  eval "$(xdotool getwindowgeometry --shell "$2")"
  [ "$WIDTH" = "$1" ]
}

window() { await_window "$1" titled "$1"; }

window_wide() { await_window "$1 px wide" wide "$1"; }

stop_panel() {
  kill "$panel" "$sim" 2>/dev/null || true
  wait "$panel" "$sim" 2>/dev/null || true
  exec 3>&-
  panel="" sim=""
}
