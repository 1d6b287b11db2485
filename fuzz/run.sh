#!/bin/sh
# Runs every fuzz program of a TM_FUZZ build for FUZZ_SECONDS each (or until FUZZ_RUNS executions,
# whichever comes first; FUZZ_TARGETS="gpx ov2" picks some), one after the other, on a
# scratch copy of its seed corpus (new inputs go to the copy, not into the repository), and
# prints one line per target: executions, executions per second, coverage, findings.
# The table covers every target logged in <build>/fuzz-results, so runs of a few targets add up.
# Findings (crash-, leak-, timeout-, oom- files) are left in <build>/fuzz-findings/<target>/.
set -u
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
runs=${FUZZ_RUNS:--1}
targets=${FUZZ_TARGETS:-}
here=$(cd "$(dirname "$0")" && pwd)
results=$build/fuzz-results
mkdir -p "$results"
for program in "$build"/fuzz/fuzz_*; do
  [ -x "$program" ] || continue
  name=${program##*/fuzz_}
  if [ -n "$targets" ]; then
    case " $targets " in *" $name "*) ;; *) continue ;; esac
  fi
  work=$build/fuzz-work/$name
  findings=$build/fuzz-findings/$name
  rm -rf "$work"; mkdir -p "$work" "$findings"
  cp "$here/corpus/$name"/* "$work"/ 2>/dev/null
  echo "fuzzing $name for ${seconds}s"
  (cd "$findings" && "$OLDPWD/$program" -max_total_time="$seconds" -runs="$runs" -print_final_stats=1 \
      -close_fd_mask=3 -rss_limit_mb=1024 -timeout=10 "$OLDPWD/$work") >"$results/$name.log" 2>&1
done
printf '%-16s %12s %10s %8s %9s\n' target executions exec/s cov findings
for log in "$results"/*.log; do
  name=$(basename "$log" .log)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  found=$(ls "$build/fuzz-findings/$name" 2>/dev/null | grep -cE '^(crash|leak|timeout|oom)-')
  printf '%-16s %12s %10s %8s %9s\n' "$name" "${execs:-?}" "${rate:-?}" "${cov:-?}" "$found"
done
