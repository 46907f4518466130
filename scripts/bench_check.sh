#!/usr/bin/env bash
# Checks the benchmark summary's verdicts without timing anything: hand-made
# summary rows through scripts/bench_summary.sh, the script benchmarks
# (bench/scheme/run_bench.sh) driven with stand-in interpreters that fail,
# end at once or print another result, and scripts/bench.sh's running of a
# program with stand-in programs that fail in each way. Every run that
# failed or disagrees must come out FAILED and make the summary exit
# non-zero, once for each failure; honest rows must come out met, missed or
# recorded. Run by scripts/test.sh.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
problems=0
problem() {
  echo "bench_check: $*" >&2
  problems=$((problems + 1))
}

# summary NAME EXPECTED_STATUS ROWS...: the summary of the rows (one argument
# a row, fields separated by "|") must exit with the status given; its output
# is left in $tmp/NAME.out.
summary() {
  local name=$1 want=$2 rc=0
  shift 2
  : >"$tmp/$name.rows"
  for r in "$@"; do printf '%s\n' "$r" | tr '|' '\t' >>"$tmp/$name.rows"; done
  scripts/bench_summary.sh "$tmp/$name.rows" >"$tmp/$name.out" 2>&1 || rc=$?
  [ "$rc" -eq "$want" ] || problem "$name: the summary exited $rc, not $want"
}
# result NAME FIGURE RESULT: the table's line of the figure ends in RESULT.
result() {
  local line
  line=$(grep -F -- " $2 " "$tmp/$1.out" | head -n 1)
  case "$line" in
  *"  $3") ;;
  *) problem "$1: \"$2\" is not \"$3\": ${line:-no such line}" ;;
  esac
}
# listed NAME TEXT: TEXT is under "not run to the end".
listed() {
  sed -n '/^not run to the end:/,$p' "$tmp/$1.out" | grep -qF -- "$2" ||
    problem "$1: \"$2\" is not listed under \"not run to the end\""
}

# check NAME FIGURE CHECK: the figure's line shows CHECK in the column of
# the two results' comparison.
check() {
  grep -F -- " $2 " "$tmp/$1.out" | head -n 1 | grep -qE -- " $3 +(met|missed|recorded|FAILED)" ||
    problem "$1: \"$2\" does not show \"$3\" for its results"
}

# Honest rows: met, missed, recorded, bounds, results the same or nothing
# comparable; the summary succeeds.
summary honest 0 \
  "p|ratio met|1.0|2.0|s|1||7 rows|7 rows" \
  "p|ratio missed|3.0|2.0|s|1||7 rows|7 rows" \
  "p|ratio at the target|2|2|ms|1||x|x" \
  "p|nothing comparable|1.0|2.0|s|1||-|-" \
  "p|bound met|250|-|ms|300|" \
  "p|bound missed|350|-|ms|300|" \
  "p|bound with its result|250|-|ms|300||40 rows|40 rows" \
  "p|recorded only|5|-|s|0|" \
  "p|recorded against a reference|1.0|2.0|s|-||r|r"
result honest "ratio met" "met"
check honest "ratio met" "same"
result honest "ratio missed" "missed"
result honest "ratio at the target" "met"
result honest "nothing comparable" "met"
check honest "nothing comparable" "n/a"
result honest "bound met" "met"
check honest "bound met" "-"
result honest "bound missed" "missed"
result honest "bound with its result" "met"
check honest "bound with its result" "same"
result honest "recorded only" "recorded"
result honest "recorded against a reference" "recorded"
check honest "recorded against a reference" "same"
grep -q '^5 met, 2 missed, 0 failed, 2 recorded$' "$tmp/honest.out" || problem "honest: wrong counts"

