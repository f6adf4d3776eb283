#!/usr/bin/env bash
# End-to-end benchmarks across processes; prints one table.
#
#   bench/e2e/run.sh
#
# Figures, each for our build and, when PARLUNE_OPENRTM_BUILD is set, for
# the same sources built against OpenRTM-aist (column "openrtm"):
#   e2e/*      E2eSenderComp -> E2eReceiverComp over corba_cdr push:
#              paced: 600 strings at 293/s (a rate that drifts against the
#              receiver's 1000 Hz, so reads happen at every phase):
#                write_us  - the sender's write(), i.e. one synchronous put;
#                age_us    - wall clock at the receiver's read in onExecute
#                            minus the sample's tm (transport + polling);
#              burst: 10000 strings back to back in one cycle (2 per run):
#                per_s, write_us, delivered_pct (below 100 only where the
#                receiver's buffer overwrites: the framework's defaults; ours
#                hold the sender back instead).
#   press/*    Alt+S (XTEST) in ParluneTestComp's window (10 Hz) -> the first
#              file of the utterance in ParluneRTCComp's PARLUNE_AUDIO=wav:DIR
#              (inotify), 30 presses at random gaps; limit: one period, 100 ms.
#   sound/*    Alt+S -> the first audible sample at the private PulseAudio
#              server (its null sink's monitor, recorded in 2.5 ms fragments
#              with time stamps), speech through PulseAudio: SOUND_PRESSES
#              per column in blocks of SOUND_BLOCK, the columns taking turns
#              block by block (ABBA), after a warm-up stream on the server;
#              p50/p99 over all the presses of a column. Then, against the
#              same server, ParluneDa_Play -> first audible sample (play/*),
#              30 calls at the same gaps, in the first block: the engine's share
#              of sound/* (the rest is the window's 10 Hz period, the
#              transport and the speech component's 1 kHz period); loadavg1
#              is the one-minute load average at the start of the presses.
#   startup/*  launcher started -> name in the naming service ("registered")
#              -> state answered through its context ("ready"); SIGINT ->
#              process ended ("exit"); unbound_pct: name removed on exit.
#   idle/*     ParluneRTCComp and ParluneTestComp side by side: CPU (% of one
#              core, per-thread run times from /proc/<pid>/task/*/schedstat),
#              RSS and threads, while inactive and unconnected ("idle"),
#              connected, and both active with nothing typed ("active").
# Medians over the runs; p50/p99 are of the samples of one run (the median
# of those over the runs where there are several).
#
# Environment:
#   PARLUNE_BUILD          our build (default <repo>/build): needs the
#                          launchers, rtctl and bench/e2e built
#   PARLUNE_OPENRTM_BUILD  optional: a build configured with
#                          -DPARLUNE_FRAMEWORK=openrtm (launchers and
#                          bench/e2e components); the framework's libraries
#                          must be on LD_LIBRARY_PATH
#   E2E_REPEATS            sender/receiver runs per column (default 2)
#   REPEATS                startup runs per program and column (default 3)
#   IDLE_REPEATS           idle runs per column (default 2)
#   IDLE_SECONDS           measuring window per idle state (default 2)
#   SOUND_PRESSES          press -> audible presses per column (default 150;
#                          at 30 a column's p50 moved by +-10 ms between runs)
#   SOUND_BLOCK            presses per block (default 30)
#   E2E_ONLY               optional: a comma list of the sections to run
#                          (e2e, press, sound, startup, idle; default all)
#
# Starts its own Xvfb and omniNames (tests/support) on 127.0.0.1/unix
# sockets; every process it starts is stopped by its process id.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
if [ -z "${E2E_INSIDE:-}" ]; then
  E2E_INSIDE=1 exec "$repo/tests/support/with-xvfb" "$repo/tests/support/with-naming" \
    "$repo/tests/support/with-pulse" "$0" "$@"
fi

ours=${PARLUNE_BUILD:-$repo/build}
theirs=${PARLUNE_OPENRTM_BUILD:-}
e2e_repeats=${E2E_REPEATS:-2}
startup_repeats=${REPEATS:-3}
idle_repeats=${IDLE_REPEATS:-2}
idle_seconds=${IDLE_SECONDS:-2}
sound_presses=${SOUND_PRESSES:-150}
sound_block=${SOUND_BLOCK:-30}
naming=$PARLUNE_NAMING
host=$(hostname)
rtctl=("$ours/tools/rtctl/rtctl" -n "$naming")
probe=$ours/bench/e2e/e2e_probe

