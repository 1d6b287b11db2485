# shellcheck shell=bash
# Functions of the emulator launcher, sourced by tools/emulator.sh and by its tests.
# Everything here works on the variables the caller sets; nothing runs on sourcing.

# The Debian package that provides each outside tool we call.
declare -A TM_PACKAGE_OF=(
  [Xvfb]=xvfb [Xephyr]=xserver-xephyr [xdotool]=xdotool [xwd]=x11-apps
  [convert]=imagemagick [md5sum]=coreutils
)

tm_say() { printf 'emulator: %s\n' "$*" >&2; }
tm_die() { printf 'emulator: %s\n' "$*" >&2; exit 2; }

# Says which of the named tools are missing and which packages bring them; false if any is.
tm_require_tools() {
  local tool missing=() packages=()
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      missing+=("$tool")
      packages+=("${TM_PACKAGE_OF[$tool]:-$tool}")
    fi
  done
  if ((${#missing[@]})); then
    tm_say "missing tools: ${missing[*]} (Debian packages: ${packages[*]}); 'make setup' installs them"
    return 1
  fi
}

# ---------------------------------------------------------------------------------------------
# Page layout: where the buttons of the capture program are on the device's screen. The program
# lays its page out on the logical surface (the screen turned by the orientation) from the
# logical width W and height H alone, and turns the finished frame onto the screen.

# tm_slot_centre PHYS_W PHYS_H ORIENTATION PLACE -> "X Y" on the screen.
# PLACE 1..6 is a button place (numbered left to right, top to bottom), 7 the Cancel button.
tm_slot_centre() {
  local pw=$1 ph=$2 orient=$3 place=$4
  local W H
  if ((orient & 1)); then W=$ph H=$pw; else W=$pw H=$ph; fi
  local scale=$((W / 240))
  local th=$((14 * scale + 5)) sh=$((37 * scale + 1)) cw=$(((W + 80) / 160 * 40))
  local k=$((H - th - sh)) bw bh left top i=$((place - 1)) x y
  if ((place == 7)); then
    x=$(((W - cw - 3 + W - 3) / 2))
    y=$(((H - sh + 3 + H - 3) / 2))
  else
    if ((W >= H)); then
      bw=$((W / 3)) bh=$((k / 2))
      left=$((i % 3 * bw + 1)) top=$((th + i / 3 * bh + 1))
    else
      bw=$((W / 2)) bh=$(((k + 2) / 3))
      left=$((i % 2 * (bw - 1) + 1)) top=$((th + i / 2 * (bh - 1) + 1))
    fi
    ((top + bh > H - sh)) && top=$((top - 1))
    x=$((left + (bw - 1) / 2))
    y=$((top + (bh - 1) / 2))
  fi
  # Logical to screen, as the frame is turned.
  case $orient in
    0) echo "$x $y" ;;
    1) echo "$y $((W - 1 - x))" ;;
    2) echo "$((W - 1 - x)) $((H - 1 - y))" ;;
    3) echo "$((H - 1 - y)) $x" ;;
  esac
}

# ---------------------------------------------------------------------------------------------
# The device folder.

# tm_write_device_ini DEVICE WIDTH HEIGHT PLATFORM DEVICEID
tm_write_device_ini() {
  local dev=$1
  mkdir -p "$dev/fs" || return 1
  {
    printf '[screen]\nwidth=%s\nheight=%s\n' "$2" "$3"
    printf '[system]\nplatform=%s\ndeviceid=%s\n' "$4" "$5"
  } >"$dev/device.ini"
}

# tm_write_preferences FILE ORIENTATION TIMER [NAME...]
# The capture program's preferences: byte 0 the orientation digit, CR LF, the timer digit, CR LF,
# then one custom point name per line, each ended by CR LF.
tm_write_preferences() {
  local file=$1 orient=$2 timer=$3
  shift 3
  {
    printf '%s\r\n%s\r\n' "$orient" "$timer"
    local name
    for name in "$@"; do printf '%s\r\n' "$name"; done
  } >"$file"
}

