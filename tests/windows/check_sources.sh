#!/bin/bash
# The program's own sources (application, screens, SDK client and transport) must build for
# Windows too: compile each with the Windows toolchain, against the real Windows headers.
set -u
compiler=$1
root=$2
failed=0
count=0
for source in "$root"/app/*.cpp "$root"/ui/*.cpp "$root"/sdk/*.cpp "$root"/sdk/transport/*.cpp; do
  case $source in */main_linux.cpp) continue ;; esac
  count=$((count + 1))
  if ! "$compiler" -std=c++20 -DUNICODE -D_UNICODE -Wall -Wextra -I"$root" -fsyntax-only "$source"; then
    echo "does not build for Windows: ${source#$root/}"
    failed=$((failed + 1))
  fi
done
# The resource script is the one the Linux build compiles in; windres must take it as it is.
windres=${compiler%g++}windres
if command -v "$windres" >/dev/null; then
  count=$((count + 1))
  out=$(mktemp)
  if ! (cd "$root/resources" && "$windres" Trapmarker.rc -O coff -o "$out"); then
    echo "resources/Trapmarker.rc does not build for Windows"
    failed=$((failed + 1))
  fi
  rm -f "$out"
fi
echo "$((count - failed)) passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$count" -gt 0 ]
