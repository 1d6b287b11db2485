# Shared by the Wine runs: a Wine prefix per build folder, an Xvfb screen, programs started in
# their device folder, waits and taps. Set scenario, winbuild, linbuild and root, then source it.
wine=/usr/lib/wine/wine64
work=$(mktemp -d /tmp/tm-wine.XXXXXX)
pids=()
fail() { echo "FAIL ($scenario): $*"; exit 1; }

cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  [ -d "$work/prefix" ] && WINEPREFIX=$work/prefix "${wine%/*}/wineserver" -k 2>/dev/null
  [ -n "${TM_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

# One Wine prefix per build folder, made once (under a lock: tests run side by side) and
# hard-linked per run; the registry files, which Wine rewrites, are real copies. A handheld has
# no window manager, nor has the test screen: Wine is told to stack and focus its windows itself
# (unmanaged), as Windows does, instead of leaving that to a window manager that is not there.
template=$linbuild/wine-prefix
unmanaged='"Managed"="N"'
(
  flock 9
  if ! grep -qs "$unmanaged" "$template/user.reg"; then
    rm -rf "$template"
    export WINEPREFIX=$template WINEDEBUG=-all
    "$wine" wineboot --init >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "${wine%/*}/wineserver" -w
  fi
) 9>"$linbuild/wine-prefix.lock"
grep -qs "$unmanaged" "$template/user.reg" || fail "no Wine prefix could be made"

start_screen() {  # $1 depth; sets DISPLAY
  exec 8< <(Xvfb -displayfd 1 -screen 0 240x320x"$1" -nolisten tcp -noreset 2>/dev/null & echo "pid $!"; wait)
  read -r _ xpid <&8
  pids+=("$xpid")
  read -r number <&8 || fail "Xvfb did not start"
  export DISPLAY=:$number
}

# A fresh prefix for this run, linked from the template, its drive D: the device's fs/ ($dev).
use_prefix() {
  cp -al "$template" "$work/prefix"
  for reg in "$work"/prefix/*.reg; do cp --remove-destination "$template/${reg##*/}" "$reg"; done
  ln -sfn "$dev/fs" "$work/prefix/dosdevices/d:"
  export WINEPREFIX=$work/prefix WINEDEBUG=-all
}

# Starts a program of the device in its folder (so the current drive is the device's under Wine);
# $1 platform, $2 folder under "Program Files", $3 executable; sets last_pid.
start_program() {
  local folder="$dev/fs/Program Files/$2"
  if [ "$1" = windows ]; then
    (cd "$folder" && exec "$wine" "$3") >>"$work/wine.log" 2>&1 &
  else
    (cd "$folder" && CE_DEVICE=$dev exec "./$3") >>"$work/linux.log" 2>&1 &
  fi
  last_pid=$!
  pids+=("$last_pid")
}

# The first program in a fresh prefix also starts Wine's own services: on a loaded machine that
# takes many seconds, hence the generous waits for a first window.
wait_for() {  # $1 seconds, then a command
  local until=$((SECONDS + $1)); shift
  while ! "$@"; do [ $SECONDS -ge $until ] && return 1; sleep 0.05; done
}
window_named() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
log_lines() { [ -f "$log" ] && [ "$(wc -l < "$log")" -ge "$1" ]; }
tap() { xdotool mousemove "$1" "$2" mousedown 1 mouseup 1; sleep 0.2; }
ended_with_zero() {  # $1 pid
  local until=$((SECONDS + 15))
  while kill -0 "$1" 2>/dev/null; do [ $SECONDS -ge $until ] && fail "the program did not end"; sleep 0.05; done
  wait "$1"; local rc=$?
  [ "$rc" -eq 0 ] || fail "the program ended with $rc"
}

