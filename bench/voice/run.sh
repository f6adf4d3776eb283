#!/usr/bin/env bash
# Voice benchmarks: every voice side by side in one run, each language's
# voices against its espeak-ng voice (the baseline, "LANG/LANG") measured in
# the same run; prints one table of figures and one of ratios.
#
#   bench/voice/run.sh
#
# Rows are LANGUAGE/VOICE, VOICE being a PARLUNE_VOICE value; "auto" runs
# under the language's locale (LANG=en_US.UTF-8, ja_JP.UTF-8, de_DE.UTF-8).
# Figures (through the engine's public API, voice_probe):
#   wer_pct      English only: word error rate of a round trip through a
#                machine listener. The 40 Harvard sentences (IEEE 1969,
#                lists 1-4, harvard.txt) spoken into WAV files
#                (PARLUNE_AUDIO=wav:DIR), resampled to 16 kHz mono with sox,
#                decoded by pocketsphinx_batch with pocketsphinx-en-us's
#                generic language model; case and punctuation ignored. The
#                row en/flite-own is flite's own program (flite -voice rms)
#                on the same sentences, the reference for the engine's
#                English. Every file reaches the listener with the same
#                lead: its silence before the first audible sample replaced
#                by 250 ms of zeros (voice_probe relead).
#   first5_ms    Play -> first sample in the WAV file being written, for a
#   first60_ms   short (5-word) and a long (60-word) text of the language
#                (texts.txt); p50 and p99 over the repeats.
#   audible5_ms  Play -> first audible sample at a private PulseAudio
#   audible60_ms server's null sink monitor (as bench/e2e), the same texts;
#                each Play after the one before has fallen silent (the
#                long text: each in a fresh probe after a warm-up sentence).
#                Audible: a magnitude above AUDIBLE_LEVEL.
#   lead_ms      silence before the first audible sample (above 33, -60
#                dBFS) in the WAV files.
#   rtf          synthesis time / audio time: Play -> finished WAV file over
#                the file's length, long text.
#   audio_late_p50_ms, audio_late_p99_ms
#                the sound as data (the component's audio port takes it from
#                the engine so): each chunk of the long text, at AUDIO_RATE,
#                through the PulseAudio server, from when its first sample is
#                heard (the audio clock's estimate) to when the engine handed
#                it out; p50 and p99 over the chunks of a call, medians over
#                the calls (AUDIO_COUNT, default 2, for the audible voices).
#   audio_timer_p99_ms
#                the baseline beside it, in the same calls: how late a thread
#                of the probe wakes from sleeping until each next 20 ms tick
#                (p99 over a call, median over the calls); on a loaded
#                machine the chunks cannot come sooner than that.
#   rss_mb       the synthesis helper's resident memory after the long texts;
#   hwm_mb       its peak.
#
# Environment:
#   PARLUNE_BUILD     the build (default <repo>/build), with bench/voice built
#   VOICES_EN, VOICES_JA, VOICES_DE
#                     the voices per language, baseline first (defaults below)
#   AUDIBLE_VOICES    how many of each language's voices, from the first, get
#                     the audible figures (default 2: the baseline and auto)
#   WER_VOICES        how many English voices, from the first, get wer_pct
#                     (default 2: the baseline and auto; each takes the
#                     decoder 45 s of CPU, minutes on a loaded machine)
#   WAV_REPEATS       repeats of each text into WAV files (default 4)
#   SHORT_COUNT       audible repeats of the short text (default 16)
#   LONG_COUNT        audible repeats of the long text (default 4)
#   ROUNDS            the repeats are split into this many rounds over all the
#                     voices, so drift on a shared machine hits them alike
#                     (default 2)
#   VOICE_ONLY        optional: a comma list of sections (wer, wav, audible, audio)
#   AUDIO_COUNT       calls of the long text for the audio figures (default 2)
#   AUDIO_RATE        their rate (default 16000, the audio port's)
#   LANGS             the languages measured (default: en ja de)
#   AUDIBLE_LEVEL     the magnitude above which a sample is audible (default
#                     33, -60 dBFS, where soft first consonants start; 500
#                     was used before and misses them)
#   HOGS              this many `yes > /dev/null` (nice 0) run beside the
#                     whole measurement, as other work on a robot does
#                     (default 0)
#
# Audible repeats of the short text wait for each utterance to end, so they
# cost its length: espeak-ng's "ja" (the Japanese baseline) names every
# kanji, 6.5 s for the short text. Progress goes to stderr as the run goes;
# every program runs under a deadline, and one that misses it is reported
# and skipped.
#
# Needs sox, and for wer_pct pocketsphinx, pocketsphinx-en-us and flite
# (Debian; not installed by scripts/install-deps). Starts its own PulseAudio server
# (tests/support/with-pulse) and stops everything it starts by process id.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
if [ -z "${VOICE_INSIDE:-}" ]; then
  VOICE_INSIDE=1 exec "$repo/tests/support/with-pulse" "$0" "$@"
