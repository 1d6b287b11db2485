#!/bin/bash
# Trapmarker as a Windows program under Wine, against the scripted navigator built for Windows,
# on a 24-bit Xvfb screen; the camera road also runs on the Linux build, and both request logs
# must be the same.
#   wine_runs_test.sh <scenario> <windows build> <linux build> <source root>
# Scenarios: camera-road, countdown-hover, question-no, question-yes, second-instance.
set -u
scenario=$1 winbuild=$2 linbuild=$3 root=$4
. "$root/tests/wine/wine_lib.sh"

# A device folder: $1 name; fills $dev.
make_device() {
  dev=$work/$1
  mkdir -p "$dev/fs/Program Files/Trapmarker" "$dev/fs/Program Files/Navigator" "$dev/fs/TomTom/Maps/Demo"
  : > "$dev/fs/TomTom/Maps/Demo/streets.txt"
  cp "$root/resources/Roadwatchcameras.bmp" "$dev/fs/Program Files/Trapmarker/"
  cat > "$dev/fs/Program Files/Navigator/scripted-navigator.replies" <<'REPLIES'
GetCurrentPositionV01 0|1|-150000|5211000|90|50|
GetDataSetInfoV01 0|Demo|\TomTom\Maps\Demo\|0|0|
GetLocationInfoExV01 0|-150000|5211000|1|Main Road|12|0|Town (North)|
@delay-SwitchMapV01 1500
* 0|
REPLIES
}

install_windows() {
  cp "$winbuild/app/Trapmarker.exe" "$dev/fs/Program Files/Trapmarker/Trapmarker.exe"
  cp "$winbuild/tests/scripted_peer/scripted-navigator.exe" "$dev/fs/Program Files/Navigator/TomTom Navigator.exe"
  cp "$winbuild/tests/wine/bring-forward.exe" "$dev/fs/"
  use_prefix
}

install_linux() {
  cp "$linbuild/app/Trapmarker" "$dev/fs/Program Files/Trapmarker/Trapmarker.exe"
  cp "$linbuild/tests/scripted_peer/scripted-navigator" "$dev/fs/Program Files/Navigator/TomTom Navigator.exe"
  printf '[screen]\nwidth=240\nheight=320\n' > "$dev/device.ini"
}

# The camera road (Gatso, 50 mph, This side) on one platform; prints the request log with the
# camera data's date and time (the fifth item) masked.
camera_road() {
  make_device "$1"; "install_$1"
  log="$dev/fs/Program Files/Navigator/scripted-navigator.log"
  start_program "$1" Navigator "TomTom Navigator.exe"
  wait_for 30 window_named "Scripted Navigator" || fail "$1: no navigator window"
  start_program "$1" Trapmarker Trapmarker.exe; local app=$last_pid
  wait_for 10 log_lines 2 || fail "$1: the first paint's requests did not come"
  if [ "$1" = windows ]; then
    local geometry
    geometry=$(xdotool search --onlyvisible --name '^Trapmarker$' getwindowgeometry --shell | tr '\n' ' ')
    case $geometry in *"X=0 Y=0 WIDTH=240 HEIGHT=320"*) ;; *) fail "not full screen: $geometry" ;; esac
  fi
  tap 60 63; tap 60 150; tap 60 63
  # The navigator holds its answer to SwitchMapV01 back: the program, waiting for it, must have
  # made the empty category file and copied the icon before it asked.
  wait_for 10 grep -q '^SwitchMapV01|' "$log" || fail "$1: no SwitchMapV01"
  [ -f "$dev/fs/TomTom/Maps/Demo/Roadwatchcameras.ov2" ] && [ ! -s "$dev/fs/TomTom/Maps/Demo/Roadwatchcameras.ov2" ] ||
    fail "$1: the empty category file was not made before SwitchMapV01"
  cmp -s "$dev/fs/TomTom/Maps/Demo/Roadwatchcameras.bmp" "$dev/fs/Program Files/Trapmarker/Roadwatchcameras.bmp" ||
    fail "$1: the category icon was not copied before SwitchMapV01"
  ended_with_zero "$app"
  sed -E 's/^(AddPoiV01\|([^|]*\|){3}[^!]*![0-9]{2}).*$/\1<camera data>/' "$log" > "$work/$1.requests"
  # The camera data decoded: type 1, speed 4, direction 0 after heading, speed, id, and date.
  grep -q '^AddPoiV01|Roadwatchcameras|-150000|5211000|Main Road, Town !01' "$log" || fail "$1: no camera stored"
}

