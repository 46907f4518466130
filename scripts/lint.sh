#!/usr/bin/env bash
# House rules a machine can check, then clang-format over our sources.
set -uo pipefail
cd "$(dirname "$0")/.."
fail=0
report() { echo "lint: $1"; shift; printf '  %s\n' "$@"; fail=1; }

mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.c' | grep -v '^build')

hits=$(grep -nE '\bwchar_t\b|(^|[^A-Za-z0-9_"'"'"'])L"|(^|[^A-Za-z0-9_"'"'"'])L'"'"'|\bsetlocale\b' "${sources[@]}" /dev/null | grep -v '^scripts/')
[ -n "$hits" ] && report "wchar_t, L\"\" literals and setlocale are not used (text is char16_t):" "$hits"

hits=$(grep -nE '#\s*include\s*[<"]Q[A-Za-z]*(/|>|")|#\s*include\s*[<"]qt' "${sources[@]}" /dev/null | grep -v '^platform/qt/')
[ -n "$hits" ] && report "Qt headers are included only in platform/qt:" "$hits"

# bench/ may use sqlite3 in process as a reference; the program itself never does.
hits=$(grep -nE '#\s*include\s*[<"]sqlite3\.h' "${sources[@]}" /dev/null | grep -vE '^(platform/oci|bench)/')
[ -n "$hits" ] && report "sqlite3.h is included only in platform/oci (and benchmarks):" "$hits"

# Layers: a folder never includes one above it.
layer() {
  case "$1" in
  base | regex) echo 1 ;;
  oracle) echo 2 ;;
  editor) echo 3 ;;
  grid) echo 4 ;;
  app | scheme) echo 5 ;;
  *) echo 0 ;;
  esac
}
for f in "${sources[@]}"; do
  top=${f%%/*}
  [ "$top" = app ] && continue
  me=$(layer "$top")
  [ "$me" = 0 ] && continue
  while IFS= read -r line; do
    inc=$(sed -E 's/.*#\s*include\s*"([a-z]+)\/.*/\1/' <<<"${line#*:}")
    them=$(layer "$inc")
    if [ "$them" != 0 ] && [ "$them" -gt "$me" ]; then
      report "$top must not include $inc:" "$f:$line"
    fi
  done < <(grep -nE '#\s*include\s*"(base|regex|oracle|editor|grid|app|scheme)/' "$f")
done
# platform/ is below every system folder.
hits=$(grep -nE '#\s*include\s*"(base|regex|oracle|editor|grid|app|scheme)/' $(printf '%s\n' "${sources[@]}" | grep '^platform/') /dev/null)
[ -n "$hits" ] && report "platform/ does not include the system's folders:" "$hits"

if ! clang-format --dry-run -Werror "${sources[@]}" 2>/tmp/tavrelix-format.$$; then
  report "clang-format finds unformatted code (run clang-format -i on these):" "$(grep -oE '^[^:]+:[0-9]+' /tmp/tavrelix-format.$$ | sort -u | head -20)"
fi
rm -f /tmp/tavrelix-format.$$

[ $fail -eq 0 ] && echo "lint: ok"
exit $fail
