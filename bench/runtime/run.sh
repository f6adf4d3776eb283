#!/usr/bin/env bash
# Runtime benchmarks; prints one table of medians.
#
#   bench/runtime/run.sh
#
# Figures:
#   - handover: in-process TimedString write()+read() (bench/runtime/
#     handover_bench), with its std::mutex+std::deque baseline from the same
#     run;
#   - publisher: write() with subscription type new against flush to a
#     receiver process sleeping 50 ms per put, burst rates and delivered
#     samples per second (bench/runtime/publisher_bench, under a private
#     naming service; ours only);
#   - idle: one SampleEchoComp process, its component preactivated at 1000 Hz
#     and at 10 Hz with nothing arriving: CPU from the per-thread run times in
#     /proc/<pid>/task/*/schedstat (nanoseconds) and from utime+stime in
#     /proc/<pid>/stat (clock ticks, coarse over short windows), wake-ups/s
#     (voluntary context switches of all threads), RSS and thread count.
#
# Environment:
#   PARLUNE_BUILD           build directory of the embedded runtime
#                           (default: <repo>/build); needs handover_bench and
#                           SampleEchoComp built there
#   PARLUNE_OPENRTM_BUILD   optional: a build directory configured with
#                           -DPARLUNE_FRAMEWORK=openrtm; adds an OpenRTM
#                           column (the framework's libraries must be on
#                           LD_LIBRARY_PATH)
#   PARLUNE_OPENRTM_EXAMPLE optional: "<program>:<instance>" of a component
#                           program of the framework's own (e.g.
#                           .../ConsoleOutComp:ConsoleOut0); adds its idle
#                           figures as a third column
#   IDLE_SECONDS            measuring window per idle run (default 3)
#   REPEATS                 idle runs per figure (default 3)
#
# Every process runs with naming disabled and its listeners on 127.0.0.1, and
# is stopped by its own process id.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
ours=${PARLUNE_BUILD:-$repo/build}
theirs=${PARLUNE_OPENRTM_BUILD:-}
example=${PARLUNE_OPENRTM_EXAMPLE:-}
seconds=${IDLE_SECONDS:-3}
repeats=${REPEATS:-3}
settle=1

for f in "$ours/bench/runtime/handover_bench" "$ours/examples/SampleEchoComp"; do
  if [ ! -x "$f" ]; then
    echo "run.sh: $f is missing; build handover_bench and SampleEchoComp in $ours" >&2
    exit 1
  fi
done
if [ -n "$theirs" ] && [ ! -x "$theirs/examples/SampleEchoComp" ]; then
  echo "run.sh: $theirs/examples/SampleEchoComp is missing" >&2
  exit 1
fi
if [ -n "$example" ] && [ ! -x "${example%%:*}" ]; then
  echo "run.sh: ${example%%:*} is missing" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/runtime-bench.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
results=$work/results   # lines: column figure value

# Sum of the run times (ns) of all threads of $1.
sched_ns() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
}
# utime+stime (clock ticks) of $1; the fields after the command name.
stat_ticks() {
  sed 's/^.*) //' /proc/"$1"/stat | awk '{ print $12 + $13 }'
}
# Voluntary context switches of all threads of $1.
wakeups() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'
}
status_field() {
  awk -v k="$2:" '$1 == k { print $2 }' /proc/"$1"/status
}