fi

build=${PARLUNE_BUILD:-$repo/build}
probe=$build/bench/voice/voice_probe
voices_en=${VOICES_EN:-en auto flite:rms flite:slt flite:awb flite:kal16}
voices_ja=${VOICES_JA:-ja auto openjtalk:mei openjtalk:m001}
voices_de=${VOICES_DE:-de auto espeak:de}
audible_voices=${AUDIBLE_VOICES:-2}
wer_voices=${WER_VOICES:-2}
wav_repeats=${WAV_REPEATS:-4}
short_count=${SHORT_COUNT:-16}
long_count=${LONG_COUNT:-4}
rounds=${ROUNDS:-2}
langs=${LANGS:-en ja de}
audible_level=${AUDIBLE_LEVEL:-33}
hogs=${HOGS:-0}
wer_lead_ms=250
model=/usr/share/pocketsphinx/model/en-us

[ -x "$probe" ] || { echo "run.sh: $probe is missing (build the target voice_probe)" >&2; exit 1; }
command -v sox >/dev/null || { echo "run.sh: sox is missing (Debian: sox)" >&2; exit 1; }

only=${VOICE_ONLY:-}
want() { [ -z "$only" ] || [[ ",$only," == *",$1,"* ]]; }
if want wer && { ! command -v pocketsphinx_batch >/dev/null || [ ! -f "$model/en-us.lm.bin" ] ||
  ! command -v flite >/dev/null; }; then
  echo "run.sh: no word error rates: install pocketsphinx pocketsphinx-en-us flite (Debian)" >&2
  only=${only:-wav,audible}
  only=${only//wer/}
fi

. "$repo/bench/lib.sh"
bench_init voice-bench

text_of() { awk -v l="$1" -v k="$2" '$1 == l && $2 == k { sub(/^[^ ]+ [^ ]+ /, ""); print; exit }' "$here/texts.txt"; }
voices_of() { case $1 in en) echo "$voices_en" ;; ja) echo "$voices_ja" ;; de) echo "$voices_de" ;; esac; }
locale_of() { case $1 in en) echo en_US.UTF-8 ;; ja) echo ja_JP.UTF-8 ;; de) echo de_DE.UTF-8 ;; esac; }

# voice LANG VOICE: in $voice_env, the "env ..." prefix for a command with
# the voice chosen as a user would.
voice() {
  voice_env=(env -u PARLUNE_VOICE_JA -u PARLUNE_VOICE_EN -u LC_ALL -u LC_MESSAGES
    LANG="$(locale_of "$1")" PARLUNE_VOICE="$2")
}
# A directory name for a row ("en/flite:rms" -> "en-flite-rms").
slug() { tr '/:' '--' <<<"$1"; }
# within SECONDS WHAT CMD...: CMD, killed when it runs longer than SECONDS;
# says so naming WHAT. The status is CMD's (124 after the deadline).
within() {
  local seconds=$1 what=$2 rc
  shift 2
  timeout -k 5 "$seconds" "$@"
  rc=$?
  [ $rc -eq 124 ] || [ $rc -eq 137 ] && echo "run.sh: $what did not end within $seconds s; skipped" >&2
  return $rc
}

