#!/usr/bin/env bash
# Network benchmarks on hosts made with network namespaces (needs root);
# prints two tables.
#
#   sudo bench/net/run.sh
#
# Hosts: h1 (10.78.0.1: naming service, receiver) and h2 (10.78.0.2:
# sender, tools, crowd) on a bridge; every address exists only in the lab.
# Table 1, ratios against "loop" (plain, one host):
#   put/*      E2eSenderComp -> E2eReceiverComp, 600 strings at 293/s over a
#              flush connection (the receiver reads at 1000 Hz): write_us =
#              one synchronous put, age_us = sample age at the receiver's
#              read, sender_per_s = the sender's context rate. Columns: both
#              on h1 over loopback ("loop"), the sender on h2 across the veth
#              pair ("veth"), and each with mutual TLS ("loop_tls",
#              "veth_tls").
#   tls/*      mutual TLS handshakes from h2 with the receiver's listener
#              (client with a CA-signed key), 50 per run, and the TCP
#              connection before each (tcp_connect: the baseline).
# Table 2, ratios against "quiet" (no crowd): the sender (h1, port 7000)
# while 1000 connections from h2 are held open against it, 100 of them with
# half a request:
#   crowd/*    its threads and RSS, `rtctl state` answered from h2 (ms,
#              rtctl's own start included, 5 per run, and the slowest of
#              the 5), its context's rate
#              and the sample age of a paced run meanwhile, and how long
#              until the half-sent requests were dropped (90: not within
#              90 s). Columns: "silent" holds the 1000 without a word,
#              "limits" adds the half-sent ones (both with the default
#              limits); "unbounded" sets omniORB's own defaults back through
#              corba.args.
# Medians over RUNS runs (default 3); p50/p99 are of one run's samples. Run
# it under nice on a shared machine; the load average is printed.
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

. "$repo/bench/lib.sh"
lab=pnb$$
bench_cleanup_extra() { for n in h1 h2 br; do ip netns del "$lab-$n" 2>/dev/null; done; }
bench_init net-bench
load_start=$(bench_load)

ip netns add "$lab-br" && ip -n "$lab-br" link add br0 type bridge && ip -n "$lab-br" link set br0 up || exit 1
for i in 1 2; do
  ip netns add "$lab-h$i" &&
    ip -n "$lab-br" link add "p$i" type veth peer name eth0 netns "$lab-h$i" &&
    ip -n "$lab-br" link set "p$i" master br0 up &&
    ip -n "$lab-h$i" addr add "10.78.0.$i/24" dev eth0 &&
    ip -n "$lab-h$i" link set eth0 up && ip -n "$lab-h$i" link set lo up || exit 1
done
# on HOST PROGRAM ARGS...: the program on that host under its own host name;
# ip, unshare and sh each replace themselves, so the pid is the program's.
on() {
  local h=$1
  shift
  exec ip netns exec "$lab-$h" unshare --uts sh -c 'hostname "$0" && exec "$@"' "bench$h" "$@"
}
naming=10.78.0.1:2809
bench_start "$work/names" on h1 omniNames -start 2809 -always -datadir "$work/names" \
  -ORBendPoint "giop:tcp:$naming"
names=$started
for _ in $(seq 50); do
  (on h1 bash -c 'exec 3<>/dev/tcp/10.78.0.1/2809') 2>/dev/null && break
  sleep 0.1
done

certs=$work/certs
"$repo/scripts/make-certs" "$certs" 10.78.0.1 10.78.0.2 operator >/dev/null || exit 1
rtctl_tls=()
bench_rtctl() { (on h2 "$rtctl_bin" -n "$naming" --endpoint 10.78.0.2 "${rtctl_tls[@]}" "$@"); }

# start HOST NAME PROGRAM OPTIONS...: sets $started.
start() {
  local h=$1 name=$2
  shift 2
  bench_start "$work/$name" on "$h" "$@" -o "corba.nameservers:$naming" -o logger.enable:NO
}
tls_options() { # HOST
  local a=10.78.0.${1#h}
  echo "-o manager.preload.modules:SSLTransport.so -o corba.ssl.certificate_authority_file:$certs/ca.crt" \
    "-o corba.ssl.key_file:$certs/$a.pem -o corba.endpoints:giop:ssl:$a:"
}
# The TCP port a process listens on (its first listener in host h1).
port_of() { ip netns exec "$lab-h1" ss -ltnpH | grep "pid=$1," | awk '{print $4}' | sed 's/.*://' | head -1; }
status_of() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }

# paced COLUMN SEND_DIR RECV_DIR PREFIX: one paced run of a connected,
# active receiver and an inactive sender; records PREFIX/* figures.
paced() {
  local column=$1 sout=$2/out rout=$3/out p=$4
  local ns nr
  ns=$(grep -c e2e-sender "$sout")
  nr=$(grep -c e2e-receiver "$rout")
  bench_rtctl activate E2eSender0 >/dev/null && wait_line "$sout" e2e-sender $((ns + 1)) &&
    wait_line "$rout" e2e-receiver $((nr + 1)) || return 1
  local sl rl
  sl=$(grep e2e-sender "$sout" | tail -1)
  rl=$(grep e2e-receiver "$rout" | tail -1)
  record "$column" "$p/write_p50_us" "$(field "$sl" write_p50_us)"
  record "$column" "$p/write_p99_us" "$(field "$sl" write_p99_us)"
  record "$column" "$p/age_p50_us" "$(field "$rl" age_p50_us)"
  record "$column" "$p/age_p99_us" "$(field "$rl" age_p99_us)"
  record "$column" "$p/sender_per_s" "$(field "$sl" per_s)"
  record "$column" "$p/received_pct" "$(awk -v a="$(field "$rl" received)" 'BEGIN { print a / 6 }')"
}
# connected RECEIVER_PID SENDER_PID: both registered, connected, set up for
# 600 paced strings, the receiver active.
connected() {
  bench_ready E2eReceiver0 E2eSender0 &&
    bench_rtctl connect E2eSender0.out E2eReceiver0.in >/dev/null &&
    bench_rtctl conf E2eSender0 set mode paced && bench_rtctl conf E2eSender0 set count 600 &&
    bench_rtctl activate E2eReceiver0
}

