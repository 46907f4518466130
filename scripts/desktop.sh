#!/usr/bin/env bash
# The real program on a desktop: an X server of its own (Xvfb) with the
# openbox window manager, the Release program started as a new user would
# start it (a fresh HOME and XDG folders), logged on to the demo service and
# driven with xdotool through its own input only. What is checked is what the
# X server answers (xwininfo, xprop, xdotool search --onlyvisible, pixels of
# the screen), never what the program says about itself.
#
#   scripts/desktop.sh [BUILD_DIR]        (default build/release)
#
# Checks (each passes or fails as a whole; the names are the switch below):
#   main-mapped       the main window stays viewable with its WM_STATE Normal
#                     through every step: 200 single-cell edits with Enter,
#                     100 undo and 100 redo steps, 20 openings and closings of
#                     each of the table-selection, sort and options dialogs,
#                     the commit question answered both ways
#   main-frame        ... and is never unmapped and mapped again: the window
#                     manager's frame around it stays the same window (openbox
#                     makes a new frame at every map of a withdrawn client)
#   modal-mapped      every modal dialog and message box is viewable with a
#                     WM_STATE when it opens
#   modal-on-screen   ... wholly on the screen, frame included
#   modal-above       ... above the main window in the X server's stacking
#   modal-transient   ... a transient of the main window (WM_TRANSIENT_FOR)
#   dialog-closes     Escape or the answer closes the dialog
#   modeless-above    the replace dialog stays viewable above the main window
#                     after 全て置換
#   counts-repaint    the menu bar's counts item is repainted after an edit
#   menu-click-outside  a click outside an open menu closes it, and a click on
#                     the next title opens that menu
#   move-stays        the window moved by its title bar stays where it was put
#                     when a menu opens, and the menu opens under its title
#   corner-resize     a drag on the frame's bottom-right corner resizes
#   scroll-arrow      a click on the vertical scroll bar's down arrow moves
#                     the first visible row (the row-number column's pixels)
#   scroll-trough     ... and so does a click on its trough
#
# TAVRELIX_DESKTOP_SKIP="name ..." runs the named checks but does not count
# them: their outcome is printed as "skipped (would pass|fail)" and does not
# fail the script. TAVRELIX_DESKTOP_EDITS, _UNDO and _DIALOGS change the 200,
# 100 and 20 (for a quicker look by hand).
#
# Every state is polled for with a generous bound, never waited for a fixed
# time. A failure prints what the X server reports (the program's windows,
# their map and WM states, frames and stacking) and keeps a screenshot under
# build/desktop/, named in the output. The last line reads
# "desktop: N passed, N failed"; the exit status is 1 when a counted check
# failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
repo=$PWD
build=${1:-build/release}
program=$repo/$build/bin/tavrelix
out=$repo/build/desktop
edits=${TAVRELIX_DESKTOP_EDITS:-200}
undos=${TAVRELIX_DESKTOP_UNDO:-100}
openings=${TAVRELIX_DESKTOP_DIALOGS:-20}
skip=" ${TAVRELIX_DESKTOP_SKIP:-} "
bound=20 # seconds a state may take to appear before it counts as never

for tool in Xvfb openbox xdotool xwininfo xprop import compare; do
  command -v "$tool" >/dev/null || {
    echo "desktop: $tool is missing (scripts/deps.sh test installs it)" >&2
    exit 2
  }
done
[ -x "$program" ] || {
  echo "desktop: $program is missing (scripts/matrix.sh builds it)" >&2
  exit 2
}
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log

