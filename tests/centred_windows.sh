#!/usr/bin/env bash
# Under a real window manager (openbox) on a virtual display, every window opens centred with its
# frame: the main window, Options > Directories, a folder picker and Help > About. Prints each
# window's offset from the screen's centre and fails past 3 pixels.
#   centred_windows.sh PROGRAM CONFIG_DIR
set -euo pipefail
program=$1 configdir=$2

. "$(dirname "$0")/xsetup.sh"
require_tools xvfb-run xdotool xwininfo openbox

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/emu" "$configdir"
cp "$program" "$work/emu/quorvane"
printf '[Quorvane v1.0b Config File]\r\nRoms=%s/\r\n' "$work" > "$configdir/quorvane.ini"

cat > "$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
app=$1
. "$XDRIVER"
REAL_WINDOW_WM=openbox start_window_manager
cd /
XDG_CACHE_HOME="$app/../cache" env -u QT_QPA_PLATFORM "$app/quorvane" &
pid=$!
failed=0
wid=
# The frame's centre (the client window and the frame extents the window manager gives it)
# against the screen's (1024 x 768).
check() {
  local name=$1
  wid=$(window_named 20 "$2")
  wait_until 10 "the window manager to frame $name" sh -c 'xprop -id "$1" _NET_FRAME_EXTENTS | grep -q "="' _ "$wid"
  sleep 0.8 # the program centres it again, frame and all
  local info x y w h extents left right top bottom
  info=$(xwininfo -id "$wid")
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/.*Width: *//p' <<<"$info")
  h=$(sed -n 's/.*Height: *//p' <<<"$info")
  extents=$(xprop -id "$wid" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  local fx=$((x - left)) fy=$((y - top)) fw=$((w + left + right)) fh=$((h + top + bottom))
  local dx=$((fx + fw / 2 - 512)) dy=$((fy + fh / 2 - 384))
  echo "$name: frame ${fw}x${fh} at $fx,$fy (title and borders $left,$right,$top,$bottom), off centre by $dx,$dy"
  if [ "${dx#-}" -gt 3 ] || [ "${dy#-}" -gt 3 ] || [ -z "$extents" ]; then failed=1; fi
}
gone() { wait_until 10 "the window $1 to close" sh -c '! xdotool search --onlyvisible --name "$1"' _ "$1"; }
check "main window" '^Quorvane v1\.0b$'; main=$wid
menu "$main" "$pid" o d
check "Directories" '^Directories$'; dialog=$wid
focus "$dialog"
xdotool key Tab Return # Text1, then its "..." button
check "folder picker" '^Select Directory$'
xdotool key alt+F4
gone '^Select Directory$'
focus "$dialog"; xdotool key alt+F4
gone '^Directories$'
menu "$main" "$pid" h a
check "About" '^About$'
xdotool key Return
gone '^About$'
menu "$main" "$pid" f e
ended "$pid" 10 "File > Exit"
exit $failed
DRIVE
drive "$work/drive.sh" "$work/emu" || { echo "FAIL: a window opened off centre"; exit 1; }
echo "1 passed, 0 failed"
