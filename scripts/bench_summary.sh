#!/usr/bin/env bash
# The closing table of scripts/bench.sh: reads the rows the benchmarks
# appended to a summary file and prints ours, the reference, the ratio, the
# target, whether the two halves produced the same result and the verdict of
# each figure, then the figures not run to the end.
#   scripts/bench_summary.sh FILE
#
# A row is tab-separated: program, figure, ours, reference, unit, target, an
# error text and what each half produced, ours and the reference's
# (bench/common/bench_summary.h writes them). The reference is "-" for a
# figure held to a bound of its own; the target is then that bound in the
# figure's unit, else the highest ratio ours / reference that meets it, or
# "-" for a figure recorded against its reference without a target. The
# result is FAILED, never met, when the row carries an error, when our time
# or the reference's is missing or not above 0, when a figure with a
# reference has no target, and when the two results are missing, empty or
# not the same ("-" for both says the halves produce nothing comparable: the
# table shows "n/a"). Only a figure without a reference and without a bound,
# or with a reference and "-" for its target, is "recorded". Exits 1 when a
# figure FAILED or there is no figure at all, else 0 (a missed target is a
# result, not a failure).
set -uo pipefail
file=${1:?usage: scripts/bench_summary.sh FILE}
[ -r "$file" ] || { echo "bench_summary: cannot read $file" >&2; exit 1; }
awk -F'\t' '
# A time: a plain decimal number above 0 (no "nan", "inf", "", "-" or 0).
function positive(x) { return x ~ /^[0-9]*\.?[0-9]+([eE][-+]?[0-9]+)?$/ && x + 0 > 0 }
function line(program, figure, ours, ref, ratio, target, check, result) {
  printf "%-16s %-72s %12s %12s %6s %8s %6s  %s\n", program, figure, ours, ref, ratio, target, check, result
}
function fail(why,   tg) {
  failed++
  reasons[failed] = $1 ": " $2 ": " why
  tg = !positive($6) ? "" : $4 == "-" ? sprintf("%5.4g %-2s", $6, $5) : sprintf("%.2fx", $6)
  line($1, $2, positive($3) ? sprintf("%9.4g %-2s", $3, $5) : "", positive($4) ? sprintf("%9.4g %-2s", $4, $5) : $4, "", tg, check, "FAILED (" why ")")
}
# The comparison of the results of the two halves: sets check ("same", "n/a" or
# "differ") and returns why they fail, "" when they do not. A row without
# them fails when it has a reference (nothing says the halves did the same
# work) and shows "-" when it has none.
function compare(   o, r) {
  if (NF < 9) { check = "-"; return ref == "-" ? "" : "no results compared" }
  o = $8; r = $9
  if (o == "-" && r == "-") { check = "n/a"; return "" }
  check = "differ"
  if (o == "") return "no result of ours"
  if (r == "") return "no result of the reference"
  if (o != r) return "results differ: ours " o ", the reference " r
  check = "same"
  return ""
}
BEGIN { line("program", "figure", "ours", "reference", "ratio", "target", "check", "result") }
NF == 0 { next }
{
  rows++
  program = $1; figure = $2; ours = $3; ref = $4; unit = $5; target = $6; error = (NF >= 7 ? $7 : "")
  check = ""
  if (NF < 6 || NF == 8 || NF > 9) { fail("malformed summary row"); next }
  if (error != "") { fail(error); next }
  if (!positive(ours)) { fail(ours == "" ? "no time of ours" : "our time is " ours); next }
  if (ref == "-") {
    if ((why = compare()) != "") { fail(why); next }
    if (!positive(target)) {
      line(program, figure, sprintf("%9.4g %-2s", ours, unit), "-", "-", "-", check, "recorded")
      recorded++
      next
    }
    result = ours + 0 <= target + 0 ? "met" : "missed"
    line(program, figure, sprintf("%9.4g %-2s", ours, unit), "-", "-", sprintf("%5.4g %-2s", target, unit), check, result)
  } else {
    if (!positive(ref)) { fail(ref == "" ? "no reference time" : "reference time " ref ", not above 0"); next }
    if (target != "-" && !positive(target)) { fail("a figure with a reference and no target"); next }
    if ((why = compare()) != "") { fail(why); next }
    ratio = ours / ref
    if (target == "-") {
      line(program, figure, sprintf("%9.4g %-2s", ours, unit), sprintf("%9.4g %-2s", ref, unit), sprintf("%6.2f", ratio), "-", check, "recorded")
      recorded++
      next
    }
    result = ratio <= target + 0 ? "met" : "missed"
    line(program, figure, sprintf("%9.4g %-2s", ours, unit), sprintf("%9.4g %-2s", ref, unit), sprintf("%6.2f", ratio), sprintf("%.2fx", target), check, result)
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
