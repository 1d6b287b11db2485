#!/usr/bin/env bash
# The launcher as a whole, headless: it makes the device, says what is missing, ends every
# process it started (also when interrupted), and with both programs built runs the scripted
# capture to a stored camera.
# usage: launcher_test.sh BUILD_DIR
set -u
set -m  # background jobs keep SIGINT, so the launcher can be interrupted like from a terminal
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:?usage: launcher_test.sh BUILD_DIR}
source "$here/check.sh"

tmp=$(mktemp -d /tmp/tm-launcher-test.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
unset DISPLAY

screen_pid_in() { sed -n 's/.*device screen: Xvfb on display :[0-9]* (pid \([0-9]*\)).*/\1/p' "$1" | head -n 1; }
program_pids_in() { sed -n 's/.*started [a-z]* (pid \([0-9]*\).*/\1/p' "$1"; }
source "$repo/tools/emulator/lib.sh"
gone() { ! tm_alive "$1"; }

# --- nothing built: a device is still made, the gaps are named, the screen is ended --------------
mkdir -p "$tmp/empty-build"
"$repo/tools/emulator.sh" --build "$tmp/empty-build" --device "$tmp/dev1" --screen 480x640 --smartphone \
  --device-id 00a1b2c3 --orientation 2 --timer on --names "Fuel,Car park" 2>"$tmp/err1" >/dev/null
status=$?
err=$(cat "$tmp/err1")
check_eq 1 "$status" "exit status without programs"
check_contains "missing: Trapmarker" "$err" "names the missing application"
check_contains "missing: the navigator stand-in" "$err" "names the missing navigator"
check_contains "480x640 SmartPhone, device id 00a1b2c3, orientation 2, timer on, custom names: Fuel Car park" \
  "$err" "summary of the device"
check_eq $'[screen]\nwidth=480\nheight=640\n[system]\nplatform=SmartPhone\ndeviceid=00A1B2C3' \
  "$(cat "$tmp/dev1/device.ini")" "device.ini follows the options"
check_eq "320d0a310d0a4675656c0d0a436172207061726b0d0a" \
  "$(od -An -tx1 -v "$tmp/dev1/fs/Program Files/Trapmarker/Trapmarker.ini" | tr -d ' \n')" "Trapmarker.ini"
pid=$(screen_pid_in "$tmp/err1")
check_true "Xvfb was started ($err)" test -n "$pid"
[[ -n $pid ]] && check_true "Xvfb (pid $pid) is ended" gone "$pid"

# A second run reuses the device: options not given keep the preferences, the new ones apply.
"$repo/tools/emulator.sh" --build "$tmp/empty-build" --device "$tmp/dev1" --timer off 2>"$tmp/err2" >/dev/null
check_contains "240x320 PocketPC, device id 00A1B2C3, orientation 2, timer off, custom names: Fuel Car park" \
  "$(cat "$tmp/err2")" "a reused device keeps its identifier, orientation and names"

# Bad options are refused before anything starts.
"$repo/tools/emulator.sh" --build "$tmp/empty-build" --device "$tmp/dev1" --orientation 5 2>"$tmp/err3"
check_eq 2 $? "exit status for a bad option"
check_contains "--orientation takes 0, 1, 2 or 3" "$(cat "$tmp/err3")" "says what is wrong with the option"

# --- the navigator built: Ctrl-C ends it and the screen ------------------------------------------
if [[ -x $build/navigator/navigator ]]; then
  "$repo/tools/emulator.sh" --build "$build" --device "$tmp/dev2" 2>"$tmp/err4" >/dev/null &
  launcher=$!
  # Interrupt while the navigator runs, before the script would go on by itself.
  for ((i = 0; i < 200; i++)); do
    [[ -n $(program_pids_in "$tmp/err4") ]] && break
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.05
  done
  # The clean-up finds device programs by their executable in the device and their display.
  display=$(sed -n 's/.*device screen: Xvfb on display \(:[0-9]*\).*/\1/p' "$tmp/err4")
  found=$(tm_device_pids "$tmp/dev2/fs" "$display" | tr '\n' ' ')
  kill -INT "$launcher" 2>/dev/null
  wait "$launcher"
  status=$?
  err=$(cat "$tmp/err4")
  nav=$(program_pids_in "$tmp/err4" | head -n 1)
  xvfb=$(screen_pid_in "$tmp/err4")
  check_eq 130 "$status" "exit status after Ctrl-C: $err"
  check_contains "interrupted" "$err" "says it was interrupted"
  check_true "the navigator was started: $err" test -n "$nav"
  check_eq "$nav " "$found" "the device's processes while the navigator runs"
  [[ -n $nav ]] && check_true "the navigator (pid $nav) is ended" gone "$nav"
  [[ -n $xvfb ]] && check_true "Xvfb (pid $xvfb) is ended" gone "$xvfb"
  check_true "the navigator is installed under its device name" test -x "$tmp/dev2/fs/Program Files/Navigator/TomTom Navigator.exe"
  check_true "the demo map is installed" test -f "$tmp/dev2/fs/TomTom/Maps/Demotown/streets.txt"
  check_true "the demo track is installed beside the navigator" test -f "$tmp/dev2/fs/Program Files/Navigator/demotown.gpx"

  if [[ ! -x $build/app/Trapmarker ]]; then
    # Without the application the run shows the navigator, says what is missing and fails.
    "$repo/tools/emulator.sh" --build "$build" --device "$tmp/dev2" 2>"$tmp/err5" >/dev/null
    check_eq 1 $? "exit status without the application"
    check_contains "Trapmarker is not installed" "$(cat "$tmp/err5")" "says the capture cannot run"
    check_true "the navigator's screen was captured" test -s "$tmp/dev2/shots/01-navigator.png"
    for p in $(program_pids_in "$tmp/err5") $(screen_pid_in "$tmp/err5"); do
      check_true "process $p is ended" gone "$p"
    done
  fi
else
  echo "skipped: the navigator is not built in $build"
fi

# --- with a desktop: the device screen is a Xephyr window, worked by keys -------------------------
if [[ -x $build/navigator/navigator && -x $build/app/Trapmarker ]] && command -v Xephyr >/dev/null; then
  # The "desktop" is an Xvfb of our own; the keys come through a pipe instead of a terminal.
  Xvfb -screen 0 800x600x24 -nolisten tcp -noreset -displayfd 3 3>"$tmp/hostfd" 2>/dev/null &
  host_pid=$!
  for ((i = 0; i < 100; i++)); do [[ -s $tmp/hostfd ]] && break; sleep 0.05; done
  host=":$(head -n 1 "$tmp/hostfd")"
  mkfifo "$tmp/keys"
  DISPLAY=$host "$repo/tools/emulator.sh" --build "$build" --device "$tmp/dev4" <"$tmp/keys" 2>"$tmp/err7" >/dev/null &
  launcher=$!
  exec 7>"$tmp/keys"
  for ((i = 0; i < 200; i++)); do
    grep -q 'keys: Enter' "$tmp/err7" && break
    sleep 0.05
  done
  geometry=$(DISPLAY=$host xdotool search --name 'Trapmarker device' getwindowgeometry 2>/dev/null)
  printf 's' >&7
  for ((i = 0; i < 100; i++)); do [[ -s $tmp/dev4/shots/screen-1.png ]] && break; sleep 0.05; done
  printf 'q' >&7
  wait "$launcher"
  status=$?
  exec 7>&-
  err=$(cat "$tmp/err7")
  check_eq 0 "$status" "exit status after q: $err"
  check_contains "device screen: Xephyr" "$err" "a desktop gets a Xephyr window"
  check_contains "Geometry: 240x320" "$geometry" "the window has the device's size"
  check_contains "started trapmarker" "$err" "Trapmarker starts on the device screen"
  check_true "s saved a screenshot" test -s "$tmp/dev4/shots/screen-1.png"
  for p in $(program_pids_in "$tmp/err7") $(sed -n 's/.*Xephyr on display :[0-9]* (pid \([0-9]*\)).*/\1/p' "$tmp/err7"); do
    check_true "process $p is ended" gone "$p"
  done
  kill "$host_pid" 2>/dev/null
  wait "$host_pid" 2>/dev/null
else
  echo "skipped: the Xephyr run needs Xephyr, the navigator and Trapmarker"
fi

# --- both programs built: the scripted capture stores a camera -----------------------------------
if [[ -x $build/navigator/navigator && -x $build/app/Trapmarker && -x $build/tools/exporter/trapmarker-export ]]; then
  "$repo/tools/emulator.sh" --build "$build" --device "$tmp/dev3" --device-id 00A1B2C3 >"$tmp/out6" 2>"$tmp/err6"
  status=$?
  check_eq 0 "$status" "scripted capture: $(cat "$tmp/err6")"
  out=$(cat "$tmp/out6")
  check_contains ",camera," "$out" "the stored camera is printed"
  check_contains ",1,Gatso,4,50 mph,0,This side," "$out" "the camera carries the three taps"
  check_contains ",00A1B2C3," "$out" "the camera carries the device identifier"
  for shot in navigator type-page speed-page direction-page navigator-saved; do
    check_true "screenshot $shot" compgen -G "$tmp/dev3/shots/[0-9][0-9]-$shot.png" >/dev/null
  done
  for p in $(program_pids_in "$tmp/err6") $(screen_pid_in "$tmp/err6"); do
    check_true "process $p is ended" gone "$p"
  done
else
  echo "skipped: the scripted capture needs the navigator, Trapmarker and the exporter built in $build"
fi

finish