# put_run COLUMN SENDER_HOST TLS(0/1)
put_run() {
  local column=$1 sh=$2 tls=$3 status=0
  local ro=(-o corba.endpoints:10.78.0.1) so=(-o "corba.endpoints:10.78.0.${sh#h}")
  rtctl_tls=()
  if [ "$tls" = 1 ]; then
    read -ra ro <<<"$(tls_options h1)"
    read -ra so <<<"$(tls_options "$sh")"
    rtctl_tls=(--ca "$certs/ca.crt" --key "$certs/operator.pem")
  fi
  start h1 "$column-recv" "$recv" -o exec_cxt.periodic.rate:1000 "${ro[@]}"
  local r=$started
  start "$sh" "$column-send" "$send" -o exec_cxt.periodic.rate:293 "${so[@]}"
  local s=$started
  if connected && paced "$column" "$work/$column-send" "$work/$column-recv" put; then
    if [ "$tls" = 1 ]; then
      local h
      h=$(on_h2_handshake "$(port_of "$r")")
      record "$column" tls/handshake_p50_ms "$(field "$h" p50_ms)"
      record "$column" tls/handshake_p99_ms "$(field "$h" p99_ms)"
      record "$column" tls/tcp_connect_p50_ms "$(field "$h" connect_p50_ms)"
    fi
  else
    echo "run.sh: $column run failed" >&2
    status=1
  fi
  bench_stop "$s" "$r"
  rtctl_tls=()
  return $status
}
on_h2_handshake() { (on h2 "$here/tls-handshake" 10.78.0.1 "$1" "$certs/ca.crt" "$certs/operator.pem" 50); }

# crowd_run COLUMN CONNECTIONS HALF_SENT [SENDER OPTIONS...]
crowd_run() {
  local column=$1 count=$2 half=$3 status=0
  shift 3
  start h1 "$column-recv" "$recv" -o exec_cxt.periodic.rate:1000 -o corba.endpoints:10.78.0.1
  local r=$started
  start h1 "$column-send" "$send" -o exec_cxt.periodic.rate:293 -o corba.endpoints:10.78.0.1:7000 "$@"
  local s=$started
  connected || { echo "run.sh: $column run failed" >&2; bench_stop "$s" "$r"; return 1; }
  local c="" crowd=$work/$column-crowd/out
  if [ "$count" -gt 0 ]; then
    bench_start "$work/$column-crowd" on h2 "$repo/tests/net/hold-connections" 10.78.0.1 7000 "$count" "$half"
    c=$started
    wait_line "$crowd" "^held" 1
    grep -q "held $count" "$crowd" || echo "run.sh: $column: $(head -1 "$crowd")" >&2
  fi
  sleep 2
  record "$column" crowd/threads "$(status_of "$s" Threads)"
  record "$column" crowd/rss_mb "$(awk -v k="$(status_of "$s" VmRSS)" 'BEGIN { printf "%.1f", k / 1024 }')"
  local q0 q1 ms max=0
  for _ in 1 2 3 4 5; do
    q0=$(date +%s%N)
    bench_rtctl state E2eSender0 >/dev/null || echo "run.sh: $column: state not answered" >&2
    q1=$(date +%s%N)
    ms=$(((q1 - q0) / 1000000))
    record "$column" crowd/state_ms "$ms"
    [ "$ms" -gt "$max" ] && max=$ms
  done
  record "$column" crowd/state_max_ms "$max"
  paced "$column" "$work/$column-send" "$work/$column-recv" crowd || status=1
  if [ "$half" -gt 0 ]; then
    local dropped=""
    for _ in $(seq 900); do
      dropped=$(awk -v h="half=$half" '$1 == "closed" && $3 == h { sub("t=", "", $4); print $4; exit }' "$crowd")
      [ -n "$dropped" ] && break
      sleep 0.1
    done
    record "$column" crowd/half_sent_dropped_s "${dropped:-90}"
  fi
  [ -n "$c" ] && bench_stop "$c"
  bench_stop "$s" "$r"
  return $status
}

unbounded=(-o "corba.args:-ORBthreadPerConnectionUpperLimit 10000 -ORBthreadPerConnectionLowerLimit 9000 -ORBmaxServerThreadPoolSize 100 -ORBserverCallTimeOutPeriod 0 -ORBinConScanPeriod 180 -ORBscanGranularity 5")
status=0
for _ in $(seq "$runs"); do
  put_run loop h1 0 || status=1
  put_run veth h2 0 || status=1
  put_run loop_tls h1 1 || status=1
  put_run veth_tls h2 1 || status=1
  crowd_run quiet 0 0 || status=1
  crowd_run silent 1000 0 || status=1
  crowd_run limits 1000 100 || status=1
  crowd_run unbounded 1000 100 "${unbounded[@]}" || status=1
done
kill -TERM "$names" 2>/dev/null # omniNames ends on SIGTERM, not SIGINT
wait "$names" 2>/dev/null
echo "net benchmarks: $runs runs, $(nproc) cores, load average $load_start at the start, $(bench_load) at the end"
TABLE_WIDTH=28 bench_table "loop veth loop_tls veth_tls" loop
echo
TABLE_WIDTH=28 bench_table "quiet silent limits unbounded" quiet
exit $status
