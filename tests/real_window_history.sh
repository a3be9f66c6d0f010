#!/usr/bin/env bash
# What the user plays, kept across starts, in the real program in a real window: open the menu of
# the first ROM with Shift+F10 and make it a favourite, start it twice with Enter, leave with
# File > Exit; start again, start it from File > Recent > 1, open its information with Alt+Enter
# and copy it: it says favourite, played 3 times, and a last launch.
#   real_window_history.sh PROGRAM STAND_IN CLIPBOARD_TEXT CONFIG_DIR
set -euo pipefail
program=$1 standin=$2 clipboard=$3 configdir=$4

. "$(dirname "$0")/xsetup.sh"
require_tools xvfb-run xdotool

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app="$work/emu"
roms="$work/my roms"
mkdir -p "$app/snap" "$roms" "$configdir"
cp "$program" "$app/quorvane"
cp "$standin" "$app/nesticle.exe"
rom() { printf 'NES\032\001\000\000\000\000\000\000\000\000\000\000\000'; head -c 16384 /dev/zero | tr '\0' "$1"; }
rom a > "$roms/A first game.nes"
rom b > "$roms/b second.nes"
printf '[Quorvane v1.0b Config File]\r\nRoms=%s/\r\n' "$roms" > "$configdir/quorvane.ini"

cat > "$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
app=$1 clipboard=$2
. "$XDRIVER"
start_window_manager
log=$app/nesticle.log
start() {
  XDG_DATA_HOME="$app/../data" XDG_CACHE_HOME="$app/../cache" NESTICLE_STANDIN_EXIT=1 \
    env -u QT_QPA_PLATFORM "$app/quorvane" &
  pid=$!
  wid=$(window_named 20 '^Quorvane v1\.0b$')
  settled "$wid"
  sleep 0.5 # the list, its checks and the history read
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  y=$((HEIGHT - 370 + 112 + 24 + 8)) # the client area below the menu bar is 370 high; into the first row
}
first_row() { focus "$wid"; xdotool mousemove --window "$wid" 46 "$y" click 1; sleep 0.3; }

start
first_row
shown=$(windows_shown "$pid")
xdotool key --window "$wid" shift+F10
wait_until 5 "the ROM's menu after Shift+F10" more_windows_than "$pid" "$shown"
xdotool key f # Add to Favourites, to the menu that holds the keyboard
wait_until 5 "the ROM's menu to close" sh -c '[ "$(xdotool search --onlyvisible --pid "$1" | wc -l)" -le "$2" ]' _ "$pid" "$shown"
focus "$wid"
xdotool key --window "$wid" Return
wait_until 10 "the first launch (Enter)" lines_at_least "$log" 1
focus "$wid"
xdotool key --window "$wid" Return
wait_until 10 "the second launch (Enter)" lines_at_least "$log" 2
menu "$wid" "$pid" f e
ended "$pid" 10 "File > Exit"

start
menu "$wid" "$pid" f r 1
wait_until 10 "the launch from File > Recent > 1" lines_at_least "$log" 3
first_row # the list, on the row Recent selected
xdotool key --window "$wid" alt+Return
info=$(window_named 10 '^ROM Information$')
wait_until 10 "the ROM's information on the clipboard after Alt+C" copied "$info" "$clipboard" "$app/../information.txt" "Last played"
xdotool key --window "$info" Escape 2>/dev/null || true # gone before the key is let go
wait_until 5 "the ROM Information window to close" sh -c '! xdotool search --onlyvisible --name "^ROM Information$"'
menu "$wid" "$pid" f e
ended "$pid" 10 "File > Exit"
DRIVE
drive "$work/drive.sh" "$app" "$clipboard"

launch='["-run","'"$roms"'/A first game.nes","-res","320","240","-setinput","1","GRAVIS"]'
expected=$(printf '%s\n%s\n%s' "$launch" "$launch" "$launch")
actual=$(cat "$app/nesticle.log" 2>/dev/null || echo "(no launch)")
if [ "$actual" != "$expected" ]; then
  echo "FAIL: the emulator received $actual"
  echo "      expected             $expected"
  exit 1
fi
information=$(cat "$work/information.txt" 2>/dev/null || true)
for line in "File: $roms/A first game.nes" "Favourite: yes" "Played: 3 times, 0 h 00 min" "Last played: "; do
  grep -qF -- "$line" <<<"$information" || { echo "FAIL: the information window does not say \"$line\":"; echo "$information"; exit 1; }
done
grep -q "Last played: never" <<<"$information" && { echo "FAIL: the last launch is not shown"; exit 1; }
echo "1 passed, 0 failed"
