# shellcheck shell=bash
# A few checks for the launcher's shell tests: each failure is printed, the count decides the status.

failures=0
checks=0

check_eq() {  # check_eq EXPECTED ACTUAL WHAT
  checks=$((checks + 1))
  if [[ $1 != "$2" ]]; then
    failures=$((failures + 1))
    printf 'FAIL: %s: expected [%s], got [%s]\n' "$3" "$1" "$2"
  fi
}

check_true() {  # check_true WHAT COMMAND...
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    failures=$((failures + 1))
    printf 'FAIL: %s\n' "$what"
  fi
}

check_contains() {  # check_contains NEEDLE HAYSTACK WHAT
  checks=$((checks + 1))
  if [[ $2 != *"$1"* ]]; then
    failures=$((failures + 1))
    printf 'FAIL: %s: no [%s] in:\n%s\n' "$3" "$1" "$2"
  fi
}

finish() {
  if ((checks == 0)); then
    echo "no checks ran"
    exit 1
  fi
  echo "$checks checks, $failures failed"
  ((failures == 0))
}