need() {
  for f in "$@"; do
    if [ ! -x "$f" ]; then
      echo "run.sh: $f is missing (build the launchers, rtctl and bench/e2e)" >&2
      exit 1
    fi
  done
}
programs() {  # the programs of one build
  echo "$1/bench/e2e/E2eSenderComp" "$1/bench/e2e/E2eReceiverComp" \
    "$1/launcher/ParluneRTCComp" "$1/launcher/ParluneTestComp"
}
need "${rtctl[0]}" "$probe" $(programs "$ours")
[ -n "$theirs" ] && need $(programs "$theirs")

. "$repo/bench/lib.sh"
bench_init e2e-bench
bench_rtctl() { "${rtctl[@]}" "$@"; }

# start COLUMN NAME PROGRAM ARGS...: runs PROGRAM in a directory of its own
# (no rtc.conf is picked up), output to that directory's "out"; sets $started.
start() {
  local column=$1 name=$2 program=$3
  shift 3
  bench_start "$work/$column-$name" "$program" "$@" -o "corba.nameservers:$naming" \
    -o corba.endpoints:127.0.0.1 -o logger.enable:NO
}
stop() { bench_stop "$@"; }
ready() { bench_ready "$@"; }

# ------------------------------------------------------------ sender/receiver
e2e_run() {
  local column=$1 build=$2 status=0
  start "$column" recv "$build/bench/e2e/E2eReceiverComp" -o exec_cxt.periodic.rate:1000
  local recv=$started
  start "$column" send "$build/bench/e2e/E2eSenderComp" -o exec_cxt.periodic.rate:293
  local send=$started
  local sout=$work/$column-send/out rout=$work/$column-recv/out
  if ready E2eSender0 E2eReceiver0 && "${rtctl[@]}" connect E2eSender0.out E2eReceiver0.in >/dev/null &&
    "${rtctl[@]}" conf E2eSender0 set mode paced && "${rtctl[@]}" conf E2eSender0 set count 600 &&
    "${rtctl[@]}" activate E2eReceiver0 && "${rtctl[@]}" activate E2eSender0 &&
    wait_line "$sout" e2e-sender 1 && wait_line "$rout" e2e-receiver 1; then
    local s r
    s=$(grep e2e-sender "$sout" | tail -1)
    r=$(grep e2e-receiver "$rout" | tail -1)
    record "$column" e2e/paced_write_p50_us "$(field "$s" write_p50_us)"
    record "$column" e2e/paced_write_p99_us "$(field "$s" write_p99_us)"
    record "$column" e2e/paced_age_p50_us "$(field "$r" age_p50_us)"
    record "$column" e2e/paced_age_p99_us "$(field "$r" age_p99_us)"
    record "$column" e2e/paced_delivered_pct "$(awk -v a="$(field "$r" received)" 'BEGIN { print a / 6 }')"
    "${rtctl[@]}" deactivate E2eSender0 && "${rtctl[@]}" conf E2eSender0 set mode burst &&
      "${rtctl[@]}" conf E2eSender0 set count 10000 || status=1
    for n in 2 3; do
      "${rtctl[@]}" activate E2eSender0 && wait_line "$sout" e2e-sender "$n" &&
        wait_line "$rout" e2e-receiver "$n" && "${rtctl[@]}" deactivate E2eSender0 || { status=1; break; }
      s=$(grep e2e-sender "$sout" | tail -1)
      r=$(grep e2e-receiver "$rout" | tail -1)
      record "$column" e2e/burst_per_s "$(field "$s" per_s)"
      record "$column" e2e/burst_write_p50_us "$(field "$s" write_p50_us)"
      record "$column" e2e/burst_write_p99_us "$(field "$s" write_p99_us)"
      record "$column" e2e/burst_delivered_pct "$(awk -v a="$(field "$r" received)" 'BEGIN { print a / 100 }')"
    done
  else
    status=1
  fi
  stop "$send" "$recv"
  return $status
}

