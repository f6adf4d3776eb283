#!/usr/bin/env bash
# Network benchmarks on hosts made with network namespaces (needs root);
# prints one table.
#
#   sudo bench/net/run.sh
#
# Hosts: h1 (10.78.0.1: naming service, receiver) and h2 (10.78.0.2:
# sender, tools) on a bridge; every address exists only in the lab.
#   put/*      E2eSenderComp -> E2eReceiverComp, 600 strings at 293/s (the
#              receiver reads at 1000 Hz): write_us = one synchronous put,
#              age_us = sample age at the receiver's read. Columns: both on h1
#              over loopback ("loop"), across the veth pair ("veth"), and
#              each with mutual TLS ("loop_tls", "veth_tls").
#   tls/*      mutual TLS handshakes with a component's listener (client
#              with a CA-signed key), 50 per run.
#   crowd/*    1000 connections held open against the receiver from h2 (100
#              of them with half a request): its threads and RSS, rtctl state
#              answered (ms, process start included), put/age meanwhile, and
#              how long until the half-sent requests were dropped. Column
#              "limits" is the default; "unbounded" sets omniORB's own
#              defaults back through corba.args (the baseline).
# Medians over RUNS runs (default 3); p50/p99 are of one run's samples.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${PARLUNE_BUILD:-$repo/build}
runs=${RUNS:-3}
send=$build/bench/e2e/E2eSenderComp
recv=$build/bench/e2e/E2eReceiverComp
rtctl_bin=$build/tools/rtctl/rtctl
for f in "$send" "$recv" "$rtctl_bin"; do
  [ -x "$f" ] || { echo "run.sh: $f is missing (build bench/e2e and rtctl)" >&2; exit 1; }
done
[ "$(id -u)" = 0 ] || { echo "run.sh: needs root for network namespaces" >&2; exit 1; }

lab=pnb$$
work=$(mktemp -d "${TMPDIR:-/tmp}/net-bench.XXXXXX") || exit 1
results=$work/results
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null; done
  for n in h1 h2 br; do ip netns del "$lab-$n" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$lab-br" && ip -n "$lab-br" link add br0 type bridge && ip -n "$lab-br" link set br0 up || exit 1
for i in 1 2; do
  ip netns add "$lab-h$i" &&
    ip -n "$lab-br" link add "p$i" type veth peer name eth0 netns "$lab-h$i" &&
    ip -n "$lab-br" link set "p$i" master br0 up &&
    ip -n "$lab-h$i" addr add "10.78.0.$i/24" dev eth0 &&
    ip -n "$lab-h$i" link set eth0 up && ip -n "$lab-h$i" link set lo up || exit 1
done
on() { local h=$1; shift; ip netns exec "$lab-$h" unshare --uts sh -c 'hostname "$0" && exec "$@"' "bench$h" "$@"; }
naming=10.78.0.1:2809
mkdir -p "$work/names"
on h1 omniNames -start 2809 -always -datadir "$work/names" -ORBendPoint "giop:tcp:$naming" >"$work/names/log" 2>&1 &
pids+=($!)
sleep 1

"$repo/scripts/make-certs" "$work/certs" 10.78.0.1 10.78.0.2 operator >/dev/null || exit 1
certs=$work/certs
record() { echo "$1 $2 $3" >>"$results"; }
field() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }
rtctl_tls=()
rtctl() { local h=$1; shift; on "$h" "$rtctl_bin" -n "$naming" --endpoint "10.78.0.${h#h}" "${rtctl_tls[@]}" "$@"; }

# start HOST NAME PROGRAM OPTIONS...: sets $started.
start() {
  local h=$1 name=$2
  shift 2
  mkdir -p "$work/$name"
  (cd "$work/$name" && on "$h" "$@" -o "corba.nameservers:$naming" -o logger.enable:NO) \
    >"$work/$name/out" 2>&1 &
  started=$!
  pids+=("$started")
}
stop() {
  local pid
  for pid in "$@"; do kill -INT "$pid" 2>/dev/null; done
  for pid in "$@"; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}
