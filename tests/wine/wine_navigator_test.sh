#!/bin/bash
# Both programs as Windows builds under Wine: Trapmarker.exe and the navigator stand-in,
# installed by the same steps as on the Linux device, on a 24-bit Xvfb screen.
#   wine_navigator_test.sh <scenario> <windows build> <linux build> <source root>
# Scenarios:
#   camera-road   Gatso, 50 mph, This side: GPSBabel reads the point back, and its camera data
#                 decodes as type 1, speed 4, direction 0
#   custom-point  a custom point goes to the Fuel category
#   killed-add    the navigator killed while clients add points, then restarted: every
#                 acknowledged point is stored, the files read cleanly, the next add appends
#   parser-cases  the stand-in's GPX and ini parsers against the table the Linux build passes
set -u
scenario=$1 winbuild=$2 linbuild=$3 root=$4
. "$root/tests/wine/wine_lib.sh"

start_screen 24
dev=$work/device
"$root/navigator/install-navigator.sh" "$winbuild/navigator/TomTom Navigator.exe" "$dev" >/dev/null ||
  fail "cannot install the navigator"
"$root/tools/install-trapmarker.sh" "$winbuild/app/Trapmarker.exe" "$dev" >/dev/null || fail "cannot install Trapmarker"
use_prefix
map="$dev/fs/TomTom/Maps/Demotown"

start_navigator() {
  start_program windows Navigator "TomTom Navigator.exe"; navigator=$last_pid
  wait_for 30 window_named "TomTom Navigator" || { cat "$work/wine.log"; fail "no navigator window"; }
}

# Runs Trapmarker, taps the given places (x y pairs) once the first page is up, and waits for
# its end.
capture() {
  start_program windows Trapmarker Trapmarker.exe; local app=$last_pid
  wait_for 30 window_named Trapmarker || fail "no Trapmarker window"
  sleep 1
  while [ $# -ge 2 ]; do tap "$1" "$2"; shift 2; done
  ended_with_zero "$app"
}

points_of() {  # $1 category file: GPSBabel's reading, one CSV line per point
  gpsbabel -i tomtom -f "$1" -o unicsv -F - 2>&1 | tail -n +2
}

case $scenario in
  camera-road)
    start_navigator
    capture 60 63 60 150 60 63
    file=$map/Roadwatchcameras.ov2
    wait_for 10 test -s "$file" || fail "no camera stored"
    [ "$(points_of "$file" | wc -l)" -eq 1 ] || { points_of "$file"; fail "GPSBabel does not read one point"; }
    # The exporter decodes the camera data of the description.
    "$linbuild/tools/exporter/trapmarker-export" -q "$file" > "$work/cameras.csv" || fail "the exporter failed"
    python3 - "$work/cameras.csv" <<'PY' || fail "the camera data does not decode as Gatso, 50 mph, This side"
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
ok = len(rows) == 1 and (rows[0]["type"], rows[0]["speed"], rows[0]["direction"]) == ("1", "4", "0")
print(rows)
sys.exit(0 if ok else 1)
PY
    cmp -s "$map/Roadwatchcameras.bmp" "$dev/fs/Program Files/Trapmarker/Roadwatchcameras.bmp" ||
      fail "the category icon was not copied"
    ;;
  custom-point)
    printf '0\r\n0\r\nFuel\r\nParking\r\n' > "$dev/fs/Program Files/Trapmarker/Trapmarker.ini"
    before=$(points_of "$map/Fuel.ov2" | wc -l)
    start_navigator
    capture 180 237 180 150 60 63
    wait_for 10 test "$(points_of "$map/Fuel.ov2" | wc -l)" -eq $((before + 1)) ||
      { points_of "$map/Fuel.ov2"; fail "the custom point is not in Fuel"; }
    [ ! -e "$map/Roadwatchcameras.ov2" ] || fail "a custom point made the camera category"
    ;;
  killed-add)
    start_navigator
    client="$winbuild/tests/navigator/navigator_load_client.exe"
    for k in 0 1; do
      (cd "$dev/fs/Program Files/Navigator" && exec "$wine" "$client" add 100000 $k 0) > "$work/acked$k" 2>"$work/client$k.log" &
      pids+=("$!")
    done
    wait_for 60 test -s "$work/acked1" || fail "no point acknowledged"
    sleep 2
    kill -9 "$navigator"
    sleep 0.5
    for k in 0 1; do
      stored=$(points_of "$map/Load$k.ov2") || fail "GPSBabel cannot read Load$k.ov2"
      while read -r text; do
        text=${text%$'\r'}  # a Windows console program ends its lines with CR LF
        grep -qF "\"$text\"" <<< "$stored" || fail "acknowledged but not stored: $text"
      done < "$work/acked$k"
      echo "client $k: $(wc -l < "$work/acked$k") acknowledged, $(wc -l <<< "$stored") stored"
    done
    # The clients' waiting requests would be served by the restarted navigator: stop them first.
    WINEPREFIX=$work/prefix "${wine%/*}/wineserver" -k
    rm -rf "$dev/fs/TomTom/SdkFileCalls"
    before=$(points_of "$map/Load0.ov2" | wc -l)
    start_navigator
    (cd "$dev/fs/Program Files/Navigator" && "$wine" "$client" add 1 0 0) > "$work/after" 2>&1 || { cat "$work/after"; fail "no add after the restart"; }
    [ "$(points_of "$map/Load0.ov2" | wc -l)" -eq $((before + 1)) ] || fail "the restarted navigator did not append"
    ;;
  parser-cases)
    (cd "$dev/fs/Program Files/Navigator" && "$wine" "$winbuild/tests/parsers/parser_cases.exe") > "$work/cases" 2>&1
    rc=$?
    tr -d '\r' < "$work/cases"
    [ $rc -eq 0 ] || fail "the Windows build fails cases"
    ;;
  *) fail "unknown scenario" ;;
esac
echo "PASS ($scenario)"
