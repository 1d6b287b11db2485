#!/usr/bin/env bash
# The launcher writes Trapmarker.ini byte for byte as the program reads it, and reads an existing
# file the way the program does so that options given later keep what they do not change.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tools/emulator/lib.sh"
source "$here/check.sh"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
hex() { od -An -tx1 -v "$1" | tr -d ' \n'; }

# Written bytes: digit, CR LF, digit, CR LF, then each name with CR LF.
tm_write_preferences "$tmp/a.ini" 1 0 Fuel Parking
check_eq "310d0a300d0a4675656c0d0a5061726b696e670d0a" "$(hex "$tmp/a.ini")" "orientation 1, timer off, two names"
tm_write_preferences "$tmp/b.ini" 0 1
check_eq "300d0a310d0a" "$(hex "$tmp/b.ini")" "no names: six bytes"
tm_write_preferences "$tmp/c.ini" 3 1 ""
check_eq "330d0a310d0a0d0a" "$(hex "$tmp/c.ini")" "an empty name is an empty line"

names_of() { local IFS='|'; echo "${TM_PREF_NAMES[*]}"; }

# Reading: a table of file contents (printf format) and what the program makes of them.
while IFS=';' read -r what content orient timer names count; do
  [[ -z $what || $what == \#* ]] && continue
  # shellcheck disable=SC2059  # the content column is a printf format on purpose
  printf "$content" >"$tmp/r.ini"
  tm_read_preferences "$tmp/r.ini"
  check_eq "$orient $timer" "$TM_PREF_ORIENTATION $TM_PREF_TIMER" "$what: orientation and timer"
  check_eq "$names" "$(names_of)" "$what: names"
  check_eq "$count" "${#TM_PREF_NAMES[@]}" "$what: number of names"
done <<'EOF'
# what;file content;orientation;timer;names joined by |;count
empty file;;0;0;;0
orientation only;2;2;0;;0
digits read by their low bits;6\r\n3;2;1;;0
names with CR LF;1\r\n0\r\nFuel\r\nParking\r\n;1;0;Fuel|Parking;2
names with LF only;1\r\n0\r\nFuel\nParking\n;1;0;Fuel|Parking;2
last line without a line feed is dropped;0\r\n0\r\nFuel\r\nPark;0;0;Fuel;1
a tab ends the name;0\r\n0\r\nFuel\tStation\r\n;0;0;Fuel;1
a byte above 127 ends the name;0\r\n0\r\nCaf\351 Bar\r\n;0;0;Caf;1
only five names count;0\r\n1\r\nA\r\nB\r\nC\r\nD\r\nE\r\nF\r\n;0;1;A|B|C|D|E;5
an empty line is an empty name;0\r\n0\r\nA\r\n\r\nB\r\n;0;0;A||B;3
EOF

# A missing file reads as the defaults.
tm_read_preferences "$tmp/none.ini"
check_eq "0 0 0" "$TM_PREF_ORIENTATION $TM_PREF_TIMER ${#TM_PREF_NAMES[@]}" "missing file"

# Round trip with punctuation the shell could trip over.
tm_write_preferences "$tmp/p.ini" 2 1 'Car park #2' '50% off' 'a\b' '*'
tm_read_preferences "$tmp/p.ini"
check_eq 'Car park #2|50% off|a\b|*' "$(names_of)" "names with shell characters survive a round trip"

# The device profile.
tm_write_device_ini "$tmp/dev" 480 640 SmartPhone 00A1B2C3
check_eq $'[screen]\nwidth=480\nheight=640\n[system]\nplatform=SmartPhone\ndeviceid=00A1B2C3' \
  "$(cat "$tmp/dev/device.ini")" "device.ini"
check_true "device.ini makes the fs folder" test -d "$tmp/dev/fs"

finish