tmp=$(mktemp -d /tmp/tavrelix-desktop.XXXXXX)
pids=()
cleanup() {
  local p i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    p=${pids[i]}
    kill "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- Results -------------------------------------------------------------------------------------

checks=(main-mapped main-frame modal-mapped modal-on-screen modal-above modal-transient dialog-closes
  modeless-above counts-repaint menu-click-outside move-stays corner-resize scroll-arrow scroll-trough)
declare -A passes fails shots
for c in "${checks[@]}"; do passes[$c]=0 fails[$c]=0 shots[$c]=0; done

ok() { passes[$1]=$((passes[$1] + 1)); }
# fail CHECK WHERE WHAT: prints the failure with the X server's view; the
# first two failures of a check keep a screenshot each.
fail() {
  local c=$1 where=$2 what=$3
  fails[$c]=$((fails[$c] + 1))
  if [ "${fails[$c]}" -gt 5 ]; then
    [ "${fails[$c]}" = 6 ] && echo "FAIL $c: further failures are counted, not shown"
    return 0
  fi
  echo "FAIL $c ($where): $what"
  if [ "${shots[$c]}" -lt 2 ]; then
    shots[$c]=$((shots[$c] + 1))
    local png=$out/$c-${shots[$c]}.png
    import -window root "$png" 2>/dev/null && echo "  screenshot: ${png#"$repo"/}"
    xstate | sed 's/^/  /'
  fi
}
failed_before() { [ "${fails[$1]}" -gt 0 ]; }

# --- Time and polling ------------------------------------------------------------------------------

now_ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }
# poll SECONDS COMMAND...: runs COMMAND until it succeeds; 1 when it never did.
poll() {
  local end=$(($(now_ms) + $1 * 1000))
  shift
  while :; do
    "$@" && return 0
    [ "$(now_ms)" -ge "$end" ] && return 1
    sleep 0.05
  done
}

# --- What the X server says ------------------------------------------------------------------------

hex() { printf '0x%x' "$1"; }
map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ {print $3}'; }
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3}'; }
parent_of() { xwininfo -id "$1" -tree 2>/dev/null | awk '/Parent window id:/ {print $4}'; }
# The root's child that holds a window: its frame when the window manager
# manages it, the window itself when not.
top_of() {
  local w=$1 p
  for _ in 1 2 3 4 5 6; do
    p=$(parent_of "$w")
    [ -z "$p" ] && return 1
    [ "$p" = "$root" ] && {
      echo "$w"
      return 0
    }
    w=$p
  done
  return 1
}
# geometry WINDOW: absolute x, y, width and height.
geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
    /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {if (w != "") print x, y, w, h}'
}
viewable() { [ "$(map_state "$1")" = IsViewable ]; }
# xdotool's search walks the whole tree and gives up when a window goes away
# under it (a dialog being destroyed), so a miss is asked again for a moment;
# the map state and WM_STATE beside it are read once.
xdotool_lists() { xdotool search --onlyvisible --class tavrelix 2>/dev/null | grep -qx "$(($1))"; }
visible_to_xdotool() { poll 2 xdotool_lists "$1"; }
# above A B: A's frame is higher than B's in the root's stacking order
# (xwininfo lists the root's children top first).
above() {
  local a b
  a=$(top_of "$1") && b=$(top_of "$2") || return 1
  [ "$a" != "$b" ] || return 1
  xwininfo -root -children | awk -v a="$a" -v b="$b" '$1 == a {r = 0; exit} $1 == b {r = 1; exit}
    END {exit (r == "" ? 1 : r)}'
}
on_screen() {
  local f g
  f=$(top_of "$1") || return 1
  g=$(geometry "$f") || return 1
  read -r x y w h <<<"$g"
  [ -n "$w" ] && [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_w" ] && [ $((y + h)) -le "$screen_h" ]
}
transient_of() { xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | grep -q "window id # $2\$"; }
# The program's windows that carry a name, as "id name".
program_windows() {
  local w
  for w in $(xdotool search --class tavrelix 2>/dev/null); do
    printf '%s %s\n' "$(hex "$w")" "$(xprop -id "$w" _NET_WM_NAME 2>/dev/null | sed -n 's/.* = "\(.*\)"$/\1/p')"
  done
}
xstate() {
  local w name
  echo "program windows (id, map state, WM_STATE, frame, geometry, transient for, name):"
  while read -r w name; do
    [ -n "$w" ] || continue
    printf '  %s %s %s %s %s %s "%s"\n' "$w" "$(map_state "$w")" "$(wm_state "$w" || true)" \
      "$(top_of "$w" || echo none)" "$(geometry "$w" | tr ' ' ,)" \
      "$(xprop -id "$w" WM_TRANSIENT_FOR 2>/dev/null | awk '/window id/ {t=$NF} END {print (t ? t : "-")}')" "$name"
  done < <(program_windows)
  echo "stacking, top first: $(xwininfo -root -children | awk '$1 ~ /^0x/ && $0 !~ /1x1\+/ {printf "%s ", $1}')"
  xprop -root _NET_CLIENT_LIST_STACKING _NET_ACTIVE_WINDOW | sed 's/^/  /'
  kill -0 "$prog_pid" 2>/dev/null || echo "  the program is no longer running"
}

# --- Start-up: X server, window manager, the program ---------------------------------------------

export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share
export XDG_CACHE_HOME=$tmp/home/.cache XDG_RUNTIME_DIR=$tmp/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY SESSION_MANAGER
export QT_QPA_PLATFORM=xcb

Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp -noreset 5>"$tmp/display" >"$out/xvfb.log" 2>&1 &
pids+=($!)
poll $bound grep -qs . "$tmp/display" || {
  echo "desktop: Xvfb did not start (build/desktop/xvfb.log)" >&2
  exit 2
}
DISPLAY=:$(head -1 "$tmp/display")
export DISPLAY
openbox --sm-disable >"$out/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll $bound wm_running || {
  echo "desktop: openbox did not start (build/desktop/openbox.log)" >&2
  exit 2
}
root=$(xwininfo -root | awk '/Window id:/ {print $4; exit}')
read -r _ _ screen_w screen_h <<<"$(geometry "$root")"
echo "desktop: $DISPLAY ${screen_w}x$screen_h under openbox, $program"
xdotool mousemove $((screen_w - 10)) $((screen_h - 10))

