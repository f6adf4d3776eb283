# Tables of the voice benchmarks from lines "ROW FIGURE VALUE", ROW being
# LANGUAGE/VOICE: one row per voice (first-seen order), one column per
# figure; figures named in -v spread get p50 and p99 columns (nearest rank),
# the others the median. Then the same rows as ratios of their p50s and
# medians to the baseline row of their language (-v bases="en/en ja/ja").
#   awk -v figures="a b" -v spread="b" -v bases="en/en" -f voice-table.awk FILE
{ key = $1 SUBSEP $2; vals[key] = vals[key] " " $3; if (!($1 in seen)) { seen[$1] = 1; rows[++n] = $1 } }
function quantile(list, q,    a, k, i, j, t, r) {
  k = split(list, a, " ")
  if (k == 0) return ""
  for (i = 2; i <= k; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
  if (q == "median") return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
  r = int(q * k); if (r < q * k) r++; if (r < 1) r = 1
  return a[r]
}
function w(c) { return (length(head[c]) > 9) ? length(head[c]) : 9 }
function cell(v) { return v == "" ? "-" : sprintf("%.4g", v) }
END {
  nf = split(figures, fig, " ")
  split(spread, sp, " "); for (i in sp) isspread[sp[i]] = 1
  nb = split(bases, b, " "); for (i = 1; i <= nb; i++) { split(b[i], parts, "/"); base[parts[1]] = b[i] }
  # Column headings and values.
  nc = 0
  for (f = 1; f <= nf; f++) {
    if (fig[f] in isspread) { head[++nc] = fig[f] "_p50"; src[nc] = fig[f]; q[nc] = 0.5; head[++nc] = fig[f] "_p99"; src[nc] = fig[f]; q[nc] = 0.99 }
    else { head[++nc] = fig[f]; src[nc] = fig[f]; q[nc] = "median" }
  }
  for (r = 1; r <= n; r++) for (c = 1; c <= nc; c++) value[r, c] = quantile(vals[rows[r], src[c]], q[c])
  printf "%-28s", "voice"
  for (c = 1; c <= nc; c++) printf " %*s", w(c), head[c]
  printf "\n"
  for (r = 1; r <= n; r++) {
    printf "%-28s", rows[r]
    for (c = 1; c <= nc; c++) printf " %*s", w(c), cell(value[r, c])
    printf "\n"
  }
  printf "\nratios to the baseline voice of the same language\n%-28s", "voice"
  for (c = 1; c <= nc; c++) printf " %*s", w(c), head[c]
  printf "\n"
  for (r = 1; r <= n; r++) {
    split(rows[r], parts, "/")
    if (!(parts[1] in base) || base[parts[1]] == rows[r]) continue
    for (s = 1; s <= n; s++) if (rows[s] == base[parts[1]]) break
    if (s > n) continue
    printf "%-28s", rows[r] " : " parts[1] "/" substr(base[parts[1]], length(parts[1]) + 2)
    for (c = 1; c <= nc; c++) {
      a = value[r, c]; z = value[s, c]
      printf " %*s", w(c), (a != "" && z != "" && z + 0 != 0) ? sprintf("%.3g", a / z) : "-"
    }
    printf "\n"
  }
}
