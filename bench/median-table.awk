# Prints a table of medians from lines "COLUMN FIGURE VALUE": one row per
# figure (in first-seen order), one column per entry of -v columns="a b".
# Ratios: with -v base=NAME, every other column against that one ("a/NAME");
# without it, the first column against the "openrtm" one when that exists.
# Rows with no value in any of the columns are left out.
# -v width=N sets the figure column's width, -v colw=N the others'.
{ key = $1 SUBSEP $2; vals[key] = vals[key] " " $3; if (!($2 in seen)) { seen[$2] = 1; order[++n] = $2 } }
function median(list,    a, k, i, j, t) {
  k = split(list, a, " ")
  if (k == 0) return ""
  for (i = 2; i <= k; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
  return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
}
function ratio_of(a, b) { return (a != "" && b != "" && b + 0 != 0) ? sprintf("%.3g", a / b) : "-" }
END {
  if (width == "") width = 40
  if (colw == "") colw = 12
  nc = split(columns, col, " ")
  b = 0
  for (c = 1; c <= nc; c++) if (col[c] == (base != "" ? base : "openrtm")) b = c
  printf "%-*s", width, "figure (median)"
  for (c = 1; c <= nc; c++) printf " %*s", colw, col[c]
  if (b && base != "") {
    for (c = 1; c <= nc; c++) if (c != b) printf " %*s", colw, col[c] "/" col[b]
  } else if (b > 1) printf " %*s", colw, "ours/openrtm"
  printf "\n"
  for (i = 1; i <= n; i++) {
    f = order[i]
    any = 0
    for (c = 1; c <= nc; c++) { med[c] = median(vals[col[c], f]); if (med[c] != "") any = 1 }
    if (!any) continue
    printf "%-*s", width, f
    for (c = 1; c <= nc; c++) printf " %*s", colw, (med[c] == "" ? "-" : sprintf("%.4g", med[c]))
    if (b && base != "") {
      for (c = 1; c <= nc; c++) if (c != b) printf " %*s", colw, ratio_of(med[c], med[b])
    } else if (b > 1) printf " %*s", colw, ratio_of(med[1], med[b])
    printf "\n"
  }
}