case $scenario in
  camera-road)
    start_screen 16; camera_road linux
    start_screen 24; camera_road windows
    expected='GetCurrentPositionV01|
GetDataSetInfoV01|
GetLocationInfoExV01|-150000|5211000|
FlashMessageV01|Reloading map... |1500|
SwitchMapV01|\TomTom\Maps\Demo\|
AddPoiV01|Roadwatchcameras|-150000|5211000|Main Road, Town !01<camera data>
FlashMessageV01|'"'"'Gatso 50 mph'"'"' saved |1500|
MakeUserPoiVisibleV01|Roadwatchcameras|1|'
    [ "$(cat "$work/linux.requests")" = "$expected" ] || { cat "$work/linux.requests"; fail "Linux requests differ"; }
    diff "$work/linux.requests" "$work/windows.requests" || fail "the Windows build sent other requests"
    ;;
  countdown-hover)
    start_screen 24; make_device windows; install_windows
    printf '0\r\n1\r\n' > "$dev/fs/Program Files/Trapmarker/Trapmarker.ini"
    log="$dev/fs/Program Files/Navigator/scripted-navigator.log"
    xdotool mousemove 120 160  # the pointer rests over the middle of the page
    start_program windows Navigator "TomTom Navigator.exe"
    wait_for 30 window_named "Scripted Navigator" || fail "no navigator window"
    start_program windows Trapmarker Trapmarker.exe; app=$last_pid
    wait_for 10 log_lines 2 || fail "the first paint's requests did not come"
    for step in 1 2 3; do xdotool mousemove $((118 + step)) 160; sleep 0.3; done
    ended_with_zero "$app"
    grep -qx "FlashMessageV01|'Unknown type and speed ' saved |1500|" "$log" || { cat "$log"; fail "no unclassified camera"; }
    ;;
  question-no | question-yes)
    start_screen 24; make_device windows; install_windows
    log="$dev/fs/Program Files/Navigator/scripted-navigator.log"
    start_program windows Trapmarker Trapmarker.exe; app=$last_pid
    wait_for 30 window_named "Trapmarker - Error" || fail "no question"
    box=$(xdotool search --onlyvisible --name '^Trapmarker - Error$' | head -1)
    xdotool windowfocus --sync "$box" 2>/dev/null
    if [ "$scenario" = question-no ]; then
      xdotool key --window "$box" n
      ended_with_zero "$app"
      [ ! -e "$log" ] && [ ! -e "$dev/fs/TomTom/SdkFileCalls" ] || fail "No wrote something"
      window_named "Scripted Navigator" && fail "No started the navigator"
    else
      xdotool key --window "$box" y
      ended_with_zero "$app"
      wait_for 30 window_named "Scripted Navigator" || fail "Yes did not start the navigator"
      [ "$(cat "$log")" = "$(printf 'BringNavigatorToForegroundV01|\nBringNavigatorToForegroundV01|')" ] ||
        { cat "$log"; fail "unexpected requests"; }
    fi
    ;;
  second-instance)
    # The navigator is put in front of a running Trapmarker; starting Trapmarker again must end
    # that second process and bring the first forward: the camera road's taps then reach it.
    start_screen 24; make_device windows; install_windows
    log="$dev/fs/Program Files/Navigator/scripted-navigator.log"
    start_program windows Navigator "TomTom Navigator.exe"
    wait_for 30 window_named "Scripted Navigator" || fail "no navigator window"
    start_program windows Trapmarker Trapmarker.exe; first=$last_pid
    wait_for 10 log_lines 2 || fail "the first paint's requests did not come"
    on_top() { xwininfo -root -children | grep -m1 -E '"(Trapmarker|Scripted Navigator)"' | grep -q "\"$1\""; }
    (cd "$dev/fs" && "$wine" bring-forward.exe "Scripted Navigator") || fail "the navigator was not brought forward"
    wait_for 5 on_top "Scripted Navigator" || fail "the navigator is not in front"
    start_program windows Trapmarker Trapmarker.exe
    ended_with_zero "$last_pid"
    wait_for 5 on_top Trapmarker || fail "the first Trapmarker was not brought forward"
    tap 60 63; tap 60 150; tap 60 63
    ended_with_zero "$first"
    grep -q '^AddPoiV01|Roadwatchcameras|' "$log" || { cat "$log"; fail "the first Trapmarker stored nothing"; }
    [ "$(grep -c '^GetCurrentPositionV01|' "$log")" = 1 ] || fail "the second instance made calls"
    ;;
  *) fail "unknown scenario" ;;
esac
echo "PASS ($scenario)"
