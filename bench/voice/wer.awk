# Word error rate of a recogniser's transcripts against the reference texts,
# case and punctuation ignored (apostrophes kept: "it's").
#   awk -f wer.awk REFERENCE HYPOTHESES
# REFERENCE: one sentence a line; HYPOTHESES: pocketsphinx_batch's -hyp file,
# "words (uN score)" with N the reference's line number. A sentence without
# a transcript counts as all words deleted. Prints "errors=E words=W wer_pct=P".
function normalise(s) {
  s = tolower(s)
  gsub(/[^a-z' ]/, " ", s)
  return s
}
# Levenshtein distance between the word lists of a and b.
function distance(a, b,    x, y, n, m, i, j, prev, cur, cost, best) {
  n = split(a, x, " ")
  m = split(b, y, " ")
  for (j = 0; j <= m; j++) prev[j] = j
  for (i = 1; i <= n; i++) {
    cur[0] = i
    for (j = 1; j <= m; j++) {
      cost = (x[i] == y[j]) ? 0 : 1
      best = prev[j - 1] + cost
      if (prev[j] + 1 < best) best = prev[j] + 1
      if (cur[j - 1] + 1 < best) best = cur[j - 1] + 1
      cur[j] = best
    }
    for (j = 0; j <= m; j++) prev[j] = cur[j]
  }
  return prev[m]
}
FNR == NR { ref[FNR] = normalise($0); count = FNR; next }
{
  # The utterance id is the first word of the last parenthesised group.
  open = 0
  for (i = length($0); i > 0; i--) if (substr($0, i, 1) == "(") { open = i; break }
  if (!open) next
  split(substr($0, open + 1), id, /[ )]/)
  n = substr(id[1], 2) + 0
  hyp[n] = normalise(substr($0, 1, open - 1))
}
END {
  for (i = 1; i <= count; i++) {
    words += split(ref[i], tmp, " ")
    errors += distance(ref[i], (i in hyp) ? hyp[i] : "")
  }
  printf "errors=%d words=%d wer_pct=%.1f\n", errors, words, words ? 100 * errors / words : 0
}