started=$(now_ms)
(cd "$tmp" && exec "$program" LOGON=DEMO/demo@DEMO) >"$out/program.log" 2>&1 &
prog_pid=$!
pids+=("$prog_pid")
find_main() {
  local w
  main=
  for w in $(xdotool search --onlyvisible --class tavrelix 2>/dev/null); do
    xprop -id "$w" _NET_WM_NAME 2>/dev/null | grep -q ' = "DEMO@DEMO' && main=$w
  done
  [ -n "$main" ] && [ "$(wm_state "$main")" = Normal ]
}
if ! poll $bound find_main; then
  fail main-mapped start-up "no main window named DEMO@DEMO was mapped with its WM_STATE"
  echo "desktop: 0 passed, 1 failed"
  exit 1
fi
main=$(hex "$main")
frame=$(top_of "$main")
echo "main window $main in frame $frame, shown after $(($(now_ms) - started)) ms"

# check_main WHERE: the main window is viewable with WM_STATE Normal and is
# still in the frame it had; a re-framed window is followed to its new frame
# so that each re-mapping is counted once. A withdrawn window is mapped again
# by hand (after the failure is counted) so that the later checks still run.
check_main() {
  local where=$1 f
  if viewable "$main" && [ "$(wm_state "$main")" = Normal ] && visible_to_xdotool "$main"; then
    ok main-mapped
  else
    fail main-mapped "$where" "main window: map state $(map_state "$main"), WM_STATE '$(wm_state "$main")'"
    kill -0 "$prog_pid" 2>/dev/null || {
      summary
      exit 1
    }
    xdotool windowmap "$main" 2>/dev/null
    poll $bound viewable "$main"
  fi
  f=$(top_of "$main")
  if [ "$f" = "$frame" ]; then
    ok main-frame
  else
    fail main-frame "$where" "the main window was mapped again: frame $frame became $f"
    frame=$f
  fi
}

# --- Driving ---------------------------------------------------------------------------------------

# The client area's place and size, and points in it.
client() { read -r cx cy cw ch <<<"$(geometry "$main")"; }
click_at() { # client-relative x y
  client
  xdotool mousemove $((cx + $1)) $((cy + $2)) click 1
}
park_mouse() { xdotool mousemove $((screen_w - 10)) $((screen_h - 10)); }

# Menu titles, as client-relative x at y = 10 (the menu bar's fixed layout
# with its fonts): ファイル, 編集, データ, ツール.
title_file=32 title_edit=83 title_data=130 title_tool=220
menu_y=10

