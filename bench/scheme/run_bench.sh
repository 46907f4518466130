#!/usr/bin/env bash
# Script benchmarks: our interpreter (headless runner) against tinyscheme and
# guile 3.0. Each benchmark runs five times per interpreter; the report gives
# the median wall time, user time and peak memory (GNU time).
#   bench/scheme/run_bench.sh BUILD_DIR      (a Release build with bench/scheme_run)
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
printf '%-10s %-11s %9s %9s %9s  %s\n' benchmark interpreter wall_s user_s peak_kb output
for b in fib25 fib30 tak strbuild gclist; do
  for interp in tavrelix tinyscheme guile; do
    case $interp in
    tavrelix) cmd=("$runner" "$here/$b.scm") ;;
    tinyscheme) cmd=(tinyscheme "$here/$b.scm") ;;
    guile) cmd=(guile --no-auto-compile "$here/$b.scm") ;;
    esac
    : >"$tmp/w"; : >"$tmp/u"; : >"$tmp/m"
    for i in 1 2 3 4 5; do
      /usr/bin/time -f '%e %U %M' -o "$tmp/t" "${cmd[@]}" >"$tmp/out" 2>/dev/null </dev/null
      read -r w u m <"$tmp/t"
      echo "$w" >>"$tmp/w"; echo "$u" >>"$tmp/u"; echo "$m" >>"$tmp/m"
    done
    printf '%-10s %-11s %9s %9s %9s  %s\n' "$b" "$interp" "$(median <"$tmp/w")" "$(median <"$tmp/u")" \
      "$(median <"$tmp/m")" "$(tr '\n' ' ' <"$tmp/out" | cut -c1-30)"
  done
done
