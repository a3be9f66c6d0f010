#!/usr/bin/env bash
# The real program in a real window on a virtual display, started from another folder than its own
# with a ROM folder relative to its own: double-click the first ROM of tab "Dir1" at its place on
# screen and press Enter on it, find "second" with Ctrl+F and start it with Enter, read what the
# stand-in emulator received three times;
# open Options > Directories and press Tab, Tab, Enter (the Save button), leave with Alt+F, E and
# check that the configuration file holds what that Save wrote; start the program again with a ROM
# on its command line, which the stand-in receives a fourth time, and again while it runs, which
# hands its ROM to the running one and ends: the stand-in receives it a fifth time.
#   real_window.sh PROGRAM STAND_IN CONFIG_DIR
set -euo pipefail
program=$1 standin=$2 configdir=$3

. "$(dirname "$0")/xsetup.sh"
require_tools xvfb-run xdotool

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app="$work/emu"
roms="$app/my roms"
mkdir -p "$app/snap" "$roms" "$configdir"
cp "$program" "$app/quorvane"
cp "$standin" "$app/nesticle.exe"
printf 'NES\032' > "$roms/A first game.nes"
printf 'NES\032' > "$roms/b second.nes"
printf '[Quorvane v1.0b Config File]\r\nRoms=my roms/\r\nRoms3=%s\r\n[Other]\r\nkeep=1\r\n' "$work/none/" \
  > "$configdir/quorvane.ini"
# Save writes all three keys, the relative one as it was typed: the missing one goes at the end of
# the section.
printf '[Quorvane v1.0b Config File]\r\nRoms=my roms/\r\nRoms3=%s\r\nRoms2=\r\n[Other]\r\nkeep=1\r\n' "$work/none/" \
  > "$work/expected.ini"

cat > "$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
app=$1
. "$XDRIVER"
start_window_manager
log=$app/nesticle.log
mkdir -p "$app/../elsewhere/my roms"
cd "$app/../elsewhere" # a folder of the same name here must not be the one listed
XDG_CACHE_HOME="$app/../cache" NESTICLE_STANDIN_EXIT=1 env -u QT_QPA_PLATFORM "$app/quorvane" &
pid=$!
wid=$(window_named 20 '^Quorvane v1\.0b$')
settled "$wid"
eval "$(xdotool getwindowgeometry --shell "$wid")"
menu_bar=$((HEIGHT - 370))      # the client area below the menu bar is 370 pixels high
x=$((8 + 8 + 30))               # tab control at 8, list at 8 on it, into the first entry
y=$((menu_bar + 112 + 24 + 8))  # tab control at 112, list at 24 on it, into the first row
focus "$wid"
xdotool mousemove --window "$wid" "$x" "$y" click 1
sleep 0.3
xdotool mousemove --window "$wid" "$x" "$y" click --repeat 2 --delay 60 1
wait_until 10 "the launch by a double click" lines_at_least "$log" 1
focus "$wid"
xdotool key --window "$wid" Return
wait_until 10 "the launch by Enter" lines_at_least "$log" 2
focus "$wid"
xdotool key --window "$wid" ctrl+f
sleep 0.3
xdotool type --window "$wid" "second"
sleep 0.3
xdotool key --window "$wid" Return
wait_until 10 "the launch of the ROM found by Ctrl+F" lines_at_least "$log" 3
xdotool key --window "$wid" Escape
menu "$wid" "$pid" o d
dialog=$(window_named 10 '^Directories$')
sleep 0.3
focus "$dialog"
xdotool key --window "$dialog" Tab Tab Return 2>/dev/null || true   # gone before Return is let go
wait_until 10 "the Directories window to close after Save" sh -c '! xdotool search --onlyvisible --name "^Directories$"'
menu "$wid" "$pid" f e
ended "$pid" 10 "File > Exit"
# "Open with": a ROM named on the command line, relative to the folder the program starts in.
run() { XDG_CACHE_HOME="$app/../cache" NESTICLE_STANDIN_EXIT=1 env -u QT_QPA_PLATFORM "$app/quorvane" "$@"; }
run "../emu/my roms/b second.nes" &
pid=$!
wait_until 20 "the launch of the ROM on the command line" lines_at_least "$log" 4
window_named 20 '^Quorvane v1\.0b$' >/dev/null
# Started again while it runs: the ROM goes to the running one, and the second start ends; with
# no ROM, it only brings the running one to the front.
run "../emu/my roms/A first game.nes" &
second=$!
wait_until 20 "the launch that a second start handed over" lines_at_least "$log" 5
ended "$second" 10 "handing its ROM over"
run &
ended "$!" 10 "finding one running"
shown=$(xdotool search --onlyvisible --name '^Quorvane v1\.0b$' | wc -l)
[ "$shown" -eq 1 ] || fail "$shown main windows, not one"
kill -0 "$pid" || fail "the first program ended"
kill "$pid"
wait "$pid" || true
DRIVE
drive "$work/drive.sh" "$app"

launch='["-run","'"$roms"'/A first game.nes","-res","320","240","-setinput","1","GRAVIS"]'
found='["-run","'"$roms"'/b second.nes","-res","320","240","-setinput","1","GRAVIS"]'
expected=$(printf '%s\n%s\n%s\n%s\n%s' "$launch" "$launch" "$found" "$found" "$launch")
actual=$(cat "$app/nesticle.log" 2>/dev/null || echo "(no launch)")
if [ "$actual" != "$expected" ]; then
  echo "FAIL: the emulator received $actual"
  echo "      expected             $expected"
  exit 1
fi
cmp "$work/expected.ini" "$configdir/quorvane.ini" || { echo "FAIL: the configuration file is not what Save writes"; exit 1; }
# The last launch's log, in the user's cache folder, starts with the command line.
grep -q -- '-run "'"$roms"'/A first game.nes"' "$work/cache/quorvane/last-launch.log" ||
  { echo "FAIL: no log of the last launch in $work/cache/quorvane"; exit 1; }
echo "1 passed, 0 failed"
