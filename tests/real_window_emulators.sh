#!/usr/bin/env bash
# A real emulator started by the real program in a real window, with no nesticle.exe anywhere:
# Debian's FCEUX (found in /usr/games, the default Quorvane picks and says so once) or Debian's
# RetroArch with its Nestopia core (the user's default in their my-emulators.ini). A double click on
# one of the demo ROMs opens the emulator's window; its command line is checked; once it is
# closed, the ROM Information window says the game was played once, and File > Recent holds it.
#   real_window_emulators.sh PROGRAM CLIPBOARD_TEXT CONFIG_DIR DEMO_ROMS fceux|retroarch
set -euo pipefail
program=$1 clipboard=$2 configdir=$3 demo=$4 kind=$5

. "$(dirname "$0")/xsetup.sh"
require_tools xvfb-run xdotool dbus-daemon
case $kind in
  fceux) emulator=/usr/games/fceux title='^FCEUX 2\.6\.5' ;;
  retroarch) emulator=/usr/bin/retroarch title='^RetroArch Nestopia' core=/usr/lib/x86_64-linux-gnu/libretro/nestopia_libretro.so
             [ -f "$core" ] || { echo "SKIP: $core is not installed"; exit 77; } ;;
esac
[ -x "$emulator" ] || { echo "SKIP: $emulator is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app="$work/emu"
roms="$work/my roms"
mkdir -p "$app" "$roms" "$configdir" "$work/config/quorvane" "$work/home"
cp "$program" "$app/quorvane"
cp "$demo/Pixel Dash.nes" "$roms/"
printf '[Quorvane v1.0b Config File]\r\nRoms=%s/\r\n' "$roms" > "$configdir/quorvane.ini"
[ "$kind" = retroarch ] && printf '[Quorvane]\nDefault=retroarch-nestopia\n' > "$work/config/quorvane/my-emulators.ini"

cat > "$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
app=$1 clipboard=$2 kind=$3 title=$4
. "$XDRIVER"
start_window_manager
# The user's session: their own folders, and a session bus (RetroArch ends without one).
{ read -r address; read -r bus; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
trap 'kill "$bus" 2>/dev/null || true' EXIT
export DBUS_SESSION_BUS_ADDRESS=$address
HOME="$app/../home" XDG_CONFIG_HOME="$app/../config" XDG_DATA_HOME="$app/../data" XDG_CACHE_HOME="$app/../cache" \
  env -u QT_QPA_PLATFORM "$app/quorvane" &
pid=$!
wid=$(window_named 20 '^Quorvane v1\.0b$')
settled "$wid"
# The message that says which emulator was picked for the user, closed with Enter (typed again
# should the first press land before it has the focus).
message_closed() {
  local said
  said=$(xdotool search --onlyvisible --name '^Quorvane$' 2>/dev/null | head -n 1) || true
  [ -z "$said" ] && return 0
  focus "$said"
  xdotool key Return 2>/dev/null || true
  return 1
}
if [ "$kind" = fceux ]; then # said once, at the first start
  window_named 20 '^Quorvane$' >/dev/null
  wait_until 10 "the message saying which emulator was picked to close after Enter" message_closed
fi
sleep 0.5 # the list and its checks
eval "$(xdotool getwindowgeometry --shell "$wid")"
y=$((HEIGHT - 370 + 112 + 24 + 8)) # the client area below the menu bar is 370 high; into the first row
focus "$wid"
xdotool mousemove --window "$wid" 46 "$y" click 1
sleep 0.3
started=$(date +%s)
xdotool mousemove --window "$wid" 46 "$y" click --repeat 2 --delay 80 1
emu=$(window_named 30 "$title")
emupid=$(xdotool getwindowpid "$emu")
tr '\0' '\n' < "/proc/$emupid/cmdline" > "$app/../cmdline"
# Closed after a while: an emulator that ends within 5 s is reported as one that failed to start.
while [ $(( $(date +%s) - started )) -lt 6 ]; do sleep 0.5; done
xdotool windowkill "$emu"
wait_until 10 "the emulator to end once its window is closed" sh -c '! kill -0 "$1" 2>/dev/null' _ "$emupid"
sleep 0.5 # its play time is kept
focus "$wid"
xdotool mousemove --window "$wid" 46 "$y" click 1
xdotool key --window "$wid" alt+Return
info=$(window_named 10 '^ROM Information$')
wait_until 10 "the ROM's information, played once, on the clipboard after Alt+C" copied "$info" "$clipboard" "$app/../information.txt" "Played: 1 time"
xdotool key --window "$info" Escape 2>/dev/null || true
wait_until 5 "the ROM Information window to close" sh -c '! xdotool search --onlyvisible --name "^ROM Information$"'
menu "$wid" "$pid" f e
ended "$pid" 10 "File > Exit"
DRIVE
drive "$work/drive.sh" "$app" "$clipboard" "$kind" "$title"

rom="$roms/Pixel Dash.nes"
case $kind in
  fceux) expected=$(printf '%s\n' "$emulator" --sound 1 --xres 320 --yres 240 "$rom") ;;
  retroarch) expected=$(printf '%s\n' "$emulator" -L "$core" "$rom") ;;
esac
actual=$(cat "$work/cmdline" 2>/dev/null || echo "(no emulator)")
if [ "$actual" != "$expected" ]; then
  echo "FAIL: the emulator's command line was"; echo "$actual"; echo "expected"; echo "$expected"
  exit 1
fi
information=$(cat "$work/information.txt")
for line in "File: $rom" "Played: 1 time" "Emulator: "; do
  grep -qF -- "$line" <<<"$information" || { echo "FAIL: the information window does not say \"$line\":"; echo "$information"; exit 1; }
done
grep -q "Last played: never" <<<"$information" && { echo "FAIL: the last launch is not shown"; exit 1; }
grep -q "$(basename "$emulator")" "$work/cache/quorvane/last-launch.log" || { echo "FAIL: no launch log"; exit 1; }
echo "1 passed, 0 failed"