# ------------------------------------------------------ operator press -> speech
# press_session COLUMN BUILD NAME AUDIO TEXT PROBE-ARGS...: ParluneRTCComp
# speaking to PARLUNE_AUDIO=AUDIO and ParluneTestComp connected to it, both
# active, TEXT typed into the window's field (it stays there: every Alt+S
# submits it again); then `e2e_probe PROBE-ARGS...`, its output in
# $work/COLUMN-NAME.out. With the pair still up, a command in $while_up runs
# after a successful probe (its failure fails the session). Stops both.
while_up=""
press_session() {
  local column=$1 build=$2 name=$3 audio=$4 text=$5 status=0
  shift 5
  PARLUNE_AUDIO=$audio start "$column" "$name-speech" "$build/launcher/ParluneRTCComp"
  local speech=$started
  start "$column" "$name-window" "$build/launcher/ParluneTestComp" \
    -o "Test.ParluneTest.config_file:$build/stringout/ParluneTest.conf"
  local window=$started
  if ready Parlune0 ParluneTest0 && "${rtctl[@]}" connect ParluneTest0.out Parlune0.in >/dev/null &&
    "${rtctl[@]}" activate Parlune0 && "${rtctl[@]}" activate ParluneTest0; then
    local w
    w=$(timeout 10 xdotool search --sync --name StringInputForm | head -1)
    record "$column" "${name%%-*}/loadavg1" "$(cut -d' ' -f1 /proc/loadavg)"
    if [ -n "$w" ] && xdotool windowfocus --sync "$w" key Tab type "$text" &&
      "$probe" "$@" >"$work/$column-$name.out"; then
      if [ -n "$while_up" ] && ! $while_up; then status=1; fi
    else
      echo "run.sh: $name presses in the $column window failed" >&2
      status=1
    fi
  else
    status=1
  fi
  stop "$window" "$speech"
  return $status
}

# record_latency COLUMN NAME LINE: a probe's summary line as NAME/* figures.
record_latency() {
  local key
  for key in lat_p50_ms lat_p99_ms lat_max_ms missed; do record "$1" "$2/$key" "$(field "$3" "$key")"; done
}

# press_run COLUMN BUILD: Alt+S -> the first file of the utterance.
press_run() {
  local column=$1 build=$2 wav=$work/$1-wav
  mkdir -p "$wav"
  press_session "$column" "$build" press "wav:$wav" press press "$wav" 30 || return 1
  record_latency "$column" press "$(grep '^press ' "$work/$column-press.out")"
}

# play_run COLUMN: ParluneDa_Play -> the first audible sample, 30 calls.
play_run() {
  local column=$1
  if ! PARLUNE_AUDIO=pulse "$probe" play cap.monitor 30 >"$work/$column-play"; then
    echo "run.sh: Play -> sound in the $column column failed" >&2
    return 1
  fi
  record_latency "$column" play "$(grep '^play ' "$work/$column-play")"
}

# sound_run COLUMN BUILD BLOCK COUNT: one block of COUNT presses -> sound;
# the first block also times ParluneDa_Play with the pair up. The samples
# stay in $work/COLUMN-sound-BLOCK.out.
sound_run() {
  local column=$1 block=$3
  [ "$block" = 1 ] && while_up="play_run $column"
  press_session "$column" "$2" "sound-$block" pulse sound sound cap.monitor "$4"
  local status=$?
  while_up=""
  return $status
}

