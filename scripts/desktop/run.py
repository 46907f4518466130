"""The desktop check's driver (scripts/desktop.sh runs it and says what it checks).

    run.py REPO BUILD_DIR

Three desktops, one after the other, each an X server of its own with a fresh HOME:
openbox (the main run), xfwm4 (the window states and one round of the dialogs), and
openbox with fcitx5 and Anthy (the real input method)."""

import os
import sys
import traceback

import ime
import mainrun
import program as P
import wmstates
from session import Desktop, StartError, now
from store import Store
from tally import Tally

CHECKS = [
    # openbox
    "main-mapped", "main-frame", "modal-mapped", "modal-on-screen", "modal-above", "modal-transient",
    "dialog-closes", "modeless-above", "counts-repaint", "menu-click-outside", "move-stays", "corner-resize",
    "scroll-arrow", "scroll-trough", "counts-shown", "undo-redo-shown", "edits-saved", "max-restore",
    "min-during-dialog", "cancel-key",
    # xfwm4
    "xfwm4-main-mapped", "xfwm4-main-frame", "xfwm4-modal-mapped", "xfwm4-modal-on-screen", "xfwm4-modal-above",
    "xfwm4-modal-transient", "xfwm4-dialog-closes", "xfwm4-max-restore", "xfwm4-min-during-dialog",
    "xfwm4-cancel-key",
    # the input method
] + ime.CHECKS

# Checks that wait for a mend of the program: run and shown, not counted unless
# TAVRELIX_DESKTOP_SKIP says otherwise (an empty value counts every check).
PENDING = []


def number(name, default):
    v = os.environ.get(name, "")
    return int(v) if v.strip() else default


def main():
    repo, build = sys.argv[1], sys.argv[2]
    binary = os.path.join(repo, build, "bin", "tavrelix")
    probe = os.path.join(repo, build, "bin", "imeprobe")
    out = os.path.join(repo, "build", "desktop")
    os.makedirs(out, exist_ok=True)
    for f in os.listdir(out):
        if f.endswith((".png", ".log")):
            os.remove(os.path.join(out, f))
    skip = os.environ.get("TAVRELIX_DESKTOP_SKIP")
    skip = PENDING if skip is None else skip.split()
    unknown = [c for c in skip if c not in CHECKS]
    if unknown:
        print("desktop: no such checks: %s" % " ".join(unknown), file=sys.stderr)
        return 2
    counts = (number("TAVRELIX_DESKTOP_EDITS", 200), number("TAVRELIX_DESKTOP_UNDO", 100),
              number("TAVRELIX_DESKTOP_DIALOGS", 20))
    # TAVRELIX_DESKTOP_DISPLAY=N: the X servers on :N, :N+1, :N+2 (else the first free ones).
    base = os.environ.get("TAVRELIX_DESKTOP_DISPLAY", "").strip()
    displays = [int(base) + i for i in range(3)] if base else [None] * 3
    only = os.environ.get("TAVRELIX_DESKTOP_RUNS", "openbox xfwm4 ime").split()
    t = Tally(CHECKS, skip, out, repo)

    def desktop(tag, display, wm, section):
        if tag not in only:
            print("desktop: the %s run is left out (TAVRELIX_DESKTOP_RUNS)" % tag, flush=True)
            return
        started = now()
        dt = None
        try:
            dt = Desktop(tag, out, display)
            dt.start_wm(wm)
            print("desktop: %s %dx%d under %s, %s" % (dt.display, dt.x.width, dt.x.height, wm, binary), flush=True)
            dt.park_mouse()
            section(dt)
        except StartError as e:
            print("desktop: %s" % e, flush=True)
            t.not_run([c for c in CHECKS if t.passes[c] + t.fails[c] == 0 and c.startswith(prefix_of(tag))],
                      str(e))
        except Exception:
            print("desktop: the %s run broke off:" % tag, flush=True)
            traceback.print_exc(file=sys.stdout)
            t.fail(first_check(tag), tag, "the driver broke off (the trace above)")
        finally:
            if dt is not None:
                dt.close()
            t.desktop = None
            print("desktop: the %s run took %d s" % (tag, now() - started), flush=True)

    desktop("openbox", displays[0], "openbox", lambda dt: mainrun.run(dt, t, binary, counts))
    desktop("xfwm4", displays[1], "xfwm4", lambda dt: xfwm4_run(dt, t, binary))
    desktop("ime", displays[2], "openbox", lambda dt: ime.run(dt, t, binary, probe))
    t.left_out = set(CHECKS) - only_checks(only)
    return 0 if t.summary(t.elapsed()) else 1


def prefix_of(tag):
    return {"openbox": "", "xfwm4": "xfwm4-", "ime": "ime-"}[tag]


def first_check(tag):
    return {"openbox": "main-mapped", "xfwm4": "xfwm4-main-mapped", "ime": "ime-engine"}[tag]


def only_checks(runs):
    out = set()
    for c in CHECKS:
        run = "ime" if c.startswith("ime-") else "xfwm4" if c.startswith("xfwm4-") else "openbox"
        if run in runs:
            out.add(c)
    return out


def xfwm4_run(dt, t, binary):
    """Under xfwm4: the window states, one round of the modal dialogs, the cancel key."""
    prog = P.Program(dt, t, binary, prefix="xfwm4-")
    if not prog.wait_main():
        t.fail("xfwm4-main-mapped", "start-up", "no main window named DEMO@DEMO was mapped with its WM_STATE")
        return
    try:
        prog.check_main("start-up")
        prog.open_table(r"^\x{793E}\x{54E1}$", mainrun.TABLE)
        prog.check_main("first table")
        prog.settle()
        wmstates.window_states(prog, "xfwm4-")
        prog.modal_via_menu(P.TABLE_DIALOG, P.TITLE_FILE, 1, "table dialog", "Escape")
        prog.modal_via_menu("Gridのソート", P.TITLE_DATA, 11, "sort dialog", "Escape")
        prog.modal_via_menu("オプション", P.TITLE_TOOL, 3, "options dialog", "Escape")
        prog.settle()
        store = Store(dt.env["XDG_DATA_HOME"])
        keys = sorted(store.rows("DEMO", mainrun.TABLE, mainrun.KEY))
        mainrun.cancel_key(prog, dt, t, store, keys, "xfwm4-cancel-key")
        prog.check_main("end")
    except P.Stop as e:
        print("desktop: %s; the xfwm4 run stops here" % e, flush=True)
        for line in prog.describe():
            print("  " + line)


if __name__ == "__main__":
    sys.exit(main())
