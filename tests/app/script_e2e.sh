#!/bin/sh
# The program itself, offscreen, from a directory of its own with a library
# script beside it (ASCII: library files are read as CP932 or UTF-16): the
# "on-connected" handler the script sets runs after the
# command-line logon and writes the session it sees; the window is written.
# usage: script_e2e.sh TAVRELIX_BINARY SOURCE_DIR
set -eu
exe=$(readlink -f "$1")
src=$2
d=$(mktemp -d)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$d"' EXIT; echo "$d"
mkdir -p "$d/bin/scmlib"
cp "$exe" "$d/bin/tavrelix"
ln -s "$(dirname "$exe")/liboci.so" "$d/bin/liboci.so"
cp -r "$(dirname "$exe")/data" "$d/bin/data"
cp "$src/scmlib/init.scm" "$d/bin/scmlib/init.scm"
cat > "$d/bin/scmlib/tavrelix.scm" <<SCM
(app-set-event-handler "on-connected"
  (lambda ()
    (call-with-output-file "$d/session.txt"
      (lambda (port) (display (app-get-session-info) port)))
    (app-status-bar-msg "connected:" (app-get-session-info))))
SCM
XDG_CONFIG_HOME=$d/c XDG_DATA_HOME=$d/d TAVRELIX_SCREENSHOT=$d/main.png "$d/bin/tavrelix" LOGON=DEMO/demo@DEMO
test -s "$d/main.png"
# Output files are UTF-16 little-endian.
test "$(iconv -f UTF-16LE -t UTF-8 "$d/session.txt")" = "DEMO@DEMO"
