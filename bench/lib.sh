# Shared by the benchmark scripts (source it): a work directory removed at
# the end, processes started and stopped by their own pid, waits with
# deadlines, and results kept as lines "COLUMN FIGURE VALUE" for
# median-table.awk.
#
#   bench_init NAME       work directory $work, results file $results, traps;
#                         a function bench_cleanup_extra, when defined, runs
#                         at exit after the processes are gone
#   bench_start DIR CMD.. CMD in DIR (made when missing), output to DIR/out,
#                         its pid in $started, the program's own: a shell
#                         function given as CMD must exec the program
#   bench_stop PID...     SIGINT, then SIGKILL after 10 s
#   bench_ready COMP...   until `bench_rtctl state COMP` answers (20 s each);
#                         the script defines bench_rtctl
#   wait_line FILE PATTERN N   until FILE holds N lines matching PATTERN (30 s)
#   record COLUMN FIGURE VALUE; field LINE KEY (the value of KEY=value)
#   bench_table COLUMNS [BASE]  the table of medians; with BASE, the ratio of
#                         every other column to that one
#   bench_load            the load averages, for the table's heading
#   progress MESSAGE...   one line to stderr, with the time and the load

bench_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
pids=()

bench_cleanup() {
  # Only processes this script started and has not stopped yet.
  local pid
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null; done
  if declare -F bench_cleanup_extra >/dev/null; then bench_cleanup_extra; fi
  [ -n "${work:-}" ] && rm -rf "$work"
}

bench_init() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
  results=$work/results
  : >"$results"
  trap bench_cleanup EXIT
  trap 'exit 130' INT TERM
}

record() { echo "$1 $2 $3" >>"$results"; }
field() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }

bench_start() {
  local dir=$1
  shift
  mkdir -p "$dir"
  (
    cd "$dir" || exit 1
    # A function given as CMD execs the program itself.
    if declare -F "$1" >/dev/null; then "$@"; else exec "$@"; fi
  ) >"$dir/out" 2>&1 &
  started=$!
  pids+=("$started")
}

bench_stop() {
  local pid other
  for pid in "$@"; do kill -INT "$pid" 2>/dev/null; done
  for pid in "$@"; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      echo "bench: process $pid did not end on SIGINT; killing it" >&2
      kill -KILL "$pid"
    fi
    wait "$pid" 2>/dev/null
    local -a left=()
    for other in "${pids[@]}"; do [ "$other" = "$pid" ] || left+=("$other"); done
    pids=("${left[@]}")
  done
}

bench_ready() {
  local comp
  for comp in "$@"; do
    for _ in $(seq 200); do
      bench_rtctl state "$comp" >/dev/null 2>&1 && continue 2
      sleep 0.1
    done
    echo "bench: $comp did not appear in the naming service" >&2
    return 1
  done
}

wait_line() {
  for _ in $(seq 300); do
    [ "$(grep -c "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0
    sleep 0.1
  done
  echo "bench: no '$2' line number $3 in $1" >&2
  return 1
}

bench_table() {
  awk -v columns="$1" -v base="${2:-}" -v width="${TABLE_WIDTH:-36}" -v colw="${TABLE_COLW:-10}" \
    -f "$bench_lib/median-table.awk" "$results"
}

bench_load() { cut -d' ' -f1-3 /proc/loadavg; }
progress() { echo "bench $(date +%T) load $(cut -d' ' -f1 /proc/loadavg): $*" >&2; }
