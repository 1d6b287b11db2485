#!/usr/bin/env bash
# Makes the ready-to-unzip Windows package from a Windows build, with the same install steps as
# the Linux device:
#   package-windows.sh WINDOWS_BUILD_FOLDER OUTPUT.zip
# The zip holds a device's file system -- "Program Files\Trapmarker", "Program Files\Navigator"
# with navigator.ini, the demo track and favourites, "TomTom\Maps\Demotown" -- and a short text
# on how to run it.
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 WINDOWS_BUILD_FOLDER OUTPUT.zip" >&2; exit 2; }
build=$(cd "$1" && pwd)
out=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

"$root/navigator/install-navigator.sh" "$build/navigator/TomTom Navigator.exe" "$stage/device" >/dev/null
"$root/tools/install-trapmarker.sh" "$build/app/Trapmarker.exe" "$stage/device" >/dev/null
mkdir -p "$stage/Trapmarker"
cp -r "$stage/device/fs/." "$stage/Trapmarker/"
sed 's/$/\r/' > "$stage/Trapmarker/HOW TO RUN.txt" <<'TEXT'
Trapmarker for Windows
======================

This folder is a whole handheld: its top is the root of the device's file system. The
programs find each other and their files by root-relative paths ("\TomTom\Maps\Demotown\"),
so the folder's contents must sit at the root of a drive.

1. Copy the contents of this folder (Program Files, TomTom) to the root of a drive,
   for example a USB stick, a spare partition, or a drive letter made with:
       subst T: "C:\path\to\this\folder"
2. Start T:\Program Files\Navigator\TomTom Navigator.exe: the navigator stand-in shows a
   moving map of Demotown, replaying the demo track.
3. Start T:\Program Files\Trapmarker\Trapmarker.exe and tap a camera type, a speed limit
   and the side of the road (or wait six seconds). The camera is stored in
   T:\TomTom\Maps\Demotown\Roadwatchcameras.ov2 and shows on the navigator's map.

If Trapmarker starts before the navigator, it asks whether to start it.
The navigator's settings are in Program Files\Navigator\navigator.ini.
TEXT
rm -f "$out"
(cd "$stage" && cmake -E tar cf "$out" --format=zip Trapmarker)
echo "package: $out ($(du -k "$out" | cut -f1) kB)"
