#!/usr/bin/env bash
# Every page looks the same whether its fonts were found by fontconfig (no cache, an empty one,
# a damaged one, one whose stamps no longer hold) or read back from the cache file:
#   font_cache_test.sh PAGERENDER
# Each scenario renders the contact sheet of all pages with CE_FONT_CACHE set as it says and
# compares the PNG with the one drawn without any cache.
set -uo pipefail
# shellcheck source=../../tests/emulator/check.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/emulator/check.sh"

pagerender=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cache=$work/fonts.cache

render() {  # render OUT.png: all pages, custom names and the timer line included
  "$pagerender" --sheet pages --size 240x320 --timer --countdown 4 --custom Fuel,Parking "$1" >/dev/null 2>&1
}

CE_FONT_CACHE= render "$work/plain.png"
check_true "the pages are drawn without a cache" test -s "$work/plain.png"
check_true "no cache file when the cache is off" test ! -e "$cache"

# scenario name | what is done to the cache file before the run | whether answers must come back
scenarios=(
  "cold|rm -f '$cache'|no"
  "warm|:|yes"
  "damaged|printf 'ce-font-cache\t1\nanswer\tbroken\n' > '$cache'|no"
  "rewritten after damage|:|yes"
  "stale stamp|sed -i 's/^stamp\t[0-9]*/stamp\t1/' '$cache'|no"
  "rewritten after a stale stamp|:|yes"
)
for scenario in "${scenarios[@]}"; do
  IFS='|' read -r name action answered <<<"$scenario"
  eval "$action"
  before=$(cat "$cache" 2>/dev/null || true)
  CE_FONT_CACHE=$cache render "$work/page.png"
  check_true "$name: the same pages as without a cache" cmp -s "$work/plain.png" "$work/page.png"
  check_contains $'answer\t1\t850\t0\t' "$(cat "$cache" 2>/dev/null)" "$name: the title font's answer is kept"
  if [[ $answered == yes ]]; then
    check_eq "$before" "$(cat "$cache")" "$name: answers read back leave the file as it was"
  else
    check_true "$name: the file is written anew" test "$before" != "$(cat "$cache")"
  fi
done
finish
