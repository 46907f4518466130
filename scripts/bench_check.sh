#!/usr/bin/env bash
# Checks the benchmark summary's verdicts without timing anything: hand-made
# summary rows through scripts/bench_summary.sh, and the script benchmarks
# (bench/scheme/run_bench.sh) driven with stand-in interpreters that fail,
# end at once or print another result. Every run that failed or disagrees
# must come out FAILED and make the summary exit non-zero; honest rows must
# come out met, missed or recorded. Run by scripts/test.sh.
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

# Honest rows: met, missed, recorded, bounds; the summary succeeds.
summary honest 0 \
  "p|ratio met|1.0|2.0|s|1|" \
  "p|ratio missed|3.0|2.0|s|1|" \
  "p|ratio at the target|2|2|ms|1|" \
  "p|bound met|250|-|ms|300|" \
  "p|bound missed|350|-|ms|300|" \
  "p|recorded only|5|-|s|0|"
result honest "ratio met" "met"
result honest "ratio missed" "missed"
result honest "ratio at the target" "met"
result honest "bound met" "met"
result honest "bound missed" "missed"
result honest "recorded only" "recorded"
grep -q '^3 met, 2 missed, 0 failed, 1 recorded$' "$tmp/honest.out" || problem "honest: wrong counts"

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
  "program|the program|||||exit status 3|FAILED (exit status 3)"; do
  IFS='|' read -r name figure ours ref unit target error want <<<"$row"
  summary "$name" 1 "p|ratio met|1.0|2.0|s|1|" "p|$figure|$ours|$ref|$unit|$target|$error"
  result "$name" "ratio met" "met"
  grep -F -- " $figure " "$tmp/$name.out" | grep -qF -- "$want" || problem "$name: \"$figure\" is not \"$want\""
  listed "$name" "p: $figure"
  grep -q ', 1 failed, ' "$tmp/$name.out" || problem "$name: not counted as failed"
done

# A row cut short, and no figure at all, are failures too.
summary short 1 "p|ratio met|1.0|2.0|s|1|" "p|a short row|1|2"
result short "a short row" "FAILED (malformed summary row)"
listed short "p: a short row"
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
fake "$tmp/bin/guile" GUILE
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
# A workload guile does not run: recorded without a reference.
scripts alone 1 - 0 rxreplace
awk -F'\t' '$2 == "script rxreplace, no reference" && $3 != "" && $4 == "-" && $7 == "" { ok = 1 }
  END { exit !ok }' "$tmp/alone.rows" || problem "alone: no recorded row: $(cat "$tmp/alone.rows")"

if [ "$problems" -gt 0 ]; then
  echo "bench_check: $problems problems" >&2
  exit 1
fi
echo "bench_check: the summary's verdicts hold"
