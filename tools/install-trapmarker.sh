#!/usr/bin/env bash
# Installs the capture program into a device folder:
#   install-trapmarker.sh TRAPMARKER_EXECUTABLE DEVICE_FOLDER
# puts a copy of the executable at "\Program Files\Trapmarker\Trapmarker.exe" and the camera
# category icon Roadwatchcameras.bmp beside it (the program copies it into the map folder when it
# makes the camera category). A Trapmarker.ini already there stays: it holds the user's settings.
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 TRAPMARKER_EXECUTABLE DEVICE_FOLDER" >&2; exit 2; }
exe=$1 device=$2
[[ -x $exe ]] || { echo "$0: no executable $exe" >&2; exit 1; }
icon="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/resources/Roadwatchcameras.bmp"
[[ -f $icon ]] || { echo "$0: no camera icon $icon" >&2; exit 1; }

app_dir="$device/fs/Program Files/Trapmarker"
mkdir -p "$app_dir"

# A copy, never a link, replaced in one rename so a running program keeps its old file.
copy() {
  cp -f -- "$1" "$2.new"
  mv -f -- "$2.new" "$2"
}

copy "$exe" "$app_dir/Trapmarker.exe"
chmod 755 "$app_dir/Trapmarker.exe"
copy "$icon" "$app_dir/Roadwatchcameras.bmp"
echo "Trapmarker installed in $app_dir"
