#!/usr/bin/env bash
# Installs the navigator stand-in into a device folder:
#   install-navigator.sh NAVIGATOR_EXECUTABLE DEVICE_FOLDER [--reset]
# puts a copy of the executable at "\Program Files\Navigator\TomTom Navigator.exe" with
# navigator.ini, the demo track and favourites beside it, and the demo map in "\TomTom\Maps\Demotown\".
# Settings and category files already on the device stay (they hold earlier runs' points);
# --reset replaces them with the demo's.
set -euo pipefail

usage() { echo "usage: $0 NAVIGATOR_EXECUTABLE DEVICE_FOLDER [--reset]" >&2; exit 2; }
[[ $# -ge 2 && $# -le 3 ]] || usage
exe=$1 device=$2 reset=0
[[ $# -eq 3 ]] && { [[ $3 == --reset ]] || usage; reset=1; }
[[ -x $exe ]] || { echo "$0: no executable $exe" >&2; exit 1; }
demo=$(cd "$(dirname "${BASH_SOURCE[0]}")/demo" && pwd)

nav_dir="$device/fs/Program Files/Navigator"
map_dir="$device/fs/TomTom/Maps/Demotown"
mkdir -p "$nav_dir" "$map_dir"

# A copy, never a link, replaced in one rename so a running navigator keeps its old file.
copy() {
  cp -f -- "$1" "$2.new"
  mv -f -- "$2.new" "$2"
}

copy "$exe" "$nav_dir/TomTom Navigator.exe"
chmod 755 "$nav_dir/TomTom Navigator.exe"
copy "$demo/demotown.gpx" "$nav_dir/demotown.gpx"
if ((reset)) || [[ ! -f $nav_dir/navigator.ini ]]; then copy "$demo/navigator.ini" "$nav_dir/navigator.ini"; fi
if ((reset)) || [[ ! -f $nav_dir/favorites.txt ]]; then copy "$demo/favorites.txt" "$nav_dir/favorites.txt"; fi
for f in "$demo"/Demotown/*; do
  name=$(basename "$f")
  if [[ $name == *.ov2 && -f $map_dir/$name ]] && ((!reset)); then continue; fi
  copy "$f" "$map_dir/$name"
done
echo "navigator installed in $nav_dir, map in $map_dir"