ready() {
  for _ in $(seq 200); do rtctl h2 state "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "run.sh: $1 did not appear" >&2
  return 1
}
wait_line() {
  for _ in $(seq 300); do
    [ "$(grep -c "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0
    sleep 0.1
  done
  return 1
}
tls_options() {  # HOST
  echo "-o manager.preload.modules:SSLTransport.so -o corba.ssl.certificate_authority_file:$certs/ca.crt" \
    "-o corba.ssl.key_file:$certs/10.78.0.${1#h}.pem -o corba.endpoints:giop:ssl:10.78.0.${1#h}:"
}

# put COLUMN SENDER_HOST TLS(0/1) [RECEIVER OPTIONS...]: one paced run; the
# receiver stays up for the caller when KEEP_RECEIVER is set.
put_run() {
  local column=$1 sh=$2 tls=$3
  shift 3
  local ro=(-o exec_cxt.periodic.rate:1000 -o corba.endpoints:10.78.0.1:7000) so=(-o exec_cxt.periodic.rate:293 -o "corba.endpoints:10.78.0.${sh#h}")
  rtctl_tls=()
  if [ "$tls" = 1 ]; then
    ro=(-o exec_cxt.periodic.rate:1000 $(tls_options h1))
    so=(-o exec_cxt.periodic.rate:293 $(tls_options "$sh"))
    rtctl_tls=(--ca "$certs/ca.crt" --key "$certs/operator.pem")
  fi
  start h1 "$column-recv" "$recv" "${ro[@]}" "$@"
  local r=$started
  start "$sh" "$column-send" "$send" "${so[@]}"
  local s=$started
  local status=0
  if ready E2eReceiver0 && ready E2eSender0 && rtctl h2 connect E2eSender0.out E2eReceiver0.in >/dev/null &&
    rtctl h2 conf E2eSender0 set mode paced && rtctl h2 conf E2eSender0 set count 600 &&
    rtctl h2 activate E2eReceiver0 && rtctl h2 activate E2eSender0 &&
    wait_line "$work/$column-send/out" e2e-sender 1 && wait_line "$work/$column-recv/out" e2e-receiver 1; then
    local sl rl
    sl=$(grep e2e-sender "$work/$column-send/out" | tail -1)
    rl=$(grep e2e-receiver "$work/$column-recv/out" | tail -1)
    record "$column" put/write_p50_us "$(field "$sl" write_p50_us)"
    record "$column" put/write_p99_us "$(field "$sl" write_p99_us)"
    record "$column" put/age_p50_us "$(field "$rl" age_p50_us)"
    record "$column" put/age_p99_us "$(field "$rl" age_p99_us)"
  else
    echo "run.sh: $column run failed" >&2
    status=1
  fi
  if [ "$tls" = 1 ]; then
    local h
    h=$(on h2 "$here/tls-handshake" 10.78.0.1 "$(tls_port)" "$certs/ca.crt" "$certs/operator.pem" 50)
    record "$column" tls/handshake_p50_ms "$(field "$h" p50_ms)"
    record "$column" tls/handshake_p99_ms "$(field "$h" p99_ms)"
  fi
  stop "$s"
  if [ -n "${KEEP_RECEIVER:-}" ]; then receiver=$r; else stop "$r"; fi
  rtctl_tls=()
  return $status
}
# The receiver's TLS port (the one ssl listener of its process).
tls_port() {
  local pid
  pid=$(pgrep -n -f "E2eReceiverComp.*corba.ssl") || return 1
  ip netns exec "$lab-h1" ss -ltnpH | grep "pid=$pid," | awk '{print $4}' | sed 's/.*://' | head -1
}

# crowd COLUMN [RECEIVER OPTIONS...]
crowd_run() {
  local column=$1
  shift
  start h1 "$column-recv" "$recv" -o exec_cxt.periodic.rate:1000 -o corba.endpoints:10.78.0.1:7000 "$@"
  local r=$started
  ready E2eReceiver0 || { stop "$r"; return 1; }
  local rpid
  rpid=$(pgrep -n -f "E2eReceiverComp.*$column") || rpid=""
  [ -z "$rpid" ] && rpid=$(pgrep -n E2eReceiverComp)
  mkdir -p "$work/$column-crowd"
  on h2 "$repo/tests/net/hold-connections" 10.78.0.1 7000 1000 100 >"$work/$column-crowd/out" 2>&1 &
  local c=$!
  pids+=("$c")
  local t0
  t0=$(date +%s.%N)
  wait_line "$work/$column-crowd/out" "^held" 1
  grep -q "held 1000" "$work/$column-crowd/out" || echo "run.sh: $column: $(head -1 "$work/$column-crowd/out")" >&2
  sleep 2
  record "$column" crowd/threads "$(awk '/^Threads:/ {print $2}' "/proc/$rpid/status")"
  record "$column" crowd/rss_mb "$(awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}' "/proc/$rpid/status")"
  local q0 q1
  q0=$(date +%s%N)
  rtctl h2 state E2eReceiver0 >/dev/null || echo "run.sh: $column: state not answered" >&2
  q1=$(date +%s%N)
  record "$column" crowd/state_ms "$(( (q1 - q0) / 1000000 ))"
  local dropped=""
  for _ in $(seq 600); do
    if grep -Eq "closed (1[0-9][0-9]|[2-9][0-9][0-9]|1000)$" "$work/$column-crowd/out"; then
      dropped=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
      break
    fi
    sleep 0.1
  done
  record "$column" crowd/half_sent_dropped_s "${dropped:-60}"
  stop "$c" "$r"
}

unbounded=(-o "corba.args:-ORBthreadPerConnectionUpperLimit 10000 -ORBthreadPerConnectionLowerLimit 9000 -ORBmaxServerThreadPoolSize 100 -ORBserverCallTimeOutPeriod 0 -ORBinConScanPeriod 180 -ORBscanGranularity 5")
for _ in $(seq "$runs"); do
  put_run loop h1 0
  put_run veth h2 0
  put_run loop_tls h1 1
  put_run veth_tls h2 1
  crowd_run limits
  crowd_run unbounded "${unbounded[@]}"
done
echo "net benchmarks: $runs runs, $(nproc) cores; columns: loop/veth x plain/TLS, crowd limits/unbounded"
awk -v columns="loop veth loop_tls veth_tls limits unbounded" -v width=30 -v colw=10 -f "$repo/bench/median-table.awk" "$results"
