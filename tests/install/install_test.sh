#!/usr/bin/env bash
# The installed tree: `cmake --install` of the build tree into a scratch
# DESTDIR under the prefix /usr, its contents checked, the desktop entry and
# the AppStream data validated (when the validators are installed), and the
# installed program started through its link on the path, offscreen, logged
# on to the DEMO service, twice with one per-user store: it finds its files
# beside itself, writes nothing into its own directory, keeps its settings,
# and opens nothing of the build or source tree.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR=$work/root cmake --install "$build" --prefix /usr >"$work/install.log" || fail "cmake --install"
root=$work/root/usr
lib=$root/lib/tavrelix

# The tree: what the program finds beside itself, and the desktop's files.
for f in lib/tavrelix/tavrelix lib/tavrelix/liboci.so lib/tavrelix/data/keywords.txt \
  lib/tavrelix/scmlib/init.scm lib/tavrelix/doc/screenshot-main.png lib/tavrelix/doc/manual.md \
  share/applications/org.tavrelix.tavrelix.desktop share/metainfo/org.tavrelix.tavrelix.metainfo.xml \
  share/mime/packages/tavrelix.xml share/icons/hicolor/scalable/apps/tavrelix.svg \
  share/icons/hicolor/48x48/apps/tavrelix.png share/icons/hicolor/128x128/apps/tavrelix.png \
  share/icons/hicolor/256x256/apps/tavrelix.png share/doc/tavrelix/copyright; do
  [ -s "$root/$f" ] || fail "missing $f"
done
[ -x "$lib/tavrelix" ] || fail "the executable is not executable"
# The manual the version box links to is the project's README.
cmp -s "$lib/doc/manual.md" "$source/README.md" || fail "doc/manual.md is not the README"
[ "$(readlink "$root/bin/tavrelix")" = ../lib/tavrelix/tavrelix ] || fail "bin/tavrelix is not the link"
# PNG sizes from the header (width and height at bytes 16-23).
for s in 48 128 256; do
  got=$(od -An -tu1 -j16 -N8 "$root/share/icons/hicolor/${s}x$s/apps/tavrelix.png" | tr -s ' ')
  want=$(printf ' 0 0 %d %d 0 0 %d %d' $((s / 256)) $((s % 256)) $((s / 256)) $((s % 256)))
  [ "$got" = "$want" ] || fail "the ${s} px icon is not ${s}x$s ($got)"
done
# Nothing of the tests: no other library, no test or benchmark program, no READMEs.
extra=$(cd "$root" && find . -type f -o -type l | sort | grep -v -E \
  '^\./(bin/tavrelix|lib/tavrelix/(tavrelix|liboci\.so|data/.*|scmlib/.*|doc/.*)|share/(applications/org\.tavrelix\.tavrelix\.desktop|metainfo/org\.tavrelix\.tavrelix\.metainfo\.xml|mime/packages/tavrelix\.xml|icons/hicolor/.*/apps/tavrelix\.(svg|png)|doc/tavrelix/(copyright|changelog\.Debian\.gz)))$' || true)