# tm_read_preferences FILE -> sets TM_PREF_ORIENTATION, TM_PREF_TIMER and TM_PREF_NAMES (array)
# from an existing file, read the way the program reads it (low bits of bytes 0 and 3, names
# from byte 6, a last line without its line feed dropped).
# shellcheck disable=SC2034  # the TM_PREF_ variables are read by the caller
tm_read_preferences() {
  local file=$1 bytes
  TM_PREF_ORIENTATION=0 TM_PREF_TIMER=0 TM_PREF_NAMES=()
  [[ -f $file ]] || return 0
  bytes=$(head -c 255 "$file" | od -An -tu1 -v | tr -s ' \n' ' ')
  local -a b
  read -r -a b <<<"$bytes"
  ((${#b[@]} >= 1)) && TM_PREF_ORIENTATION=$((b[0] & 3))
  ((${#b[@]} >= 4)) && TM_PREF_TIMER=$((b[3] & 1))
  local i name="" ended=0
  for ((i = 6; i < ${#b[@]}; i++)); do
    if ((b[i] == 10)); then
      TM_PREF_NAMES+=("$name")
      name="" ended=0
      ((${#TM_PREF_NAMES[@]} == 5)) && break
    elif ((ended == 0 && b[i] >= 14 && b[i] <= 127)); then
      # shellcheck disable=SC2059  # the format is the octal escape of one byte
      name+=$(printf "\\$(printf '%03o' "${b[i]}")")
    else
      ended=1
    fi
  done
  return 0
}

# tm_install_file SOURCE DEST: a copy (never a link: the device's programs are its own files).
tm_install_file() {
  mkdir -p "$(dirname "$2")" && cp -f "$1" "$2.tmp$$" && mv -f "$2.tmp$$" "$2"
}

# ---------------------------------------------------------------------------------------------
# The device screen.

# tm_start_screen KIND WIDTH HEIGHT TMPDIR -> sets TM_SCREEN_PID and TM_DISPLAY (":N").
# KIND is Xvfb or Xephyr. The server names its display on -displayfd once it accepts clients.
tm_start_screen() {
  local kind=$1 w=$2 h=$3 fdfile="$4/displayfd" log="$4/$1.log" i
  : >"$fdfile"
  case $kind in
    Xvfb) Xvfb -screen 0 "${w}x${h}x16" -nolisten tcp -noreset -displayfd 3 3>"$fdfile" >"$log" 2>&1 & ;;
    Xephyr) Xephyr -screen "${w}x${h}x16" -title "Trapmarker device ${w}x${h}" -no-host-grab \
              -nolisten tcp -noreset -displayfd 3 3>"$fdfile" >"$log" 2>&1 & ;;
    *) tm_say "unknown screen kind $kind"; return 1 ;;
  esac
  TM_SCREEN_PID=$!
  for ((i = 0; i < 200; i++)); do
    if [[ $(tail -c 1 "$fdfile" 2>/dev/null | od -An -c | tr -d ' ') == '\n' ]]; then
      TM_DISPLAY=":$(head -n 1 "$fdfile")"
      return 0
    fi
    if ! kill -0 "$TM_SCREEN_PID" 2>/dev/null; then
      tm_say "$kind did not start:"
      sed 's/^/  /' "$log" >&2
      return 1
    fi
    sleep 0.05
  done
  tm_say "$kind did not report a display within 10 s"
  return 1
}

# ---------------------------------------------------------------------------------------------
# Processes on the device: every process whose executable lies in the device's file system and
# that talks to our display, whoever started it (the capture program may start the navigator).

tm_device_pids() {
  local fs=$1 display=$2 p exe
  for p in /proc/[0-9]*; do
    exe=$(readlink "$p/exe" 2>/dev/null) || continue
    [[ $exe == "$fs"/* ]] || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "DISPLAY=$display" || continue
    echo "${p#/proc/}"
  done
}

# tm_alive PID: the process runs (an ended one that nobody has reaped yet does not count).
tm_alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [[ ${stat%% *} != Z ]]
}

# tm_stop_pids PID...: TERM, up to two seconds' grace, then KILL.
tm_stop_pids() {
  local pid i alive
  (($#)) || return 0
  kill -TERM "$@" 2>/dev/null
  for ((i = 0; i < 40; i++)); do
    alive=0
    for pid in "$@"; do tm_alive "$pid" && alive=1; done
    ((alive)) || return 0
    sleep 0.05
  done
  kill -KILL "$@" 2>/dev/null
  return 0
}

# tm_window CLASS -> the id of a window of that X class on TM_DISPLAY, if one exists.
tm_window() {
  DISPLAY=$TM_DISPLAY xdotool search --class "^$1\$" 2>/dev/null | head -n 1
}

# tm_wait_window CLASS SECONDS -> prints the window id; false on timeout.
tm_wait_window() {
  local class=$1 tries=$(($2 * 20)) id
  while ((tries-- > 0)); do
    id=$(tm_window "$class")
    if [[ -n $id ]]; then echo "$id"; return 0; fi
    sleep 0.05
  done
  return 1
}

# tm_wait_no_window CLASS SECONDS: false if the window is still there at the end.
tm_wait_no_window() {
  local class=$1 tries=$(($2 * 20))
  while ((tries-- > 0)); do
    [[ -z $(tm_window "$class") ]] && return 0
    sleep 0.05
  done
  return 1
}

tm_screen_sum() { xwd -root -silent -display "$TM_DISPLAY" 2>/dev/null | md5sum | cut -d' ' -f1; }

# tm_wait_settled BEFORE SECONDS: waits until the screen differs from the checksum BEFORE and has
# held still for three samples in a row; prints the new checksum. False on timeout.
tm_wait_settled() {
  local before=$1 tries=$(($2 * 10)) sum last="" same=0
  while ((tries-- > 0)); do
    sum=$(tm_screen_sum)
    if [[ $sum != "$before" && $sum == "$last" ]]; then
      ((++same >= 2)) && { echo "$sum"; return 0; }
    else
      same=0
    fi
    last=$sum
    sleep 0.1
  done
  return 1
}

# tm_screenshot FILE: the whole device screen as PNG.
tm_screenshot() {
  xwd -root -silent -display "$TM_DISPLAY" | convert xwd:- "$1"
}

# tm_tap X Y: a stylus tap (press and release of button 1 at one place).
tm_tap() {
  DISPLAY=$TM_DISPLAY xdotool mousemove "$1" "$2" mousedown 1 sleep 0.05 mouseup 1
}
