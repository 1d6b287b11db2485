#!/usr/bin/env bash
# The emulated handheld: a device folder, a screen, the navigator stand-in and Trapmarker.
#
# With a desktop (DISPLAY set) the device screen opens as a Xephyr window and Trapmarker starts
# on it; Enter in this terminal starts it again, like the handheld's hardware button. Without a
# desktop, or with --headless, a scripted capture runs on Xvfb: the navigator drives its demo
# track, Trapmarker starts, Gatso, 50 mph and This side are tapped, a screenshot of every screen
# is saved, and the cameras stored are printed. Every process started here is ended on the way
# out, also on Ctrl-C.
set -u -o pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/emulator/lib.sh
source "$REPO/tools/emulator/lib.sh"

usage() {
  cat <<'EOF'
usage: tools/emulator.sh [options]
  --device DIR        the device folder, made if missing, reused otherwise (default build/device)
  --build DIR         the build folder holding the programs (default build)
  --screen WxH        240x320 (default) or 480x640
  --orientation N     0..3, the page turned by N quarter turns (1 and 3: landscape pages)
  --landscape         the same as --orientation 1
  --timer on|off      the auto-save countdown
  --name NAME         a custom point name (repeat for up to five); --names "A,B" sets them all
  --device-id HEX     the device's identifier bytes (e.g. 00A1B2C3); --no-device-id for none
  --smartphone        a Smartphone device instead of a Pocket PC
  --gps track|fixed|nofix   the navigator's GPS: the demo track (default), standing, no fix
  --no-navigator      do not start the navigator (Trapmarker asks whether to start it)
  --headless          the scripted capture on Xvfb even when a desktop is there
  --shots DIR         where the scripted capture saves its screenshots (default DEVICE/shots)
Keys while it runs with a desktop: Enter starts Trapmarker, n starts the navigator,
s saves a screenshot, q quits.
EOF
}

device="$REPO/build/device" build="$REPO/build" screen=240x320 platform=PocketPC
deviceid="" deviceid_set=0 orientation="" timer="" names_set=0 names=() gps=""
no_navigator=0 headless=0 shots=""
while (($#)); do
  case $1 in
    --device) device=${2:?--device needs a folder}; shift ;;
    --build) build=${2:?--build needs a folder}; shift ;;
    --screen) screen=${2:?--screen needs WxH}; shift ;;
    --orientation) orientation=${2:?--orientation needs 0..3}; shift ;;
    --landscape) orientation=1 ;;
    --timer) case ${2:-} in on) timer=1 ;; off) timer=0 ;; *) tm_die "--timer takes on or off" ;; esac; shift ;;
    --name) names+=("${2?--name needs a name}"); names_set=1; shift ;;
    --names) IFS=, read -r -a names <<<"${2?--names needs a list}"; names_set=1; shift ;;
    --device-id) deviceid=${2:?--device-id needs hex bytes}; deviceid_set=1; shift ;;
    --no-device-id) deviceid=""; deviceid_set=1 ;;
    --smartphone) platform=SmartPhone ;;
    --gps) gps=${2:?--gps needs track, fixed or nofix}; shift ;;
    --no-navigator) no_navigator=1 ;;
    --headless) headless=1 ;;
    --shots) shots=${2:?--shots needs a folder}; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; tm_die "unknown option $1" ;;
  esac
  shift
done