# idle_run COLUMN PROGRAM INSTANCE RATE
idle_run() {
  local column=$1 program=$2 instance=$3 rate=$4
  # An empty working directory: no rtc.conf is picked up.
  local dir
  dir=$(mktemp -d "$work/run.XXXXXX")
  (cd "$dir" && exec "$program" -o naming.enable:NO -o corba.endpoints:127.0.0.1 \
    -o logger.enable:NO -o exec_cxt.periodic.rate:"$rate" \
    -o manager.components.preactivation:"$instance") >"$dir/log" 2>&1 &
  local pid=$!
  sleep "$settle"
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "run.sh: $program ended early:" >&2
    sed 's/^/  /' "$dir/log" >&2
    wait "$pid" 2>/dev/null
    return 1
  fi
  local hz ns0 tk0 vc0 ns1 tk1 vc1 rss threads
  hz=$(getconf CLK_TCK)
  ns0=$(sched_ns "$pid"); tk0=$(stat_ticks "$pid"); vc0=$(wakeups "$pid")
  sleep "$seconds"
  ns1=$(sched_ns "$pid"); tk1=$(stat_ticks "$pid"); vc1=$(wakeups "$pid")
  rss=$(status_field "$pid" VmRSS)
  threads=$(status_field "$pid" Threads)
  kill -INT "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "run.sh: $program did not end on SIGINT; killing it" >&2
    kill -KILL "$pid"
  fi
  wait "$pid" 2>/dev/null
  awk -v c="$column" -v r="$rate" -v s="$seconds" -v hz="$hz" \
    -v ns="$((ns1 - ns0))" -v tk="$((tk1 - tk0))" -v vc="$((vc1 - vc0))" \
    -v rss="$rss" -v th="$threads" 'BEGIN {
      p = "idle/" r "Hz/"
      printf "%s %scpu_pct_schedstat %.3f\n", c, p, ns / (s * 1e9) * 100
      printf "%s %scpu_pct_stat %.3f\n", c, p, tk / hz / s * 100
      printf "%s %swakeups_per_s %.1f\n", c, p, vc / s
      printf "%s %srss_mb %.2f\n", c, p, rss / 1024
      printf "%s %sthreads %d\n", c, p, th
    }' >>"$results"
}

# handover_run COLUMN BUILD
handover_run() {
  local out=$work/handover-$1
  if [ ! -x "$2/bench/runtime/handover_bench" ]; then
    echo "run.sh: no handover_bench in $2; its handover figures are left out" >&2
    return 0
  fi
  if ! "$2/bench/runtime/handover_bench" --rounds 5 >"$out"; then
    echo "run.sh: handover_bench in $2 failed" >&2
    return 1
  fi
  awk -v c="$1" '/^handover\// { print c, $1, $2 }' "$out" >>"$results"
}

# publisher_run COLUMN BUILD
publisher_run() {
  local out=$work/publisher-$1
  if [ ! -x "$2/bench/runtime/publisher_bench" ]; then
    echo "run.sh: no publisher_bench in $2; its publisher figures are left out" >&2
    return 0
  fi
  if ! "$repo/tests/support/with-naming" "$2/bench/runtime/publisher_bench" >"$out"; then
    echo "run.sh: publisher_bench in $2 failed" >&2
    return 1
  fi
  awk -v c="$1" '/^publisher\// { print c, $1, $2 }' "$out" >>"$results"
}

columns=ours
[ -n "$theirs" ] && columns="$columns openrtm"
[ -n "$example" ] && columns="$columns example"

status=0
handover_run ours "$ours" || status=1
publisher_run ours "$ours" || status=1
[ -n "$theirs" ] && { handover_run openrtm "$theirs" || status=1; }

# Repeats interleave the programs, so drift on a shared machine hits them alike.
for _ in $(seq "$repeats"); do
  for rate in 1000 10; do
    idle_run ours "$ours/examples/SampleEchoComp" SampleEcho0 "$rate" || status=1
    [ -n "$theirs" ] && { idle_run openrtm "$theirs/examples/SampleEchoComp" SampleEcho0 "$rate" || status=1; }
    [ -n "$example" ] && { idle_run example "${example%%:*}" "${example##*:}" "$rate" || status=1; }
  done
done

# Table: median per column and figure; ratio ours/OpenRTM when both exist.
awk -v columns="$columns" -v width=44 -v colw=14 -f "$(dirname "$0")/../median-table.awk" "$results"
printf "\nhandover: medians of 5 rounds; idle: medians of %d runs of %s s each.\n" "$repeats" "$seconds"
printf "handover/queue/* is the std::mutex+std::deque baseline of each column's own run.\n"
printf "publisher/*: one run; publisher/ratio/* is new over flush from that run.\n"
exit $status
