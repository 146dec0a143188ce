#!/usr/bin/env bash
# Runs libFuzzer targets of a fuzz build (make fuzz), each from its corpus,
# at most two at a time and at the lowest priority.
#
#   scripts/fuzz-run.sh [-s CPU_SECONDS] [-b BUILD_DIR] [TARGET ...]
#
# TARGET is a corpus name (vdzopen, trees, ...); none means every target.
# Each target runs in one process until it has used CPU_SECONDS of processor
# time (default 600), however long that takes on a busy machine, or for at
# most 20 times that in wall time. New inputs go to
# BUILD_DIR/fuzz-work/<name>/corpus (fuzz/corpus/<name> is only read);
# crashes, timeouts, slow units, out-of-memory inputs and single allocations
# over 512 MiB are findings, written to BUILD_DIR/fuzz-work/<name>/findings/.
# Slow units are timed by wall clock; each is replayed at the end of its run
# and kept only when it also takes a second of processor time (the others go
# to findings/unconfirmed/). The log of each run is BUILD_DIR/fuzz-work/<name>/log; each run
# adds a line to BUILD_DIR/fuzz-work/summary.txt with the CPU seconds used,
# the executions and the number of findings.
set -u
seconds=600
build=build/fuzz
while getopts "s:b:" opt; do
  case $opt in
    s) seconds=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-s SECONDS] [-b BUILD_DIR] [TARGET ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd) || exit 2
work=$build/fuzz-work
mkdir -p "$work"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi
for t in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/fuzz_$t" ]; then
    echo "fuzz-run: $build/fuzz/fuzz_$t is missing (make fuzz first)" >&2
    exit 2
  fi
done

# CPU seconds (user and system) used so far by process $1.
cpu_of() {
  awk -v tck="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%d", ($12 + $13) / tck }' "/proc/$1/stat" 2>/dev/null
}

run_one() {
  local t=$1 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/findings"
  # -timeout: a unit running longer than 10 s is a finding; -report_slow_units:
  # units over 2 s are reported and kept; -malloc_limit_mb / -rss_limit_mb:
  # large allocations are findings.
  nice -n 19 "$build/fuzz/fuzz_$t" "$dir/corpus" "$root/fuzz/corpus/$t" \
    -max_total_time=$((seconds * 20)) -timeout=10 -report_slow_units=2 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" >"$dir/log" 2>&1 &
  local pid=$! cpu=0 now
  while kill -0 "$pid" 2>/dev/null; do
    now=$(cpu_of "$pid")
    [ -n "$now" ] && cpu=$now
    if [ "$cpu" -ge "$seconds" ]; then
      kill -INT "$pid" 2>/dev/null  # libFuzzer stops and prints its statistics
      break
    fi
    sleep 5
  done
  wait "$pid"
  local rc=$?
  # Slow units are timed again by processor time: one that replays in under
  # a second of CPU was slow only for want of a processor, and is moved to
  # findings/unconfirmed/.
  local unit used
  for unit in "$dir"/findings/slow-unit-*; do
    [ -f "$unit" ] || continue
    /usr/bin/time -o "$dir/replay-time" -f "%U %S" "$build/fuzz/fuzz_${t}_replay" "$unit" >/dev/null 2>&1
    used=$(tail -1 "$dir/replay-time" | awk '{ print ($1 + $2 >= 1) ? "slow" : "fast" }')
    if [ "$used" = fast ]; then
      mkdir -p "$dir/findings/unconfirmed"
      mv "$unit" "$dir/findings/unconfirmed/"
    fi
  done
  local execs findings
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/log" | grep -o '[0-9]*$' | tail -1)
  findings=$(find "$dir/findings" -maxdepth 1 -type f | wc -l)
  echo "$t cpu_seconds=$cpu executions=${execs:-?} findings=$findings exit=$rc" >>"$work/summary.txt"
}

running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ $running -ge 2 ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
cat "$work/summary.txt"