# sound_summary COLUMN: percentiles over every press of the column's blocks.
sound_summary() {
  local column=$1 line
  line=$(cat "$work/$column"-sound-*.out 2>/dev/null | awk '
    /^sound count=/ { for (i = 2; i <= NF; i++) if ($i ~ /^missed=/) missed += substr($i, 8) }
    /^sound_ms / { v[++n] = $2 }
    function at(q,    r) { r = int(q * n); if (r < q * n) r++; if (r < 1) r = 1; return v[r] }
    END {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      if (n) printf "n=%d missed=%d p50=%.1f p99=%.1f max=%.1f\n", n, missed, at(0.5), at(0.99), v[n]
    }')
  [ -n "$line" ] || return 1
  record "$column" sound/presses "$(field "$line" n)"
  record "$column" sound/lat_p50_ms "$(field "$line" p50)"
  record "$column" sound/lat_p99_ms "$(field "$line" p99)"
  record "$column" sound/lat_max_ms "$(field "$line" max)"
  record "$column" sound/missed "$(field "$line" missed)"
}

# ------------------------------------------------------------------- startup
startup_run() {
  local column=$1 build=$2 comp=$3 program=$4
  shift 4
  local dir=$work/$column-start-$comp line
  mkdir -p "$dir"
  if ! line=$(cd "$dir" && "$probe" startup "$naming" "$host.host_cxt/$comp.rtc" "$dir/out" -- \
    "$program" -o "corba.nameservers:$naming" -o corba.endpoints:127.0.0.1 -o logger.enable:NO "$@"); then
    echo "run.sh: startup of $program failed" >&2
    return 1
  fi
  record "$column" "startup/${comp%0}_registered_ms" "$(field "$line" registered_ms)"
  record "$column" "startup/${comp%0}_ready_ms" "$(field "$line" ready_ms)"
  record "$column" "startup/${comp%0}_exit_ms" "$(field "$line" exit_ms)"
  record "$column" "startup/${comp%0}_unbound_pct" "$([ "$(field "$line" unbound)" = yes ] && echo 100 || echo 0)"
}

# ---------------------------------------------------------------------- idle
sched_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'; }
status_field() { awk -v k="$2:" '$1 == k { print $2 }' /proc/"$1"/status; }
# measure COLUMN STATE NAME PID ...: one window for all the pids at once.
measure() {
  local column=$1 state=$2
  shift 2
  local -a names=() procs=() before=()
  while [ $# -gt 0 ]; do names+=("$1"); procs+=("$2"); shift 2; done
  local i
  for i in "${!procs[@]}"; do before[i]=$(sched_ns "${procs[i]}"); done
  sleep "$idle_seconds"
  for i in "${!procs[@]}"; do
    local ns=$(($(sched_ns "${procs[i]}") - before[i]))
    local p="idle/${names[i]}/$state"
    record "$column" "$p/cpu_pct" "$(awk -v ns="$ns" -v s="$idle_seconds" 'BEGIN { printf "%.3f", ns / (s * 1e9) * 100 }')"
    record "$column" "$p/rss_mb" "$(awk -v k="$(status_field "${procs[i]}" VmRSS)" 'BEGIN { printf "%.2f", k / 1024 }')"
    record "$column" "$p/threads" "$(status_field "${procs[i]}" Threads)"
  done
}
idle_run() {
  local column=$1 build=$2 status=0
  PARLUNE_AUDIO=null start "$column" idle-speech "$build/launcher/ParluneRTCComp"
  local speech=$started
  start "$column" idle-window "$build/launcher/ParluneTestComp" \
    -o "Test.ParluneTest.config_file:$build/stringout/ParluneTest.conf"
  local window=$started
  if ready Parlune0 ParluneTest0; then
    sleep 1
    measure "$column" idle Parlune "$speech" ParluneTest "$window"
    if "${rtctl[@]}" connect ParluneTest0.out Parlune0.in >/dev/null; then
      sleep 0.5
      measure "$column" connected Parlune "$speech" ParluneTest "$window"
      if "${rtctl[@]}" activate Parlune0 && "${rtctl[@]}" activate ParluneTest0; then
        sleep 0.5
        measure "$column" active Parlune "$speech" ParluneTest "$window"
      else
        status=1
      fi
    else
      status=1
    fi
  else
    status=1
  fi
  stop "$window" "$speech"
  return $status
}

# ---------------------------------------------------------------------- main
columns=ours
[ -n "$theirs" ] && columns="ours openrtm"
build_of() { [ "$1" = ours ] && echo "$ours" || echo "$theirs"; }

only=${E2E_ONLY:-}
want() { [ -z "$only" ] || [[ ",$only," == *",$1,"* ]]; }

status=0
# Repeats interleave the columns, so drift on a shared machine hits them alike.
want e2e || e2e_repeats=0
for _ in $(seq "$e2e_repeats"); do
  for column in $columns; do
    progress "e2e: $column"
    e2e_run "$column" "$(build_of "$column")" || status=1
  done
done
if want press; then
  for column in $columns; do
    progress "press: $column"
    press_run "$column" "$(build_of "$column")" || status=1
  done
fi
if want sound; then
  # The server's first stream stalls before it plays; neither column gets it.
  PARLUNE_AUDIO=pulse "$probe" play cap.monitor 3 >"$work/warm-up" 2>&1
  order=$columns
  block=0
  for ((done_presses = 0; done_presses < sound_presses; done_presses += sound_block)); do
    block=$((block + 1))
    count=$((sound_presses - done_presses < sound_block ? sound_presses - done_presses : sound_block))
    for column in $order; do
      progress "sound: block $block, $count presses, $column"
      sound_run "$column" "$(build_of "$column")" "$block" "$count" || status=1
    done
    order=$(tr ' ' '\n' <<<"$order" | tac | tr '\n' ' ')  # ABBA: each column goes first as often
  done
  for column in $columns; do sound_summary "$column" || status=1; done
fi
want startup || startup_repeats=0
want idle || idle_repeats=0
for _ in $(seq "$startup_repeats"); do
  for column in $columns; do
    progress "startup: $column"
    b=$(build_of "$column")
    PARLUNE_AUDIO=null startup_run "$column" "$b" Parlune0 "$b/launcher/ParluneRTCComp" || status=1
    startup_run "$column" "$b" ParluneTest0 "$b/launcher/ParluneTestComp" \
      -o "Test.ParluneTest.config_file:$b/stringout/ParluneTest.conf" || status=1
  done
done
for _ in $(seq "$idle_repeats"); do
  for column in $columns; do
    progress "idle: $column"
    idle_run "$column" "$(build_of "$column")" || status=1
  done
done

echo "e2e benchmarks: $(nproc) cores, load average $(bench_load) at the end"
bench_table "$columns"
exit $status
