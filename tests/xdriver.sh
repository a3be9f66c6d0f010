# Sourced by the real-window tests' drivers, which run inside xvfb-run. Every wait has its own
# bound and, when it runs out, fails the test naming what it waited for. Nothing here relies on a
# window manager: without one nothing gives a window the keyboard, so each step that types focuses
# its window first, and a menu's item is typed only once the menu is on screen.
#   REAL_WINDOW_WM=openbox   runs the same steps under that window manager

# Whatever the driver started ends with it, however it ends.
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -n "${SHOT:-}" ] && command -v import >/dev/null && import -window root "$SHOT" 2>/dev/null
  exit 1
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  wait_quietly "$seconds" "$@" || fail "waited $seconds s in vain for $what"
}

# The window manager asked for, if any, for the rest of the driver.
start_window_manager() {
  [ -n "${REAL_WINDOW_WM:-}" ] || return 0
  command -v "$REAL_WINDOW_WM" >/dev/null || fail "no window manager $REAL_WINDOW_WM"
  "$REAL_WINDOW_WM" --sm-disable >/dev/null 2>&1 &
  wait_until 10 "the window manager $REAL_WINDOW_WM to take the screen" window_manager_running
}
window_manager_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }

# window_named SECONDS PATTERN: prints the id of a visible window whose title matches PATTERN.
window_named() {
  local id
  id=$(timeout "$1" xdotool search --sync --onlyvisible --name "$2" 2>/dev/null | head -n 1) || true
  [ -n "$id" ] || fail "waited $1 s in vain for a window named $2"
  printf '%s\n' "$id"
}

# settled WINDOW: waits until the window stays where it is: a window manager frames a new window
# and the program centres it again, frame and all, so a click aimed at once may land elsewhere.
settled() {
  local before now tries
  before=$(xdotool getwindowgeometry "$1" 2>/dev/null)
  for tries in $(seq 50); do
    sleep 0.3
    now=$(xdotool getwindowgeometry "$1" 2>/dev/null)
    [ "$now" = "$before" ] && return 0
    before=$now
  done
  fail "waited 15 s in vain for window $1 to stay in place"
}

# The number of windows of process PID on screen (all of them for PID "any": under Wine the
# program's windows carry the Wine server's process, and the program is the screen's only one): a
# menu open adds one, a submenu another.
windows_shown() {
  if [ "$1" = any ]; then
    xdotool search --onlyvisible --name '' 2>/dev/null | wc -l
  else
    xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l
  fi
}
more_windows_than() { [ "$(windows_shown "$1")" -gt "$2" ]; }

# focus WINDOW: gives it the keyboard (a window manager may take a moment to agree).
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowactivate --sync "$1" 2>/dev/null || true; }

# menu WINDOW PID KEY...: Alt+KEY opens WINDOW's menu, each further KEY picks an item of the
# menu on screen (a submenu's key waits for the submenu). Tried again from the start when a menu
# does not show, for a key that went elsewhere.
menu() {
  local wid=$1 pid=$2 first=$3 key try shown
  shift 3
  for try in 1 2 3; do
    focus "$wid"
    shown=$(windows_shown "$pid")
    if [ "$pid" = any ]; then
      xdotool key "alt+$first" # Wine takes no key sent to a window, only typed ones
    else
      xdotool key --window "$wid" "alt+$first"
    fi
    if ! wait_quietly 5 more_windows_than "$pid" "$shown"; then
      xdotool key --window "$wid" Escape 2>/dev/null || true
      continue
    fi
    while [ $# -gt 0 ]; do
      key=$1
      shift
      shown=$(windows_shown "$pid")
      xdotool key "$key" # to the menu, which holds the keyboard
      [ $# -eq 0 ] || wait_until 5 "the submenu of key $key" more_windows_than "$pid" "$shown"
    done
    return 0
  done
  fail "the menu Alt+$first did not open in three tries"
}

# wait_quietly SECONDS COMMAND...: as wait_until, but only returns false when time runs out.
wait_quietly() {
  local tenths=$(($1 * 10))
  shift
  until "$@" 2>/dev/null; do
    tenths=$((tenths - 1))
    [ "$tenths" -gt 0 ] || return 1
    sleep 0.1
  done
}

# ended PID SECONDS WHAT: the program has ended by itself (after WHAT), else the test fails.
ended() {
  wait_quietly "$2" sh -c '! kill -0 "$1"' _ "$1" || { kill "$1" 2>/dev/null; fail "the program still runs $2 s after $3"; }
  wait "$1" 2>/dev/null || true
}

# lines_at_least FILE N: FILE has N lines.
lines_at_least() { [ -f "$1" ] && [ "$(wc -l < "$1")" -ge "$2" ]; }

# copied WINDOW CLIPBOARD_TEXT FILE PATTERN: Alt+C in the ROM Information window, then the
# clipboard into FILE; true once it holds PATTERN (the window fills in as the read comes back).
copied() {
  focus "$1"
  xdotool key --window "$1" alt+c
  sleep 0.2
  env -u QT_QPA_PLATFORM "$2" > "$3" && grep -q "$4" "$3"
}