# Each kind of dishonest row is FAILED, listed, and fails the summary.
for row in \
  "error|script vecround, against guile||1.25|s|1|tavrelix: exit status 1: unbound variable: foo|FAILED (tavrelix: exit status 1" \
  "zero reference|a reference that ended at once|0.02|0.00|s|1.5||FAILED (reference time 0.00, not above 0)" \
  "negative reference|a negative reference|0.02|-1|s|1.5||FAILED (reference time -1, not above 0)" \
  "no reference|a reference that gave no time|0.02||s|1.5||FAILED (no reference time)" \
  "nan reference|a reference of nan|0.02|nan|s|1.5||FAILED (reference time nan, not above 0)" \
  "skipped|model filter ascii_1pct, against grep||||0|ours: count differs from SQLite|FAILED (ours: count differs from SQLite)" \
  "counts|regex test of 1,000,000 cells, order, against grep||||0|counts differ|FAILED (counts differ)" \
  "no time|a figure of ours without a time||2.0|s|1||FAILED (no time of ours)" \
  "zero time|a figure of ours of 0|0|2.0|s|1||FAILED (our time is 0)" \
  "zero bound|a bounded figure of 0|0|-|ms|300||FAILED (our time is 0)" \
  "no target|a reference but no target|1|2|s|0||FAILED (a figure with a reference and no target)" \
  "program|the program|||||exit status 3|FAILED (exit status 3)" \
  "differ|an export of other bytes|1.0|2.0|s|1||12 bytes, fnv 1|13 bytes, fnv 2|FAILED (results differ: ours 12 bytes, fnv 1, the reference 13 bytes, fnv 2)" \
  "differ fast|fewer rows, faster|0.1|2.0|s|1||199999 rows|200000 rows|FAILED (results differ: ours 199999 rows, the reference 200000 rows)" \
  "bound differs|a bound whose rows differ|250|-|ms|300||39 rows|40 rows|FAILED (results differ: ours 39 rows, the reference 40 rows)" \
  "unchecked|a reference with no results|1.0|2.0|s|1||FAILED (no results compared)" \
  "no result|a reference without its result|1.0|2.0|s|1||7 rows||FAILED (no result of the reference)" \
  "no result of ours|ours without its result|1.0|2.0|s|1|||7 rows|FAILED (no result of ours)" \
  "half comparable|one half not comparable|1.0|2.0|s|1||-|7 rows|FAILED (results differ: ours -, the reference 7 rows)" \
  "recorded differ|recorded, other output|1.0|2.0|s|-||7 rows|8 rows|FAILED (results differ: ours 7 rows, the reference 8 rows)" \
  "recorded no time|recorded, no reference time|1.0||s|-||7 rows|7 rows|FAILED (no reference time)"; do
  # The last field is the verdict; results, when given, come before it.
  IFS='|' read -r -a f <<<"$row"
  name=${f[0]} figure=${f[1]} want=${f[${#f[@]} - 1]}
  made=$(IFS='|'; echo "p|${f[*]:1:${#f[@]}-2}")
  summary "$name" 1 "p|ratio met|1.0|2.0|s|1||r|r" "$made"
  result "$name" "ratio met" "met"
  grep -F -- " $figure " "$tmp/$name.out" | grep -qF -- "$want" || problem "$name: \"$figure\" is not \"$want\""
  listed "$name" "p: $figure"
  grep -q ', 1 failed, ' "$tmp/$name.out" || problem "$name: not counted as failed"
done

# A row cut short, one with half its results, and no figure at all, are
# failures too.
summary short 1 "p|ratio met|1.0|2.0|s|1||r|r" "p|a short row|1|2"
result short "a short row" "FAILED (malformed summary row)"
listed short "p: a short row"
summary half 1 "p|ratio met|1.0|2.0|s|1||r|r" "p|half the results|1|2|s|1||r"
result half "half the results" "FAILED (malformed summary row)"
summary empty 1
listed empty "no figure was reported"

# The script benchmarks with stand-in interpreters: our runner and guile
# print what OURS and GUILE say ("fail": an error and exit status 1,
# "quit": nothing, at once).
mkdir -p "$tmp/build/bench" "$tmp/bin"
fake() {
  cat >"$1" <<EOS
#!/bin/sh
case "\$$2" in
fail) echo "unbound variable: foo" >&2; echo "more" >&2; exit 1 ;;
quit) exit 0 ;;
*) echo "\$$2" ;;
esac
EOS
  chmod +x "$1"
}
fake "$tmp/build/bench/scheme_run" OURS
fake "$tmp/bin/guile-run" GUILE
# guile itself: every run leaves a compiled file in its cache; an
# interpreted run (--no-auto-compile) that finds one there, or a compiled run
# that finds none, says so instead of the workload's output.
cat >"$tmp/bin/guile" <<'EOS'
#!/bin/sh
cache=${XDG_CACHE_HOME:-$HOME/.cache}
found=$(ls -A "$cache" 2>/dev/null)
mkdir -p "$cache" && touch "$cache/workload.go"
case "$1" in
--no-auto-compile) [ -z "$found" ] || { echo "loaded from a cache"; exit 0; } ;;
*) [ -n "$found" ] || { echo "not compiled"; exit 0; } ;;
esac
exec "$(dirname "$0")/guile-run" "$@"
EOS
chmod +x "$tmp/bin/guile"
fake "$tmp/bin/tinyscheme" GUILE
# scripts NAME OURS GUILE EXPECTED_STATUS [WORKLOAD]: runs the script
# benchmarks on one workload (hash100k by default); their summary rows are
# left in $tmp/NAME.rows, their error stream in $tmp/NAME.err.
scripts() {
  local name=$1 rc=0
  : >"$tmp/$name.rows"
  OURS=$2 GUILE=$3 TAVRELIX_BENCH_SUMMARY=$tmp/$name.rows PATH=$tmp/bin:$PATH \
    bench/scheme/run_bench.sh "$tmp/build" "${5:-hash100k}" >"$tmp/$name.table" 2>"$tmp/$name.err" || rc=$?
  [ "$rc" -eq "$4" ] || problem "$name: the script benchmarks exited $rc, not $4"
}
# scripts_failed NAME ERROR: the workload's row is FAILED with ERROR, the
# failure is named on the error stream, and the summary fails.
# scripts_failed NAME ERROR [NAMED]: the run is a FAILED row with ERROR,
# named in the command's error stream as NAMED (ERROR when not given).
scripts_failed() {
  grep -qF -- "FAILED: hash100k: ${3:-$2}" "$tmp/$1.err" || problem "$1: the failure \"${3:-$2}\" is not named"
  scripts/bench_summary.sh "$tmp/$1.rows" >"$tmp/$1.out" 2>&1 && problem "$1: the summary succeeded"
  result "$1" "script hash100k, against guile" "FAILED ($2)"
  listed "$1" "scheme_run: script hash100k, against guile: $2"
}
scripts runner_fails fail 100000 1
scripts_failed runner_fails "tavrelix: exit status 1: unbound variable: foo"
scripts reference_quits 100000 quit 1
scripts_failed reference_quits "output differs from guile's: \"100000 \" against \"\""
scripts reference_fails 100000 fail 1
scripts_failed reference_fails "the reference failed: guile: exit status 1: unbound variable: foo" \
  "guile: exit status 1: unbound variable: foo"
