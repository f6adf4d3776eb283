# Prints a table of medians from lines "COLUMN FIGURE VALUE": one row per
# figure (in first-seen order), one column per entry of -v columns="a b",
# and the ratio of the first column to the "openrtm" one when that exists.
# -v width=N sets the figure column's width, -v colw=N the others'.
{ key = $1 SUBSEP $2; vals[key] = vals[key] " " $3; if (!($2 in seen)) { seen[$2] = 1; order[++n] = $2 } }
function median(list,    a, k, i, j, t) {
  k = split(list, a, " ")
  if (k == 0) return ""
  for (i = 2; i <= k; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
  return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
}
END {
  if (width == "") width = 40
  if (colw == "") colw = 12
  nc = split(columns, col, " ")
  ratio = 0
  for (c = 2; c <= nc; c++) if (col[c] == "openrtm") ratio = c
  printf "%-*s", width, "figure (median)"
  for (c = 1; c <= nc; c++) printf " %*s", colw, col[c]
  if (ratio) printf " %*s", colw, "ours/openrtm"
  printf "\n"
  for (i = 1; i <= n; i++) {
    f = order[i]
    printf "%-*s", width, f
    for (c = 1; c <= nc; c++) {
      m = median(vals[col[c], f]); med[c] = m
      printf " %*s", colw, (m == "" ? "-" : sprintf("%.4g", m))
    }
    if (ratio) printf " %*s", colw, (med[1] != "" && med[ratio] != "" && med[ratio] + 0 != 0 ? sprintf("%.3g", med[1] / med[ratio]) : "-")
    printf "\n"
  }
}
