#!/usr/bin/env bash
# The closing table of scripts/bench.sh: reads the rows the benchmarks
# appended to a summary file and prints ours, the reference, the ratio, the
# target and the result of each figure, then the figures not run to the end.
#   scripts/bench_summary.sh FILE
#
# A row is tab-separated: program, figure, ours, reference, unit, target and
# an error text (bench/common/bench_summary.h writes them). The reference is
# "-" for a figure held to a bound of its own; the target is then that bound
# in the figure's unit, else the highest ratio ours / reference that meets
# it. The result is FAILED, never met, when the row carries an error, when
# our time or the reference's is missing or not above 0, or when a figure
# with a reference has no target. Only a figure without a reference and
# without a bound is "recorded". Exits 1 when a figure FAILED or there is no
# figure at all, else 0 (a missed target is a result, not a failure).
set -uo pipefail
file=${1:?usage: scripts/bench_summary.sh FILE}
[ -r "$file" ] || { echo "bench_summary: cannot read $file" >&2; exit 1; }
awk -F'\t' '
# A time: a plain decimal number above 0 (no "nan", "inf", "", "-" or 0).
function positive(x) { return x ~ /^[0-9]*\.?[0-9]+([eE][-+]?[0-9]+)?$/ && x + 0 > 0 }
function line(program, figure, ours, ref, ratio, target, result) {
  printf "%-16s %-72s %12s %12s %6s %8s  %s\n", program, figure, ours, ref, ratio, target, result
}
function fail(why,   tg) {
  failed++
  reasons[failed] = $1 ": " $2 ": " why
  tg = !positive($6) ? "" : $4 == "-" ? sprintf("%5.4g %-2s", $6, $5) : sprintf("%.2fx", $6)
  line($1, $2, positive($3) ? sprintf("%9.4g %-2s", $3, $5) : "", positive($4) ? sprintf("%9.4g %-2s", $4, $5) : $4, "", tg, "FAILED (" why ")")
}
BEGIN { line("program", "figure", "ours", "reference", "ratio", "target", "result") }
NF == 0 { next }
{
  rows++
  program = $1; figure = $2; ours = $3; ref = $4; unit = $5; target = $6; error = (NF >= 7 ? $7 : "")
  if (NF < 6) { fail("malformed summary row"); next }
  if (error != "") { fail(error); next }
  if (!positive(ours)) { fail(ours == "" ? "no time of ours" : "our time is " ours); next }
  if (ref == "-") {
    if (!positive(target)) {
      line(program, figure, sprintf("%9.4g %-2s", ours, unit), "-", "-", "-", "recorded")
      recorded++
      next
    }
    result = ours + 0 <= target + 0 ? "met" : "missed"
    line(program, figure, sprintf("%9.4g %-2s", ours, unit), "-", "-", sprintf("%5.4g %-2s", target, unit), result)
  } else {
    if (!positive(ref)) { fail(ref == "" ? "no reference time" : "reference time " ref ", not above 0"); next }
    if (!positive(target)) { fail("a figure with a reference and no target"); next }
    ratio = ours / ref
    result = ratio <= target + 0 ? "met" : "missed"
    line(program, figure, sprintf("%9.4g %-2s", ours, unit), sprintf("%9.4g %-2s", ref, unit), sprintf("%6.2f", ratio), sprintf("%.2fx", target), result)
  }
  if (result == "met") met++; else missed++
}
END {
  if (rows == 0) { failed++; reasons[failed] = "no figure was reported" }
  printf "\n%d met, %d missed, %d failed, %d recorded\n", met, missed, failed, recorded
  if (failed) {
    print "not run to the end:"
    for (i = 1; i <= failed; i++) print "  " reasons[i]
    exit 1
  }
}
' "$file"