# wer_run VOICE: the Harvard round trip for one English voice; VOICE
# flite-own is flite's own program with the engine's English voice.
wer_run() {
  local row=en/$1 dir
  dir=$work/wer-$(slug "$row")
  mkdir -p "$dir/wav" "$dir/16k"
  progress "wer: $row"
  if [ "$1" = flite-own ]; then
    local n=0 line
    : >"$dir/probe.out"
    while IFS= read -r line; do
      n=$((n + 1))
      within 60 "flite" flite -voice rms -t "$line" -o "$dir/wav/own$n.wav" || return 1
      echo "utt text=$n by=flite file=own$n.wav" >>"$dir/probe.out"
    done <"$here/harvard.txt"
  else
    # Each sentence has a deadline of its own in the probe (120 s).
    voice en "$1"
    if ! within 600 "$row: the Harvard sentences" "${voice_env[@]}" "$probe" wav "$dir/wav" "$here/harvard.txt" \
      >"$dir/probe.out" 2>"$dir/probe.err"; then
      echo "run.sh: $row: the Harvard sentences were not all spoken: $(tail -n 1 "$dir/probe.err")" >&2
      return 1
    fi
  fi
  local n file
  : >"$dir/ctl"
  while read -r n file; do
    within 30 "relead" "$probe" relead "$dir/wav/$file" "$dir/wav/lead-$file" "$wer_lead_ms" || return 1
    within 30 "sox" sox -V1 "$dir/wav/lead-$file" -r 16000 -c 1 -b 16 "$dir/16k/u$n.wav" || return 1
    echo "u$n" >>"$dir/ctl"
  done < <(sed -n 's/^utt text=\([0-9]*\) .* file=\(.*\)$/\1 \2/p' "$dir/probe.out")
  if ! within 900 "$row: pocketsphinx_batch" pocketsphinx_batch -adcin yes -adchdr 44 -cepdir "$dir/16k" -cepext .wav -ctl "$dir/ctl" \
    -hmm "$model/en-us" -lm "$model/en-us.lm.bin" -dict "$model/cmudict-en-us.dict" \
    -hyp "$dir/hyp" >"$dir/decode.log" 2>&1; then
    echo "run.sh: $row: pocketsphinx_batch failed (see $dir/decode.log)" >&2
    return 1
  fi
  local line
  line=$(awk -f "$here/wer.awk" "$here/harvard.txt" "$dir/hyp")
  record "$row" wer_pct "$(field "$line" wer_pct)"
  progress "wer: $row: $line"
}

# wav_run LANG VOICE KIND REPEATS: one text into WAV files, timed.
wav_run() {
  local lang=$1 name=$2 kind=$3 repeats=$4 row=$1/$2 dir
  dir=$work/wav-$(slug "$row")-$kind
  mkdir -p "$dir/wav"
  text_of "$lang" "$kind" >"$dir/text"
  progress "wav: $row $kind x$repeats"
  voice "$lang" "$name"
  if ! within $((60 + 125 * repeats)) "$row: the $kind text into WAV files" \
    "${voice_env[@]}" "$probe" wav "$dir/wav" "$dir/text" "$repeats" >"$dir/probe.out" 2>"$dir/probe.err"; then
    echo "run.sh: $row: the $kind text was not spoken: $(tail -n 1 "$dir/probe.err")" >&2
    rm -rf "$dir/wav"
    return 1
  fi
  local figure=first5_ms line
  [ "$kind" = long ] && figure=first60_ms
  while read -r line; do
    record "$row" "$figure" "$(field "$line" first_ms)"
    record "$row" lead_ms "$(field "$line" lead_ms)"
    [ "$kind" = long ] && record "$row" rtf \
      "$(awk -v d="$(field "$line" done_ms)" -v a="$(field "$line" audio_ms)" 'BEGIN { if (a > 0) printf "%.4f", d / a }')"
  done < <(grep '^utt ' "$dir/probe.out")
  if [ "$kind" = long ] && line=$(grep '^helper ' "$dir/probe.out" | head -n 1) && [ -n "$line" ]; then
    record "$row" rss_mb "$(awk -v k="$(field "$line" rss_kb)" 'BEGIN { printf "%.2f", k / 1024 }')"
    record "$row" hwm_mb "$(awk -v k="$(field "$line" hwm_kb)" 'BEGIN { printf "%.2f", k / 1024 }')"
  fi
  rm -rf "$dir/wav"  # only the figures are kept
}