# menu_popup XMIN XMAX: a viewable override-redirect window of the program
# whose left edge is in the range (absolute): a popup menu.
menu_popup() {
  local w
  for w in $(xwininfo -root -children | awk '/\("tavrelix" "tavrelix"\)/ {print $1}'); do
    xwininfo -id "$w" 2>/dev/null | awk -v lo="$1" -v hi="$2" '/Absolute upper-left X:/ {x=$4}
      /Map State:/ {m=$3} /Override Redirect State:/ {o=$4}
      END {exit !(m == "IsViewable" && o == "yes" && x >= lo && x <= hi)}' && {
      echo "$w"
      return 0
    }
  done
  return 1
}
no_menu_popup() { ! menu_popup -100000 100000 >/dev/null; }
# open_menu TITLE_X: clicks the title, waits for its popup; 1 when none opened.
open_menu() {
  click_at "$1" $menu_y
  poll $bound menu_popup $((cx + $1 - 40)) $((cx + $1 + 10)) >/dev/null
}
repeat_key() { # KEY N
  local keys=() k
  for ((k = 0; k < $2; k++)); do keys+=("$1"); done
  xdotool key --delay 20 "${keys[@]}"
}
# unstick: what a user does when the program seems frozen: Escape, and a
# window of the program other than the main one that is viewable is brought
# up and sent Escape too.
unstick() {
  local w name
  xdotool key Escape Escape
  while read -r w name; do
    [ "$w" = "$main" ] || ! viewable "$w" || [ -z "$(wm_state "$w")" ] && continue
    echo "  (closing $name $w that was left open)"
    xdotool windowactivate --sync "$w" 2>/dev/null
    xdotool key Escape
    poll 5 gone "$w"
  done < <(program_windows)
}
# menu_command TITLE_X N: the Nth item of the menu (separators not counted),
# by the keyboard in the open popup. A menu that does not open is tried once
# more after unstick; after three menus in a row that never opened the run
# stops.
dead_menus=0
menu_command() {
  if ! open_menu "$1"; then
    echo "  (the menu at $1 did not open: $(menu_popup -100000 100000 >/dev/null && echo "a popup is open elsewhere" || echo "no popup"))"
    unstick
    if ! open_menu "$1"; then
      dead_menus=$((dead_menus + 1))
      if [ $dead_menus -ge 3 ]; then
        echo "desktop: the program's menus no longer open; the run stops here"
        xstate
        summary
        exit 1
      fi
      return 1
    fi
  fi
  dead_menus=0
  repeat_key Down "$2"
  xdotool key Return
}
# settle: the program has handled all input sent so far, as far as the X
# server can tell: a menu opened after it opens, and closes again.
settle() {
  park_mouse
  open_menu $title_file && xdotool key Escape && poll $bound no_menu_popup
  park_mouse
}

# dialog_ids NAME: ids of the program's windows with this exact name.
dialog_ids() { program_windows | awk -v n="$1" '{id=$1; $1=""; sub(/^ /, ""); if ($0 == n) print id}'; }
new_dialog() { # NAME BEFORE-IDS: a window of that name not among the ids
  local w
  for w in $(dialog_ids "$1"); do
    grep -qw -- "$w" <<<"$2" || {
      echo "$w"
      return 0
    }
  done
  return 1
}
# A dialog's facets that have not failed yet all hold.
dialog_settled() {
  local d
  d=$(new_dialog "$1" "$2") || return 1
  { failed_before modal-mapped || { viewable "$d" && [ -n "$(wm_state "$d")" ]; }; } &&
    { failed_before modal-on-screen || on_screen "$d"; } &&
    { failed_before modal-above || above "$d" "$main"; } &&
    { failed_before modal-transient || transient_of "$d" "$main"; }
}
# check_modal NAME BEFORE-IDS WHERE: waits for the dialog to open and checks
# its facets; its id is left in dlg (empty when none was made).
check_modal() {
  local name=$1 before=$2 where=$3 d
  dlg=
  poll $bound dialog_settled "$name" "$before"
  d=$(new_dialog "$name" "$before") || {
    fail modal-mapped "$where" "no window named $name was made"
    return 1
  }
  dlg=$d
  if viewable "$d" && [ -n "$(wm_state "$d")" ]; then ok modal-mapped; else
    fail modal-mapped "$where" "$name ($d): map state $(map_state "$d"), WM_STATE '$(wm_state "$d")'"
  fi
  if on_screen "$d"; then ok modal-on-screen; else
    fail modal-on-screen "$where" "$name ($d): frame $(geometry "$(top_of "$d" || echo "$d")" | tr ' ' ,) on a ${screen_w}x$screen_h screen"
  fi
  if above "$d" "$main"; then ok modal-above; else
    fail modal-above "$where" "$name ($d) is not above the main window"
  fi
  if transient_of "$d" "$main"; then ok modal-transient; else
    fail modal-transient "$where" "$name ($d): $(xprop -id "$d" WM_TRANSIENT_FOR 2>/dev/null)"
  fi
}
gone() { ! viewable "$1"; }
# close_dialog ID WHERE KEY...: sends the keys, waits until the dialog is gone.
close_dialog() {
  local d=$1 where=$2
  shift 2
  xdotool key --delay 20 "$@"
  if poll $bound gone "$d"; then
    ok dialog-closes
    return 0
  fi
  fail dialog-closes "$where" "$d is still viewable after $*"
  xdotool windowactivate --sync "$d" 2>/dev/null
  xdotool key --delay 20 "$@"
  poll $bound gone "$d" && return 0
  echo "desktop: the dialog $d cannot be closed; the run stops here"
  summary
  exit 1
}
# modal_via_menu NAME TITLE_X N WHERE KEY...: opens a modal dialog with a menu
# command, checks it and the main window, closes it with the keys.
modal_via_menu() {
  local name=$1 title=$2 n=$3 where=$4 before d
  shift 4
  before=$(dialog_ids "$name")
  menu_command "$title" "$n" || {
    fail modal-mapped "$where" "the menu for $name did not open"
    return 1
  }
  check_modal "$name" "$before" "$where" || return 1
  d=$dlg
  check_main "$where, $name open"
  close_dialog "$d" "$where" "$@"
  check_main "$where, $name closed"
}