scripts output_differs 99999 100000 1
scripts_failed output_differs "output differs from guile's: \"99999 \" against \"100000 \""
# Agreeing runs give times and no error (not summed up: they take no time).
scripts agree 100000 100000 0
awk -F'\t' '$2 == "script hash100k, against guile" && $3 != "" && $4 != "" && $6 == 1.5 && $7 == "" { ok = 1 }
  END { exit !ok }' "$tmp/agree.rows" || problem "agree: no honest row: $(cat "$tmp/agree.rows")"
awk -F'\t' '$2 == "script hash100k, against compiled guile" && $3 != "" && $4 != "" && $6 == "-" &&
  $7 == "" && $8 == $9 { ok = 1 } END { exit !ok }' "$tmp/agree.rows" ||
  problem "agree: no recorded row of compiled guile: $(cat "$tmp/agree.rows")"
# (The stand-in guile gives the workload's output only when each interpreted
# run found an empty cache and each compiled one a filled cache.)
# A workload guile does not run: recorded without a reference.
scripts alone 1 - 0 rxreplace
awk -F'\t' '$2 == "script rxreplace, no reference" && $3 != "" && $4 == "-" && $7 == "" { ok = 1 }
  END { exit !ok }' "$tmp/alone.rows" || problem "alone: no recorded row: $(cat "$tmp/alone.rows")"