[ -z "$extra" ] || fail "installed beyond the layout: $extra"
! find "$root" -name README.md | grep -q . || fail "a README was installed"
# No path of the build machine in what the installed program reads: its text
# files and its programs' run paths. (A build with -g keeps the source and
# build directories in its debug information, and the sanitizers name source
# files in their reports: those are for the developer, and what the program
# opens at run time is checked by the trace below.)
: >"$work/paths"
while IFS= read -r -d '' f; do
  if [ "$(head -c4 "$f" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ]; then
    if readelf -d "$f" | grep -E '\((RPATH|RUNPATH)\)' | grep -q -F -e "$build" -e "$source"; then
      echo "$f (run path)" >>"$work/paths"
    fi
  elif grep -q -F -e "$build" -e "$source" "$f"; then
    echo "$f" >>"$work/paths"
  fi
done < <(find "$root" -type f -print0)
[ ! -s "$work/paths" ] || fail "build or source paths in: $(cat "$work/paths")"

# The desktop's files tie together: one MIME type, one entry name, the
# AppStream component id in reverse-DNS form naming both.
desktop=$root/share/applications/org.tavrelix.tavrelix.desktop
metainfo=$root/share/metainfo/org.tavrelix.tavrelix.metainfo.xml
grep -qx 'Exec=tavrelix %f' "$desktop" || fail "Exec line"
grep -qx 'MimeType=application/x-tavrelix;' "$desktop" || fail "MimeType line"
grep -q '<mime-type type="application/x-tavrelix">' "$root/share/mime/packages/tavrelix.xml" || fail "MIME type"
grep -q '<glob pattern="\*.tvx"/>' "$root/share/mime/packages/tavrelix.xml" || fail "MIME glob"
grep -q '<id>org.tavrelix.tavrelix</id>' "$metainfo" || fail "AppStream component id"
grep -q '<launchable type="desktop-id">org.tavrelix.tavrelix.desktop</launchable>' "$metainfo" ||
  fail "AppStream launchable"
grep -q '<summary xml:lang="ja">' "$metainfo" || fail "Japanese summary"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  # Errors and warnings fail (pedantic notes do not).
  if ! appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1; then
    cat "$work/appstream" >&2
    fail "appstreamcli validate"
  fi
fi

# The program, as a user starts it: through the link on the path, the
# command of the desktop entry's Exec line.
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data HOME=$work/home
mkdir -p "$HOME"
unset TNS_ADMIN
before=$(cd "$lib" && find . -printf '%p %s %T@\n' | sort)
run() {
  local shot=$1
  shift
  (cd "$work/home" && PATH=$root/bin:$PATH TAVRELIX_SCREENSHOT=$shot "$@" tavrelix LOGON=DEMO/demo@DEMO) \
    >"$work/out" 2>&1 || { cat "$work/out" >&2; fail "the installed program did not end cleanly"; }
  [ -s "$shot" ] || fail "no window was written"
}
# The first run traced (the leak checker cannot run under a tracer).
if command -v strace >/dev/null; then
  ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0 run "$work/first.png" strace -f -qq -e trace=openat -o "$work/trace"
else
  run "$work/first.png"
fi
if [ -f "$work/trace" ]; then
  # The client library and the keyword file were opened from beside the executable.
  grep -E "openat\(.*\"$lib/liboci\.so\".* = [0-9]+$" "$work/trace" >/dev/null || fail "liboci.so not loaded from $lib"
  grep -E "openat\(.*\"$lib/data/keywords\.txt\".* = [0-9]+$" "$work/trace" >/dev/null ||
    fail "keywords.txt not read from $lib"
  if grep -F -e "$build/" -e "$source/" "$work/trace" >"$work/opened"; then
    fail "opened files of the build machine: $(head -5 "$work/opened")"
  fi
fi
# The settings live in the per-user store and survive a second run.
store=$XDG_CONFIG_HOME/tavrelix/registry.reg
[ -s "$store" ] || fail "no per-user settings store"
grep -q 'GRID_CALC_TYPE' "$store" || fail "GRID_CALC_TYPE not kept"
cp "$store" "$work/store.1"
run "$work/second.png"
grep -q 'GRID_CALC_TYPE' "$store" || fail "GRID_CALC_TYPE lost by the second run"
# Nothing was written into the install directory.
after=$(cd "$lib" && find . -printf '%p %s %T@\n' | sort)
[ "$before" = "$after" ] || fail "the program wrote into $lib: $(diff <(echo "$before") <(echo "$after") | head -5)"

# A user who may not write to the program's directory, with an ini file the
# packager put beside the program: the settings go to the per-user copy,
# which starts as that file, and survive the next run; the file beside the
# program stays as it was. (Needs root to become another user.)
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  printf '[APPLICATION]\nUSE_INI_FILE=1\n[GRID]\nNULL_TEXT=(packaged)\n' >"$lib/tavrelix.ini"
  packaged=$(cat "$lib/tavrelix.ini")
  user=$work/user
  mkdir -p "$user/home"
  chmod 755 "$work"
  chown -R 65534:65534 "$user"
  as_user() {
    local shot=$1
    (cd "$user/home" && setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$user/home" \
      XDG_CONFIG_HOME="$user/config" XDG_DATA_HOME="$user/data" PATH="$root/bin:$PATH" \
      TAVRELIX_SCREENSHOT="$shot" tavrelix LOGON=DEMO/demo@DEMO) >"$work/out" 2>&1 ||
      { cat "$work/out" >&2; fail "the program run by another user did not end cleanly"; }
    [ -s "$shot" ] || fail "no window was written for another user"
  }
  as_user "$user/first.png"
  own=$user/data/tavrelix/tavrelix.ini
  [ -s "$own" ] || fail "no per-user copy of the ini file"
  grep -q 'NULL_TEXT=(packaged)' "$own" || fail "the per-user ini file did not start from the packaged one"
  grep -q 'GRID_CALC_TYPE' "$own" || fail "GRID_CALC_TYPE not kept in the per-user ini file"
  [ ! -e "$user/config/tavrelix/registry.reg" ] || ! grep -q GRID_CALC_TYPE "$user/config/tavrelix/registry.reg" ||
    fail "the settings went to the registry store instead of the ini file"
  sed -i 's/^NULL_TEXT=.*/NULL_TEXT=(mine)/' "$own"
  as_user "$user/second.png"
  grep -q 'NULL_TEXT=(mine)' "$own" || fail "the per-user ini file lost a setting in the second run"
  grep -q 'GRID_CALC_TYPE' "$own" || fail "GRID_CALC_TYPE lost by the second run of another user"
  [ "$(cat "$lib/tavrelix.ini")" = "$packaged" ] || fail "the packaged ini file was changed"
  rm "$lib/tavrelix.ini"
fi
echo "installed tree and program: ok"
