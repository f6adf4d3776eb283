#!/usr/bin/env bash
# First sound with timing marks on and off: the milliseconds from
# ParluneDa_Play to the first sample written (voice_probe wav, WAV sink,
# seen through inotify), median and max of REPEAT plays per text, after one
# unmeasured play that warms the helper.
#
#   bench/voice/firstsound.sh
#
# Texts: two English sentences (flite), two Japanese sentences (Open JTalk),
# two German sentences (espeak-ng de). Environment: PARLUNE_BUILD (default
# <repo>/build, with voice_probe built), REPEAT (default 12).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${PARLUNE_BUILD:-$repo/build}
probe=$build/bench/voice/voice_probe
repeat=${REPEAT:-12}
[ -x "$probe" ] || { echo "firstsound.sh: $probe is missing (build the target voice_probe)" >&2; exit 1; }
export PARLUNE_HELPER=${PARLUNE_HELPER:-$build/engine/parlune-da-helper}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name voice locale text
cases=(
  "en-flite|auto|en_US.UTF-8|The robot is ready to help you. Please tell me where to go."
  "ja-openjtalk|auto|ja_JP.UTF-8|今日はとても良い天気です。午後から会議室で打ち合わせをします。"
  "de-espeak|de|de_DE.UTF-8|Guten Morgen, wie geht es dir heute? Der Roboter wartet im Flur."
)
printf '%-14s %-5s %8s %8s %3s\n' text marks p50_ms max_ms n
for c in "${cases[@]}"; do
  IFS='|' read -r name voice locale text <<<"$c"
  printf '%s\n' "$text" >"$work/text"
  for marks in 0 1; do
    rm -rf "$work/wav" && mkdir -p "$work/wav"
    # The first play warms the helper and is left out.
    PROBE_MARKS=$marks PARLUNE_VOICE=$voice LANG=$locale LC_ALL=$locale \
      "$probe" wav "$work/wav" "$work/text" $((repeat + 1)) >"$work/out" 2>"$work/err" ||
      { echo "firstsound.sh: $name marks=$marks failed: $(tail -1 "$work/err")" >&2; continue; }
    grep '^utt ' "$work/out" | tail -n "$repeat" | sed 's/.*first_ms=\([0-9.]*\).*/\1/' | sort -g |
      awk -v n="$name" -v m="$marks" '{ v[NR] = $1 } END {
        printf "%-14s %-5s %8.1f %8.1f %3d\n", n, m, (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR], NR }'
  done
done