# scripts/bench.sh's running of one program, with stand-in programs: a
# failure is one row, whether the program names the figure that failed or
# only its exit status says so.
# shellcheck source=scripts/bench.sh
source scripts/bench.sh
# program NAME EXIT [ROW]: a stand-in that appends ROW ("|" between the
# fields) to its summary file and exits with EXIT; "sleep" sleeps instead.
program() {
  local row=${3:-}
  cat >"$tmp/bin/$1" <<EOS
#!/bin/sh
[ -n "$row" ] && printf '%s\n' "$row" | tr '|' '\t' >>"\$TAVRELIX_BENCH_SUMMARY"
[ "$2" = sleep ] && exec sleep 30
exit $2
EOS
  chmod +x "$tmp/bin/$1"
}
# ran NAME BOUND ROWS STATUS...: runs the stand-in, which must give ROWS
# rows in all and a summary exiting with STATUS; the rows and the summary
# are left in $tmp/run-NAME.rows and .out.
ran() {
  local rows
  : >"$tmp/run-$1.rows"
  run_program "$tmp/run-$1.rows" "$1" "$2" "$tmp/bin/$1" >/dev/null 2>&1
  rows=$(grep -c . "$tmp/run-$1.rows")
  [ "$rows" -eq "$3" ] || problem "run $1: $rows rows, not $3: $(tr '\t' '|' <"$tmp/run-$1.rows")"
  local rc=0
  scripts/bench_summary.sh "$tmp/run-$1.rows" >"$tmp/run-$1.out" 2>&1 || rc=$?
  [ "$rc" -eq "$4" ] || problem "run $1: the summary exited $rc, not $4"
}
program figure_failed 1 "figure_failed|a count|||||count differs from SQLite"
ran figure_failed 60 1 1
grep -q ', 1 failed, ' "$tmp/run-figure_failed.out" || problem "run figure_failed: not one failure"
program results_differ 1 "results_differ|an export|1|2|s|1||3 bytes|4 bytes"
ran results_differ 60 1 1
grep -q ', 1 failed, ' "$tmp/run-results_differ.out" || problem "run results_differ: not one failure"
program silent 3
ran silent 60 1 1
grep -qF "FAILED (exit status 3)" "$tmp/run-silent.out" || problem "run silent: no row of its exit status"
# A program whose own figures hold but which fails all the same: its figure
# and a row of its exit status.
program honest_then_fails 2 "honest_then_fails|a count|1|2|s|1||7 rows|7 rows"
ran honest_then_fails 60 2 1
grep -qF "FAILED (exit status 2)" "$tmp/run-honest_then_fails.out" ||
  problem "run honest_then_fails: no row of its exit status"
program overrun sleep
ran overrun 1 1 1
grep -qF "FAILED (stopped after 1 s)" "$tmp/run-overrun.out" || problem "run overrun: not stopped"
program fine 0 "fine|a count|1|2|s|1||7 rows|7 rows"
ran fine 60 1 0

if [ "$problems" -gt 0 ]; then
  echo "bench_check: $problems problems" >&2
  exit 1
fi
echo "bench_check: the summary's verdicts hold"
