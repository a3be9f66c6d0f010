#!/usr/bin/env bash
# What the user plays, kept across starts, in the real program in a real window: open the menu of
# the first ROM with Shift+F10 and make it a favourite, start it twice with Enter, leave with
# File > Exit; start again, start it from File > Recent > 1, open its information with Alt+Enter
# and copy it: it says favourite, played 3 times, and a last launch.
#   real_window_history.sh PROGRAM STAND_IN CLIPBOARD_TEXT CONFIG_DIR
set -euo pipefail
program=$1 standin=$2 clipboard=$3 configdir=$4

for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

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
lines() { wc -l < "$app/nesticle.log" 2>/dev/null || echo 0; }
until_lines() { for _ in $(seq 100); do [ "$(lines)" -ge "$1" ] && return; sleep 0.1; done; }
start() {
  XDG_DATA_HOME="$app/../data" XDG_CACHE_HOME="$app/../cache" NESTICLE_STANDIN_EXIT=1 \
    env -u QT_QPA_PLATFORM "$app/quorvane" &
  pid=$!
  wid=$(timeout 20 xdotool search --sync --name '^Quorvane v1\.0b$' | head -n 1)
  sleep 1 # the list, its checks and the history read
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
}
leave() {
  xdotool key --window "$wid" alt+f
  sleep 0.3
  xdotool key --window "$wid" e 2>/dev/null || true # the window is gone before the key is let go
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  wait "$pid" || true
}

start
eval "$(xdotool getwindowgeometry --shell "$wid")"
y=$((HEIGHT - 370 + 112 + 24 + 8)) # the client area below the menu bar is 370 high; into the first row
xdotool mousemove --window "$wid" 46 "$y" click 1
sleep 0.3
xdotool key --window "$wid" shift+F10
sleep 0.3
xdotool key f
sleep 0.3
xdotool key --window "$wid" Return
until_lines 1
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --window "$wid" Return
until_lines 2
leave

start
xdotool key --window "$wid" alt+f
sleep 0.3
xdotool key r
sleep 0.3
xdotool key 1
until_lines 3
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool mousemove --window "$wid" 46 "$y" click 1 # the list, on the row Recent selected
sleep 0.3
xdotool key --window "$wid" alt+Return
info=$(timeout 10 xdotool search --sync --name '^ROM Information$' | head -n 1)
sleep 1 # the file read
xdotool key --window "$info" alt+c
sleep 0.3
"$clipboard" > "$app/../information.txt" || true
xdotool key --window "$info" Escape 2>/dev/null || true # gone before the key is let go
sleep 0.3
xdotool windowfocus --sync "$wid" 2>/dev/null || true
leave
DRIVE
chmod +x "$work/drive.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/drive.sh" "$app" "$clipboard"

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