# Pixels: a region of the screen, client-relative.
crop() { # FILE X Y W H
  client
  import -window root -crop "$4x$5+$((cx + $2))+$((cy + $3))" +repage "$1" 2>/dev/null
}
differ() { # A B: the images differ in some pixel
  local n
  n=$(compare -metric AE "$1" "$2" null: 2>&1)
  [ "${n%% *}" != 0 ]
}
crop_differs() { # BEFORE X Y W H
  crop "$tmp/after.png" "$2" "$3" "$4" "$5" && differ "$1" "$tmp/after.png"
}

summary() {
  local c p=0 f=0 line
  echo "desktop: results"
  for c in "${checks[@]}"; do
    if [ "${fails[$c]}" -gt 0 ]; then line="FAIL ($((fails[$c])) of $((passes[$c] + fails[$c])))"; else
      line="ok ($((passes[$c])))"
    fi
    if [[ $skip == *" $c "* ]]; then
      [ "${fails[$c]}" -gt 0 ] && line="skipped (would fail: $((fails[$c])) of $((passes[$c] + fails[$c])))" ||
        line="skipped (would pass: $((passes[$c])))"
    elif [ "${fails[$c]}" -gt 0 ]; then f=$((f + 1)); else p=$((p + 1)); fi
    printf '  %-19s %s\n' "$c" "$line"
  done
  echo "desktop: took $SECONDS s"
  echo "desktop: $p passed, $f failed"
  [ $f -eq 0 ]
}

# --- The checks --------------------------------------------------------------------------------------

check_main start-up

# The first table, through the table-selection dialog as a user opens it:
# its filter picks 社員, Enter is OK.
before=$(dialog_ids 'テーブル選択(検索条件設定)')
menu_command $title_file 1
check_modal 'テーブル選択(検索条件設定)' "$before" "first table"
d=$dlg
if [ -n "$d" ] && ! viewable "$d"; then xdotool windowmap "$d"; fi
[ -n "$d" ] && ! above "$d" "$main" && xdotool windowactivate "$d" 2>/dev/null
# The filter is a regular expression in plain ASCII (xdotool types other
# characters through a borrowed key code, which can be lost): 社員 alone.
titled() { xprop -id "$main" _NET_WM_NAME | grep -q '社員"$'; }
xdotool key alt+f
xdotool type --delay 20 '^\x{793E}\x{54E1}$'
xdotool key Return
poll $bound titled || {
  echo "desktop: the table 社員 could not be opened; the run stops here"
  xstate
  summary
  exit 1
}
[ -n "$d" ] && poll $bound gone "$d"
check_main "first table"
settle

# The counts item of the menu bar (right of the titles, which end before
# x = 300) after the first edit: 氏名 of the first row.
client
crop "$tmp/counts.png" 300 0 $((cw - 300)) 20
click_at 150 80 # a cell of the first row
xdotool key ctrl+Home Right
xdotool type --delay 30 c1
xdotool key Return
park_mouse
if poll 10 crop_differs "$tmp/counts.png" 300 0 $((cw - 300)) 20; then ok counts-repaint; else
  fail counts-repaint "first edit" "the counts item's pixels are the same as before the edit"
