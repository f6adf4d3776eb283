#!/usr/bin/env bash
# Timing-marks benchmark: per voice, how well the marks fit the sound.
#
#   bench/voice/marks.sh
#
# Rows are LANGUAGE/VOICE as in run.sh. Figures (marks_probe, through the
# engine's public API with the WAV sink):
#   end_p50_ms, end_p99_ms   |latest mark END - WAV file length| over the
#                            texts: en the first HARVARD Harvard sentences
#                            (harvard.txt), ja and de the short and long texts
#                            of texts.txt and each sentence of the long one.
#   start_p50_ms, start_p90_ms
#                            English only: |word START - the word's start
#                            frame| against pocketsphinx's own segmentation
#                            of the same file (resampled to 16 kHz with sox;
#                            pocketsphinx_batch with a JSGF grammar of just
#                            the sentence's words, -hypseg), over every word
#                            of the utterances where both have the same words.
#   aligned                  English only: utterances compared / spoken.
#
# Environment: PARLUNE_BUILD (default <repo>/build, with marks_probe built),
# VOICES_EN, VOICES_JA, VOICES_DE (defaults below), HARVARD (default 10).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${PARLUNE_BUILD:-$repo/build}
probe=$build/bench/voice/marks_probe
voices_en=${VOICES_EN:-en auto flite:slt}
voices_ja=${VOICES_JA:-auto openjtalk:m001 ja}
voices_de=${VOICES_DE:-de}
harvard=${HARVARD:-10}
model=/usr/share/pocketsphinx/model/en-us

[ -x "$probe" ] || { echo "marks.sh: $probe is missing (build the target marks_probe)" >&2; exit 1; }
align=1
if ! command -v pocketsphinx_batch >/dev/null || [ ! -d "$model/en-us" ] || ! command -v sox >/dev/null; then
  echo "marks.sh: no word-start agreement: install pocketsphinx pocketsphinx-en-us sox (Debian)" >&2
  align=0
fi
export PARLUNE_HELPER=${PARLUNE_HELPER:-$build/engine/parlune-da-helper}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

locale_of() { case $1 in en) echo en_US.UTF-8 ;; ja) echo ja_JP.UTF-8 ;; de) echo de_DE.UTF-8 ;; esac; }
# p50/p90/p99 of the numbers on stdin, one a line ("-" when none).
pct() { sort -g | awk -v p="$1" '{ v[NR] = $1 } END { if (!NR) { print "-"; exit }
  i = int(p * NR + 0.999999); if (i < 1) i = 1; if (i > NR) i = NR; printf "%.1f\n", v[i] }'; }

texts_of() {
  case $1 in
    en) head -n "$harvard" "$here/harvard.txt" ;;
    *) awk -v l="$1" '$1 == l { sub(/^[^ ]+ [^ ]+ /, ""); print }' "$here/texts.txt"
       awk -v l="$1" '$1 == l && $2 == "long" { sub(/^[^ ]+ [^ ]+ /, ""); print }' "$here/texts.txt" |
         sed -e 's/\([。.?!]\) */\1\n/g' | sed '/^ *$/d' ;;
  esac
}

# pocketsphinx's word starts (ms) for WAV with the grammar of WORDS.
sphinx_starts() {
  local wav=$1 words=$2 d
  d=$(mktemp -d -p "$work")
  sox "$wav" -r 16000 -c 1 "$d/u.wav" 2>/dev/null || return 1
  printf '#JSGF V1.0;\ngrammar s;\npublic <s> = %s;\n' "$words" >"$d/u.gram"
  echo u >"$d/ctl"
  (cd "$d" && timeout 300 pocketsphinx_batch -hmm "$model/en-us" -dict "$model/cmudict-en-us.dict" \
    -jsgf u.gram -ctl ctl -cepdir . -cepext .wav -adcin yes -hypseg seg >/dev/null 2>&1) || return 1
  # "u S s T t A a L l  SF ASCR LSCR WORD ...  END": the words' start frames (10 ms).
  awk '{ for (i = 10; i + 3 <= NF; i += 4) { w = $(i + 3); sub(/\(.*\)$/, "", w)
         if (w !~ /^</ && w != "(NULL)") print $i * 10 } }' "$d/seg"
}

printf '%-18s %11s %11s %13s %13s %8s\n' voice end_p50_ms end_p99_ms start_p50_ms start_p90_ms aligned
for lang in en ja de; do
  case $lang in en) voices=$voices_en ;; ja) voices=$voices_ja ;; de) voices=$voices_de ;; esac
  for v in $voices; do
    row="$lang/$v"
    dir="$work/$lang-${v//:/-}"
    mkdir -p "$dir/wav"
    texts_of "$lang" >"$dir/texts"
    env -u PARLUNE_VOICE_JA -u PARLUNE_VOICE_EN -u LC_ALL -u LC_MESSAGES LANG="$(locale_of "$lang")" \
      PARLUNE_VOICE="$v" timeout 900 "$probe" "$dir/wav" "$dir/texts" >"$dir/out" 2>"$dir/err" ||
      echo "marks.sh: $row: $(head -c 300 "$dir/err")" >&2
    p50=$(sed -n 's/.*end_err_ms=\([0-9.]*\).*/\1/p' "$dir/out" | pct 0.5)
    p99=$(sed -n 's/.*end_err_ms=\([0-9.]*\).*/\1/p' "$dir/out" | pct 0.99)
    s50=- s90=- aligned=-
    if [ "$lang" = en ] && [ $align = 1 ]; then
      : >"$dir/diffs"
      n=0 ok=0
      for w in "$dir"/wav/*.words; do
        n=$((n + 1))
        marks=$(awk '{ print $1 }' "$w")
        words=$(awk '{ $1 = ""; print tolower($0) }' "$w" | tr -cd "a-z' \n" | tr '\n' ' ' | tr -s ' ')
        sphinx=$(sphinx_starts "${w%.words}.wav" "$words") || continue
        [ "$(wc -l <<<"$marks")" = "$(wc -l <<<"$sphinx")" ] || continue
        ok=$((ok + 1))
        paste <(echo "$marks") <(echo "$sphinx") | awk '{ d = $1 - $2; print d < 0 ? -d : d }' >>"$dir/diffs"
      done
      s50=$(pct 0.5 <"$dir/diffs")
      s90=$(pct 0.9 <"$dir/diffs")
      aligned="$ok/$n"
    fi
    printf '%-18s %11s %11s %13s %13s %8s\n' "$row" "$p50" "$p99" "$s50" "$s90" "$aligned"
  done
done
