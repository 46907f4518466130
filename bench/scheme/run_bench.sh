#!/usr/bin/env bash
# Script benchmarks: our interpreter (headless runner) against tinyscheme and
# guile 3.0. Each benchmark runs five times per interpreter; the report gives
# the median wall time, user time and peak memory (GNU time).
# A workload's first line names the interpreters that have its facilities.
# Each interpreter first loads its prelude: the library script for ours,
# shims for guile. A run that exits with a status other than 0, runs past
# two minutes or prints other than the first run did is FAILED, with the
# first line of its error stream, as is our
# output when it differs from guile's on the same workload: the summary of
# scripts/bench.sh gets a FAILED row, and the command ends with status 1
# after naming every failure. Ours is held to guile within 1.5x, on vectors
# no slower; a workload guile does not run has no reference and is recorded.
# Guile runs interpreted, as ours does, each run with a fresh empty cache of
# compiled files (with one, --no-auto-compile still loads what an earlier run
# compiled); the same workload on compiled guile (its files compiled into a
# cache of their own before the timed runs) is a second figure, recorded
# without a target.
#   bench/scheme/run_bench.sh BUILD_DIR [WORKLOAD...]   (a Release build with bench/scheme_run)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/rel}
runner=$build/bench/scheme_run
[ -x "$runner" ] || { echo "missing $runner (build the scheme_run target)"; exit 2; }
need=()
command -v tinyscheme >/dev/null || need+=(tinyscheme)
command -v guile >/dev/null || need+=(guile-3.0)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq && $sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
shift || true
workloads=("$@")
if [ ${#workloads[@]} -eq 0 ]; then
  workloads=(fib25 fib30 tak strbuild gclist strport strappend substring streq strref vecfill vecround hash1k
    hash100k rxmatch rxreplace rxreplace_proc)
fi
library=$here/../../scmlib/init.scm
# A summary row for scripts/bench.sh: figure, ours, reference, target, error
# and, for a figure against guile, what each printed (its size and digest).
row() {
  [ -n "${TAVRELIX_BENCH_SUMMARY:-}" ] || return 0
  if [ $# -ge 7 ]; then
    printf 'scheme_run\t%s\t%s\t%s\ts\t%s\t%s\t%s\t%s\n' "$@" >>"$TAVRELIX_BENCH_SUMMARY"
  else
    printf 'scheme_run\t%s\t%s\t%s\ts\t%s\t%s\n' "$@" >>"$TAVRELIX_BENCH_SUMMARY"
  fi
}
# What a run printed, as a summary row's result.
printed() { echo "$(wc -c <"$1") bytes, md5 $(md5sum <"$1" | cut -c1-32)"; }
# The first 30 characters of a file's text, its line ends as blanks.
shown() { tr '\n\t' '  ' <"$1" | cut -c1-30; }
failures=()
printf '%-14s %-14s %9s %9s %9s  %s\n' benchmark interpreter wall_s user_s peak_kb output
for b in "${workloads[@]}"; do
  interps=$(sed -n '1s/^;; interpreters: //p' "$here/$b.scm")
  [[ " $interps " == *" guile "* ]] && interps+=" guile-compiled"
  declare -A wall=() error=()
  for interp in $interps; do
    case $interp in
    tavrelix) cmd=("$runner" "$library" "$here/$b.scm") ;;
    tinyscheme) cmd=(tinyscheme "$here/$b.scm") ;;
    guile) cmd=(env XDG_CACHE_HOME="$tmp/cache" guile --no-auto-compile -l "$here/prelude/guile.scm" "$here/$b.scm") ;;
    guile-compiled)
      cmd=(env XDG_CACHE_HOME="$tmp/compiled" guile -l "$here/prelude/guile.scm" "$here/$b.scm")
      # Compiled into the cache, untimed; the timed runs load what it holds.
      rm -rf "$tmp/compiled"
      mkdir "$tmp/compiled"
      "${cmd[@]}" >/dev/null 2>&1 </dev/null
      ;;
    esac
    : >"$tmp/w"; : >"$tmp/u"; : >"$tmp/m"
    for i in 1 2 3 4 5; do
      # A run that fails or runs over two minutes is not run again; its
      # error is the first line of its error stream. Every run must print
      # what the first printed.
      rc=0
      rm -rf "$tmp/cache"
      mkdir "$tmp/cache"
      /usr/bin/time -f '%e %U %M' -o "$tmp/t" timeout 120 "${cmd[@]}" >"$tmp/run" 2>"$tmp/err" \
        </dev/null || rc=$?
      read -r w u m < <(tail -n 1 "$tmp/t")
      echo "$w" >>"$tmp/w"; echo "$u" >>"$tmp/u"; echo "$m" >>"$tmp/m"
      [ "$i" -eq 1 ] && cp "$tmp/run" "$tmp/out.$interp"
      if [ "$rc" -eq 124 ]; then
        error[$interp]="$interp ran past 120 s"
      elif [ "$rc" -ne 0 ]; then
        first=$(grep -m1 . "$tmp/err" | cut -c1-160)
        error[$interp]="$interp: exit status $rc${first:+: $first}"
      elif ! cmp -s "$tmp/run" "$tmp/out.$interp"; then
        error[$interp]="$interp: run $i printed \"$(shown "$tmp/run")\", run 1 \"$(shown "$tmp/out.$interp")\""
      fi
      [ -n "${error[$interp]:-}" ] && break
    done
    wall[$interp]=$(median <"$tmp/w")
    out=$(shown "$tmp/out.$interp")
    if [ -n "${error[$interp]:-}" ]; then
      out="FAILED: ${error[$interp]}"
      failures+=("$b: ${error[$interp]}")
    fi
    printf '%-14s %-14s %9s %9s %9s  %s\n' "$b" "$interp" "${wall[$interp]}" "$(median <"$tmp/u")" \
      "$(median <"$tmp/m")" "$out"
  done
  # The summary's figure: ours against guile, when guile runs the workload.
  target=1.5
  case $b in vec*) target=1 ;; esac
  if [[ " $interps " != *" guile "* ]]; then
    if [ -n "${error[tavrelix]:-}" ]; then
      row "script $b, no reference" "" "" 0 "${error[tavrelix]}"
    else
      row "script $b, no reference" "${wall[tavrelix]}" "-" 0 ""
    fi
    continue
  fi
  figure="script $b, against guile"
  if [ -n "${error[tavrelix]:-}" ]; then
    row "$figure" "" "${wall[guile]}" "$target" "${error[tavrelix]}"
  elif [ -n "${error[guile]:-}" ]; then
    row "$figure" "${wall[tavrelix]}" "" "$target" "the reference failed: ${error[guile]}"
  elif ! cmp -s "$tmp/out.tavrelix" "$tmp/out.guile"; then
    why="output differs from guile's: \"$(shown "$tmp/out.tavrelix")\" against \"$(shown "$tmp/out.guile")\""
    failures+=("$b: $why")
    row "$figure" "${wall[tavrelix]}" "${wall[guile]}" "$target" "$why"
  else
    row "$figure" "${wall[tavrelix]}" "${wall[guile]}" "$target" "" "$(printed "$tmp/out.tavrelix")" \
      "$(printed "$tmp/out.guile")"
  fi
  # Compiled guile: recorded ("-" for the target), its output compared too.
  figure="script $b, against compiled guile"
  if [ -n "${error[tavrelix]:-}" ]; then
    row "$figure" "" "${wall[guile-compiled]}" - "${error[tavrelix]}"
  elif [ -n "${error[guile-compiled]:-}" ]; then
    row "$figure" "${wall[tavrelix]}" "" - "the reference failed: ${error[guile-compiled]}"
  else
    cmp -s "$tmp/out.tavrelix" "$tmp/out.guile-compiled" ||
      failures+=("$b: output differs from compiled guile's")
    row "$figure" "${wall[tavrelix]}" "${wall[guile-compiled]}" - "" "$(printed "$tmp/out.tavrelix")" \
      "$(printed "$tmp/out.guile-compiled")"
  fi
done

if [ ${#failures[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failures[@]}" >&2
  exit 1
fi
