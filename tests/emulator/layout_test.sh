#!/usr/bin/env bash
# The launcher taps buttons at places it computes from the screen size and orientation. Each
# place must land on its own button as the program's touch input sees it: run every computed
# point back through the program's hit test (screen to page by orientation, then the band and
# column lines) and expect the place it was computed for.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tools/emulator/lib.sh"
source "$here/check.sh"

# hit_test PHYS_W PHYS_H ORIENTATION X Y -> 0..7
hit_test() {
  local pw=$1 ph=$2 o=$3 sx=$4 sy=$5 W H x y
  if ((o & 1)); then W=$ph H=$pw; else W=$pw H=$ph; fi
  case $o in
    0) x=$sx y=$sy ;;
    1) x=$((W - 1 - sy)) y=$sx ;;
    2) x=$((W - 1 - sx)) y=$((H - 1 - sy)) ;;
    3) x=$sy y=$((H - 1 - sx)) ;;
  esac
  local scale=$((W / 240))
  local th=$((14 * scale + 5)) sh=$((37 * scale + 1)) cw=$(((W + 80) / 160 * 40)) k bw bh r
  k=$((H - th - sh))
  if ((x > W - cw - 3 && y > H - sh + 3)); then echo 7; return; fi
  if ((y < th || y > H - sh)); then echo 0; return; fi
  if ((W >= H)); then
    bw=$((W / 3)) bh=$((k / 2))
    r=1
    ((x > bw)) && r=$((r + 1))
    ((x > 2 * bw)) && r=$((r + 1))
    ((y > th + bh + 1)) && r=$((r + 3))
  else
    bw=$((W / 2)) bh=$(((k + 2) / 3))
    r=1
    ((x > bw)) && r=$((r + 1))
    ((y > th + bh + 1)) && r=$((r + 2))
    ((y > th + 2 * bh + 1)) && r=$((r + 2))
  fi
  echo "$r"
}

for size in 240x320 480x640 320x240 640x480 240x240; do
  pw=${size%x*} ph=${size#*x}
  for o in 0 1 2 3; do
    for place in 1 2 3 4 5 6 7; do
      read -r x y <<<"$(tm_slot_centre "$pw" "$ph" "$o" "$place")"
      check_true "$size orientation $o place $place: ($x,$y) is off the screen" \
        test "$x" -ge 0 -a "$x" -lt "$pw" -a "$y" -ge 0 -a "$y" -lt "$ph"
      check_eq "$place" "$(hit_test "$pw" "$ph" "$o" "$x" "$y")" "$size orientation $o: the tap for place $place hits"
    done
  done
done

# The places the scripted capture taps on the handheld's own screen, by hand from the layout
# (240 x 320: buttons 120 x 88 below a 19-pixel title; 480 x 640: 240 x 178 below 33).
check_eq "60 63" "$(tm_slot_centre 240 320 0 1)" "Gatso on 240x320"
check_eq "60 150" "$(tm_slot_centre 240 320 0 3)" "50 mph on 240x320"
check_eq "120 122" "$(tm_slot_centre 480 640 0 1)" "Gatso on 480x640"
check_eq "63 179" "$(tm_slot_centre 320 240 1 1)" "place 1 on a 240x320 page turned onto a 320x240 screen"

finish