fi
check_main "first edit"
settle

# A click outside an open menu closes it; a click on the next title opens it.
if open_menu $title_file; then
  click_at 400 30 # the toolbar's empty part
  if poll $bound no_menu_popup; then
    if open_menu $title_edit; then ok menu-click-outside; else
      fail menu-click-outside "next menu" "the menu 編集 did not open after the first menu was closed"
    fi
  else
    fail menu-click-outside "click outside" "the menu ファイル stayed open after a click outside it"
  fi
  xdotool key Escape Escape
  poll $bound no_menu_popup
else
  fail menu-click-outside "first menu" "the menu ファイル did not open"
fi
check_main "menus"
settle

# The window moved by its title bar stays where it was put when a menu opens.
client
x0=$cx y0=$cy
read -r fx fy fw _ <<<"$(geometry "$(top_of "$main")")"
xdotool mousemove $((fx + fw / 2)) $((fy + 8)) mousedown 1
for i in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove $((fx + fw / 2 + 15 * i)) $((fy + 8 + 10 * i)); done
xdotool mouseup 1
moved() {
  client
  [ "$cx" = $((x0 + 150)) ] && [ "$cy" = $((y0 + 100)) ]
}
if poll $bound moved; then
  if open_menu $title_file; then
    popup=$(menu_popup $((x0 + 150 + title_file - 40)) $((x0 + 150 + title_file + 10)))
    client
    if [ "$cx,$cy" != "$((x0 + 150)),$((y0 + 100))" ]; then
      fail move-stays "menu open" "the window went from $((x0 + 150)),$((y0 + 100)) to $cx,$cy"
    elif [ -z "$popup" ]; then
      fail move-stays "menu open" "the menu did not open under its title at the moved place"
    else
      xdotool key Escape
      poll $bound no_menu_popup
      client
      if [ "$cx,$cy" = "$((x0 + 150)),$((y0 + 100))" ]; then ok move-stays; else
        fail move-stays "menu closed" "the window went from $((x0 + 150)),$((y0 + 100)) to $cx,$cy"
      fi
    fi
    xdotool key Escape
  else
    fail move-stays "menu" "the menu ファイル did not open after the move"
  fi
else
  client
  fail move-stays "title-bar drag" "the window is at $cx,$cy, not at $((x0 + 150)),$((y0 + 100))"
fi
check_main "move"
settle

# A drag on the frame's bottom-right corner resizes the window.
client
w0=$cw h0=$ch
read -r fx fy fw fh <<<"$(geometry "$(top_of "$main")")"
xdotool mousemove $((fx + fw - 2)) $((fy + fh - 2)) mousedown 1
for i in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove $((fx + fw - 2 - 15 * i)) $((fy + fh - 2 - 17 * i)); done
xdotool mouseup 1
resized() {
  client
  [ "$cw" -lt "$w0" ] && [ "$ch" -lt "$h0" ]
}
if poll $bound resized; then ok corner-resize; else
  fail corner-resize "corner drag" "the window stayed ${cw}x$ch (was ${w0}x$h0)"
  # The scroll bars need fewer rows than the table has: resized by the
  # window manager's own request instead.
  xdotool windowsize "$main" $((w0 - 150)) $((h0 - 170))
  poll $bound resized
fi
check_main "resize"
settle

# The vertical scroll bar: its down arrow and its trough move the first
# visible row. The bar is at the client's right edge; its down arrow above
# the horizontal bar and the status bar.
# scroll_click CHECK ABOVE_BOTTOM WHAT: a click on the bar that far above
# the client's bottom changes the row-number column's pixels.
scroll_click() {
  client
  local rows=(2 75 45 $((ch - 150)))
  crop "$tmp/rows.png" "${rows[@]}"
  click_at $((cw - 7)) $((ch - $2))
  park_mouse
  if poll 10 crop_differs "$tmp/rows.png" "${rows[@]}"; then ok "$1"; else
    fail "$1" "$3" "the row numbers are the same after a click on the $3"
  fi
}
scroll_click scroll-arrow 43 "down arrow"
settle
scroll_click scroll-trough 70 trough
check_main "scroll"
settle

