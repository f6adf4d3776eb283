#!/usr/bin/env bash
# Steering benchmarks through the engine's public API (controls_probe):
#
#   bench/controls/run.sh [interrupt] [controls]     (default: both)
#
# interrupt  At a private PulseAudio server (tests/support/with-pulse), the
#            default voice, ROUNDS rounds of (see controls_probe.cpp):
#              silence_ms  interrupt -> last audible sample of the cut text
#              urgent_ms   interrupt + Play(urgent) -> its first audible sample
#              plain_ms    Play(urgent) on an idle engine -> first audible
#                          sample: the baseline, measured in the same run
#            p50/p99 of each, then the same again with BUSY processes
#            spinning on the CPU (busy run).
# controls   Per voice (flite:rms, openjtalk:mei, espeak:en) one sentence
#            into WAV files at volume 100/50/200 and pitch 100/150/50:
#              db_50        RMS level at volume 50 against 100 (sox), dB
#              peak_200     peak at volume 200, of full scale
#              f0_150 f0_50 median F0 at pitch 150 and 50 over that at 100
#                           (aubiopitch, yinfft, voiced frames 50..700 Hz)
#              rate_150     the file's length at pitch 150 over that at 100
#
# Environment: PARLUNE_BUILD (default <repo>/build, controls_probe built),
# ROUNDS (default 30), BUSY (default 2). Needs sox and aubio-tools.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
if [ -z "${CONTROLS_INSIDE:-}" ]; then
  CONTROLS_INSIDE=1 exec "$repo/tests/support/with-pulse" "$0" "$@"
fi
build=${PARLUNE_BUILD:-$repo/build}
probe=$build/bench/controls/controls_probe
rounds=${ROUNDS:-30}
busy=${BUSY:-2}
[ -x "$probe" ] || { echo "run.sh: $probe is missing (build controls_probe)" >&2; exit 1; }
sections=${*:-interrupt controls}
work=$(mktemp -d "${TMPDIR:-/tmp}/controls.XXXXXX") || exit 1
spinners=()
cleanup() {
  local pid
  for pid in "${spinners[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

long=""
for _ in $(seq 40); do long+="This sentence is one of many in a long announcement. "; done
urgent="Stop now."

interrupt_run() {
  timeout 3600 "$probe" interrupt cap.monitor "$rounds" "$long" "$urgent" | tail -1
}

case " $sections " in *" interrupt "*)
  echo "interrupt idle  load $(cut -d' ' -f1-3 /proc/loadavg): $(interrupt_run)"
  for _ in $(seq "$busy"); do
    ( while :; do :; done ) &
    spinners+=($!)
  done
  echo "interrupt busy ($busy spinning) load $(cut -d' ' -f1-3 /proc/loadavg): $(interrupt_run)"
  for pid in "${spinners[@]}"; do kill "$pid" 2>/dev/null; done
  spinners=()
esac

median_f0() {
  aubiopitch -i "$1" -p yinfft -u hz 2>/dev/null |
    awk '$2 > 50 && $2 < 700 {print $2}' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}
rms() { sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}'; }
peak() { sox "$1" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}'; }

case " $sections " in *" controls "*)
  printf '%-15s %8s %9s %7s %6s %9s\n' voice db_50 peak_200 f0_150 f0_50 rate_150
  for voice in flite:rms openjtalk:mei espeak:en; do
    dir=$work/${voice/:/-}
    mkdir -p "$dir"
    text="The quick brown fox jumps over the lazy dog while the children watch from the garden wall."
    [ "$voice" = openjtalk:mei ] && text="今日はとても良い天気なので、みんなで公園まで散歩に行きましょう。"
    for setting in "100 100" "50 100" "200 100" "100 150" "100 50"; do
      # shellcheck disable=SC2086
      PARLUNE_VOICE=$voice PARLUNE_AUDIO=wav:$dir timeout 300 "$probe" wav $setting "$text" ||
        echo "run.sh: $voice $setting failed" >&2
    done
    f=("$dir"/*.wav)
    [ "${#f[@]}" -eq 5 ] || { echo "run.sh: $voice: ${#f[@]} files" >&2; continue; }
    awk -v r100="$(rms "${f[0]}")" -v r50="$(rms "${f[1]}")" -v p200="$(peak "${f[2]}")" \
      -v f100="$(median_f0 "${f[0]}")" -v f150="$(median_f0 "${f[3]}")" -v f50="$(median_f0 "${f[4]}")" \
      -v d100="$(soxi -D "${f[0]}")" -v d150="$(soxi -D "${f[3]}")" -v voice="$voice" 'BEGIN {
        printf "%-15s %8.2f %9.3f %7.3f %6.3f %9.3f\n", voice, 20 * log(r50 / r100) / log(10),
          p200, f150 / f100, f50 / f100, d150 / d100 }'
  done
esac