# audible_run LANG VOICE KIND COUNT: Play -> heard, through PulseAudio. The
# probe gives every Play 10 s to be heard and 180 s to end; the deadline
# here catches a probe that hangs outside those waits. The long text gets a
# probe (an engine) per sample: the probe cuts its last utterance short, so
# no sample waits through the 20 to 56 s of the one before.
audible_run() {
  local lang=$1 name=$2 kind=$3 count=$4 row=$1/$2 out calls=1 each=$4
  [ "$kind" = long ] && calls=$count each=1
  out=$work/audible-$(slug "$row")-$kind
  : >"$out.out"
  : >"$out.err"
  progress "audible: $row $kind x$count"
  voice "$lang" "$name"
  for _ in $(seq "$calls"); do
    if ! within $((60 + 200 * each)) "$row: the audible $kind text" "${voice_env[@]}" PARLUNE_AUDIO=pulse \
      "$probe" audible cap.monitor "$each" "$(text_of "$lang" "$kind")" "$audible_level" >>"$out.out" 2>>"$out.err"; then
      echo "run.sh: $row: the $kind text was not all heard: $(tail -n 1 "$out.err")" >&2
    fi
  done
  local figure=audible5_ms
  [ "$kind" = long ] && figure=audible60_ms
  # Samples are printed as they are measured: a run cut short keeps them.
  local value
  while read -r _ value _; do record "$row" "$figure" "$value"; done < <(grep '^audible_ms ' "$out.out")
  progress "audible: $row $kind: $(awk '/^audible_ms / { v[++n] = $2 } /^audible count=/ { for (i = 2; i <= NF; i++) if ($i ~ /^(missed|cut)=/) { split($i, kv, "="); bad[kv[1]] += kv[2] } }
    END { for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      printf "%d heard, p50 %s ms, max %s ms, missed %d, cut %d", n, n ? v[int((n + 1) / 2)] : "-", n ? v[n] : "-", bad["missed"], bad["cut"] }' "$out.out")"
}

# audio_run LANG VOICE COUNT: the long text's chunks, as the audio port takes them.
audio_run() {
  local lang=$1 name=$2 count=$3 row=$1/$2 out line
  out=$work/audio-$(slug "$row")
  progress "audio: $row long x$count"
  voice "$lang" "$name"
  if ! within $((60 + 200 * count)) "$row: the long text as data" "${voice_env[@]}" PARLUNE_AUDIO=pulse \
    "$probe" audio "$count" "$(text_of "$lang" long)" "${AUDIO_RATE:-16000}" >"$out.out" 2>"$out.err"; then
    echo "run.sh: $row: the long text as data: $(tail -n 1 "$out.err")" >&2
  fi
  while read -r line; do
    record "$row" audio_late_p50_ms "$(field "$line" late_p50_ms)"
    record "$row" audio_late_p99_ms "$(field "$line" late_p99_ms)"
    record "$row" audio_timer_p99_ms "$(field "$line" timer_p99_ms)"
  done < <(grep '^audio ' "$out.out")
  progress "audio: $row: $(grep '^audio ' "$out.out" | tr '\n' ';')"
}

per_round() { echo $(((($1) + rounds - 1) / rounds)); }

# Other work on the machine, at the same nice value as the voice.
hog_pids=()
for _ in $(seq "$hogs"); do
  bench_start "$work/hog" sh -c 'exec yes >/dev/null'
  hog_pids+=("$started")
done

status=0
if want wer; then
  for name in $(tr ' ' '\n' <<<"$voices_en" | head -n "$wer_voices") flite-own; do wer_run "$name" || status=1; done
fi
for round in $(seq "$rounds"); do
  progress "round $round of $rounds"
  for lang in $langs; do
    i=0
    for name in $(voices_of "$lang"); do
      i=$((i + 1))
      if want wav; then
        wav_run "$lang" "$name" short "$(per_round "$wav_repeats")" || status=1
        wav_run "$lang" "$name" long "$(per_round "$wav_repeats")" || status=1
      fi
      if want audible && [ "$i" -le "$audible_voices" ]; then
        audible_run "$lang" "$name" short "$(per_round "$short_count")"
        audible_run "$lang" "$name" long "$(per_round "$long_count")"
      fi
      if want audio && [ "$i" -le "$audible_voices" ]; then
        audio_run "$lang" "$name" "$(per_round "${AUDIO_COUNT:-2}")"
      fi
    done
  done
done

[ ${#hog_pids[@]} -gt 0 ] && bench_stop "${hog_pids[@]}"

bases=""
for lang in $langs; do
  set -- $(voices_of "$lang")
  bases="$bases $lang/$1"
done
echo "voice benchmarks: $(nproc) cores, $hogs CPU hogs, audible above $audible_level, load average $(bench_load) at the end"
awk -v figures="wer_pct first5_ms first60_ms audible5_ms audible60_ms lead_ms rtf rss_mb hwm_mb audio_late_p50_ms audio_late_p99_ms audio_timer_p99_ms" \
  -v spread="first5_ms first60_ms audible5_ms audible60_ms" -v bases="$bases" \
  -f "$here/voice-table.awk" "$results"
exit $status