# Single-cell edits with Enter, down four text columns in turn.
click_at 150 80
columns=(1 2 3 6) # 氏名, フリガナ, 部署, 備考 from 社員番号
for ((i = 1; i <= edits; i++)); do
  if (((i - 1) % 20 == 0)); then
    xdotool key ctrl+Home
    repeat_key Right "${columns[(i - 1) / 20 % 4]}"
  fi
  xdotool type --delay 15 "t$i"
  xdotool key Return
  check_main "edit $i"
done
settle
check_main "after the edits"
echo "desktop: $edits edits done at $SECONDS s"

for ((i = 1; i <= undos; i++)); do
  xdotool key ctrl+z
  check_main "undo $i"
done
settle
for ((i = 1; i <= undos; i++)); do
  xdotool key ctrl+y
  check_main "redo $i"
done
settle
check_main "after undo and redo"
echo "desktop: $undos undo and redo steps done at $SECONDS s"

# The replace dialog (modeless) stays above the main window after 全て置換,
# and after a click on the main window's menu bar, as an owned window does.
click_at 150 80
before=$(dialog_ids '置換')
xdotool key ctrl+h
if poll $bound new_dialog '置換' "$before" >/dev/null; then
  r=$(new_dialog '置換' "$before")
  poll $bound viewable "$r"
  xdotool type --delay 20 t1
  xdotool key Tab
  xdotool type --delay 20 r1
  client
  crop "$tmp/grid.png" 0 50 "$cw" $((ch - 50))
  xdotool key alt+a
  # Done when the grid shows the replacement (the main window's pixels
  # change); then the dialog must be, and stay, viewable above it.
  poll $bound crop_differs "$tmp/grid.png" 0 50 "$cw" $((ch - 50))
  replace_above() { viewable "$r" && above "$r" "$main"; }
  if ! poll $bound replace_above; then
    fail modeless-above "全て置換" "置換 ($r): map state $(map_state "$r"), above the main window: $(above "$r" "$main" && echo yes || echo no)"
  else
    settle
    if poll $bound replace_above; then ok modeless-above; else
      fail modeless-above "a click on the main window" "置換 ($r): map state $(map_state "$r"), above the main window: $(above "$r" "$main" && echo yes || echo no)"
    fi
  fi
  # Closed by its 閉じる button (below 全て置換 at its right edge), brought up
  # first when it went under the main window.
  above "$r" "$main" || xdotool windowactivate --sync "$r" 2>/dev/null
  read -r rx ry rw rh <<<"$(geometry "$r")"
  xdotool mousemove $((rx + rw * 293 / 330)) $((ry + rh * 82 / 112)) click 1
  if poll $bound gone "$r"; then ok dialog-closes; else
    close_dialog "$r" "replace" Escape
  fi
else
  fail modeless-above "Ctrl+H" "no window named 置換 was made"
fi
check_main "replace"
settle

# The commit question, answered No, then Yes (and the re-reading Yes).
# ask_commit KEY ANSWER: ファイル > commit, its question answered by KEY; 1
# when no question opened. $before and $d are left for what follows.
ask_commit() {
  before=$(dialog_ids MESSAGE)
  menu_command $title_file 3
  check_modal MESSAGE "$before" "commit question ($2)" || return 1
  d=$dlg
  check_main "commit question ($2) open"
  close_dialog "$d" "commit question ($2)" "$1"
}
ask_commit n No
check_main "commit question (No)"
settle
if ask_commit y Yes; then
  before="$before $d"
  if check_modal MESSAGE "$before" "commit summary"; then
    s=$dlg
    check_main "commit summary open"
    close_dialog "$s" "commit summary" y
  fi
fi
poll $bound titled
check_main "commit"
settle
# The modal dialogs, opened from their menus and closed with Escape (with
# no unsaved edits, so the table-selection dialog opens without a question).
for ((i = 1; i <= openings; i++)); do
  modal_via_menu 'テーブル選択(検索条件設定)' $title_file 1 "table dialog $i" Escape
  modal_via_menu 'Gridのソート' $title_data 11 "sort dialog $i" Escape
  modal_via_menu 'オプション' $title_tool 3 "options dialog $i" Escape
done
settle
echo "desktop: $openings openings of each dialog done at $SECONDS s"
check_main "end"

summary