[[ $screen =~ ^([0-9]+)x([0-9]+)$ ]] || tm_die "--screen takes WxH, e.g. 240x320"
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}
case $screen in 240x320|480x640) ;; *) tm_say "note: $screen is not one of the handheld's sizes (240x320, 480x640)" ;; esac
[[ -z $orientation || $orientation =~ ^[0-3]$ ]] || tm_die "--orientation takes 0, 1, 2 or 3"
[[ -z $gps || $gps =~ ^(track|fixed|nofix)$ ]] || tm_die "--gps takes track, fixed or nofix"
[[ $deviceid =~ ^([0-9A-Fa-f]{2})*$ ]] || tm_die "--device-id takes hex bytes, e.g. 00A1B2C3"
((${#names[@]} <= 5)) || tm_say "note: only the first five names become buttons"
[[ -n $shots ]] || shots="$device/shots"
if [[ -z ${DISPLAY:-} ]]; then headless=1; fi

mkdir -p "$device" || tm_die "cannot make the device folder $device"
device=$(cd "$device" && pwd)
build=$(cd "$build" 2>/dev/null && pwd) || tm_die "no build folder $build: run 'make build' first"
fs="$device/fs"
app_dir="$fs/Program Files/Trapmarker"
nav_dir="$fs/Program Files/Navigator"
app_exe="$app_dir/Trapmarker.exe"
nav_exe="$nav_dir/TomTom Navigator.exe"
# shellcheck disable=SC1003  # a device path: backslashes, no escapes
map_device_folder='\TomTom\Maps\Demotown\'
exporter="$build/tools/exporter/trapmarker-export"

# --- the device folder -------------------------------------------------------------------------

# The profile follows the options of every run; an earlier device identifier stays unless changed.
if ((!deviceid_set)) && [[ -f $device/device.ini ]]; then
  deviceid=$(sed -n 's/^deviceid=//p' "$device/device.ini" | head -n 1)
fi
tm_write_device_ini "$device" "$width" "$height" "$platform" "${deviceid^^}" || tm_die "cannot write $device/device.ini"

missing=()
built_app="$build/app/Trapmarker"
built_nav="$build/navigator/navigator"
if [[ -x $built_app ]]; then
  tm_install_file "$built_app" "$app_exe" || tm_die "cannot install Trapmarker into $app_dir"
  tm_install_file "$REPO/resources/Roadwatchcameras.bmp" "$app_dir/Roadwatchcameras.bmp" ||
    tm_die "cannot install the camera icon into $app_dir"
elif [[ ! -x $app_exe ]]; then
  missing+=("Trapmarker (no $built_app: the application is not built yet)")
fi
# The navigator's own install step puts it in with its navigator.ini, the demo track and the
# demo map; settings and category files already on the device stay (they hold earlier cameras).
nav_install="$REPO/navigator/install-navigator.sh"
if [[ -x $built_nav && -f $nav_install ]]; then
  bash "$nav_install" "$built_nav" "$device" >/dev/null || tm_die "installing the navigator failed ($nav_install)"
elif [[ ! -x $nav_exe ]]; then
  missing+=("the navigator stand-in (no $built_nav: it is not built yet)")
fi
mkdir -p "$nav_dir"
if [[ ! -f $nav_dir/navigator.ini ]]; then
  printf '[gps]\nmode=%s\n[map]\nfolder=%s\n' "${gps:-track}" "$map_device_folder" >"$nav_dir/navigator.ini"
else
  sed -i "s/^mode=[a-z]*/mode=${gps:-track}/" "$nav_dir/navigator.ini"
fi
# The navigator's current map: its [map] folder setting, a device path, on the host.
folder=$(sed -n 's/^folder=\([^;[:space:]]*\).*/\1/p' "$nav_dir/navigator.ini" | head -n 1)
[[ -n $folder ]] && map_device_folder=$folder
map_dir="$fs$(printf '%s' "$map_device_folder" | tr '\\' /)"
map_dir=${map_dir%/}

# Preferences: written when asked for or missing; the parts not asked for keep their values.
prefs="$app_dir/Trapmarker.ini"
if [[ -n $orientation || -n $timer || $names_set == 1 || ! -f $prefs ]]; then
  mkdir -p "$app_dir"
  tm_read_preferences "$prefs"
  ((names_set)) || names=("${TM_PREF_NAMES[@]}")
  tm_write_preferences "$prefs" "${orientation:-$TM_PREF_ORIENTATION}" "${timer:-$TM_PREF_TIMER}" "${names[@]}"
fi
tm_read_preferences "$prefs"
orientation=$TM_PREF_ORIENTATION

tm_say "device $device: ${width}x${height} $platform, device id ${deviceid:-none}, orientation $orientation," \
  "timer $([[ $TM_PREF_TIMER == 1 ]] && echo on || echo off), custom names: ${TM_PREF_NAMES[*]:-none}"
if ((${#missing[@]})); then
  for m in "${missing[@]}"; do tm_say "missing: $m"; done
  tm_say "run 'make build' (or 'cmake --build $build') and start again"
fi

# --- the screen and the processes ----------------------------------------------------------------

if ((headless)); then screen_kind=Xvfb; else screen_kind=Xephyr; fi
tm_require_tools "$screen_kind" xdotool xwd md5sum || exit 2
((headless)) && { tm_require_tools convert || exit 2; }

tmp=$(mktemp -d /tmp/tm-emulator.XXXXXX) || tm_die "cannot make a temporary folder"
TM_SCREEN_PID="" TM_DISPLAY=""
# shellcheck disable=SC2317  # reached through the trap
cleanup() {
  local status=$?
  trap "" INT TERM  # a second Ctrl-C must not cut the clean-up short
  trap - EXIT
  if [[ -n $TM_DISPLAY ]]; then
    # shellcheck disable=SC2046
    tm_stop_pids $(tm_device_pids "$fs" "$TM_DISPLAY")
  fi
  [[ -n $TM_SCREEN_PID ]] && tm_stop_pids "$TM_SCREEN_PID"
  [[ -n $TM_SCREEN_PID ]] && wait "$TM_SCREEN_PID" 2>/dev/null
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
trap 'tm_say "interrupted"; exit 130' INT
trap 'exit 143' TERM

tm_start_screen "$screen_kind" "$width" "$height" "$tmp" || exit 2
tm_say "device screen: $screen_kind on display $TM_DISPLAY (pid $TM_SCREEN_PID)"
mkdir -p "$device/logs"

start_program() {  # start_program NAME EXE: starts a device program on the device's screen
  local name=$1 exe=$2
  if [[ ! -x $exe ]]; then
    tm_say "cannot start $name: $exe is not installed"
    return 1
  fi
  (cd "$(dirname "$exe")" && CE_DEVICE=$device DISPLAY=$TM_DISPLAY exec "$exe") >>"$device/logs/$name.log" 2>&1 &
  last_pid=$!
  tm_say "started $name (pid $last_pid, log $device/logs/$name.log)"
}

start_navigator() {
  if [[ -n $(tm_window MunichWinClass) ]]; then tm_say "the navigator is already running"; return 0; fi
  start_program navigator "$nav_exe" || return 1
  tm_wait_window MunichWinClass 10 >/dev/null || { tm_say "the navigator's window did not appear (see its log)"; return 1; }
}

# --- interactive -----------------------------------------------------------------------------------

if ((!headless)); then
  ((no_navigator)) || start_navigator
  start_program trapmarker "$app_exe"
  tm_say "keys: Enter starts Trapmarker, n the navigator, s saves a screenshot, q quits"
  shot=0
  keys=1
  while kill -0 "$TM_SCREEN_PID" 2>/dev/null; do
    if ((!keys)); then sleep 1; continue; fi
    key=""
    read -rsn1 -t 1 key
    status=$?
    if ((status != 0)); then
      # A timeout only means no key yet; anything else is the end of the input.
      ((status > 128)) && continue
      keys=0
      tm_say "input closed: close the device window to stop"
      continue
    fi
    case $key in
      "") start_program trapmarker "$app_exe" ;;
      n|N) start_navigator ;;
      s|S)
        if tm_require_tools convert; then
          mkdir -p "$shots"
          shot=$((shot + 1))
          tm_screenshot "$shots/screen-$shot.png" && tm_say "saved $shots/screen-$shot.png"
        fi ;;
      q|Q) break ;;
    esac
  done
  exit 0
fi

# --- headless: the scripted capture ------------------------------------------------------------------

mkdir -p "$shots"
rm -f "$shots"/[0-9][0-9]-*.png
step=0
shoot() {  # shoot NAME: the next numbered screenshot
  step=$((step + 1))
  local file
  file=$(printf '%s/%02d-%s.png' "$shots" "$step" "$1")
  tm_screenshot "$file" && tm_say "screenshot $file"
}

count_cameras() {  # the number of cameras stored in the demo map's camera file
  local file="$map_dir/Roadwatchcameras.ov2" n
  [[ -f $file && -x $exporter ]] || { echo 0; return; }
  # The exporter's summary line: "N point(s), M camera(s), from ..."
  n=$("$exporter" "$file" 2>&1 >/dev/null | sed -n 's/^[0-9]* point(s), \([0-9]*\) camera(s).*/\1/p')
  echo "${n:-0}"
}

[[ -x $exporter ]] || tm_say "note: the exporter is not built ($exporter); stored cameras cannot be listed"
nav_log="$device/logs/navigator.log"
nav_log_start=$(stat -c %s "$nav_log" 2>/dev/null || echo 0)
show_flashes() {  # the navigator logs each message it flashes; show this run's
  tail -c +$((nav_log_start + 1)) "$nav_log" 2>/dev/null | sed -n 's/^flash /emulator: the navigator flashed for /p' >&2
}
before=$(count_cameras)
blank=$(tm_screen_sum)

if ((!no_navigator)); then
  start_navigator || exit 1
  sleep 1  # let the replayed track move the position on
  blank=$(tm_wait_settled "$blank" 5) || blank=$(tm_screen_sum)
  shoot navigator
fi

if [[ ! -x $app_exe ]]; then
  tm_say "Trapmarker is not installed, so the capture cannot run; the navigator alone was shown"
  tm_say "screenshots in $shots"
  exit 1
fi

if ((no_navigator)); then
  # Without the navigator Trapmarker asks whether to start it: answer Yes, then start it again.
  start_program trapmarker "$app_exe"
  dialog=$(tm_wait_window Dialog 10) || { tm_say "the question did not appear"; exit 1; }
  tm_wait_settled "$blank" 5 >/dev/null
  shoot question
  DISPLAY=$TM_DISPLAY xdotool windowfocus --sync "$dialog" key y 2>/dev/null ||
    DISPLAY=$TM_DISPLAY xdotool key y
  tm_wait_window MunichWinClass 30 >/dev/null || { tm_say "the navigator was not started"; exit 1; }
  tm_wait_no_window TRAPMARKER 10 || tm_say "note: Trapmarker did not close after starting the navigator"
  sleep 1
  blank=$(tm_wait_settled "" 5) || blank=$(tm_screen_sum)
  shoot navigator
fi

start_program trapmarker "$app_exe"
for ((i = 0; i < 200; i++)); do
  [[ -n $(tm_window TRAPMARKER) ]] || ! tm_alive "$last_pid" && break
  sleep 0.05
done
if tm_alive "$last_pid"; then
  tm_wait_window TRAPMARKER 1 >/dev/null || { tm_say "Trapmarker's window did not appear (see its log)"; exit 1; }
  shown=$(tm_wait_settled "$blank" 10) || { tm_say "Trapmarker did not draw its first page"; exit 1; }
fi
if [[ -z $(tm_window TRAPMARKER) ]]; then
  # It ends by itself when the navigator has no GPS fix, after flashing a message there.
  shoot navigator-message
  show_flashes
  tm_say "Trapmarker ended before any tap (no GPS fix?): see the navigator's message in $shots"
  exit 1
fi
shoot type-page

# Gatso (type page, place 1), 50 mph (speed page, place 3), This side (direction page, place 1).
taps=("1 Gatso speed-page" "3 50-mph direction-page" "1 This-side saved")
for t in "${taps[@]}"; do
  read -r place label next <<<"$t"
  read -r x y <<<"$(tm_slot_centre "$width" "$height" "$orientation" "$place")"
  tm_say "tap ${label//-/ } at $x,$y"
  tm_tap "$x" "$y"
  if [[ $next == saved ]]; then
    # The save ends the run; the navigator flashes its message as Trapmarker closes.
    tm_wait_no_window TRAPMARKER 20 || { tm_say "Trapmarker did not finish its save"; shoot stuck; exit 1; }
    shoot navigator-saved
  else
    shown=$(tm_wait_settled "$shown" 10) || { tm_say "the page did not change after the tap"; shoot stuck; exit 1; }
    shoot "$next"
  fi
done

after=$(count_cameras)
tm_say "screenshots in $shots"
show_flashes
if [[ -x $exporter && -f $map_dir/Roadwatchcameras.ov2 ]]; then
  tm_say "cameras stored in $map_dir/Roadwatchcameras.ov2:"
  "$exporter" -f csv "$map_dir/Roadwatchcameras.ov2"
fi
if ((after > before)); then
  tm_say "camera stored ($before before, $after now)"
  exit 0
fi
tm_say "no camera was stored ($before before, $after now)"
exit 1
