"""Window states as the window manager gives them: maximise and restore by the title
bar, minimise while a dialog is open, restore from the task bar."""

import program as P
from session import BOUND, holds, poll

SORT_DIALOG = "Gridのソート"


def maximised(prog):
    x, m = prog.x, prog.main
    if not {"MAXIMIZED_VERT", "MAXIMIZED_HORZ"} <= x.net_wm_state(m):
        return False
    f = x.geometry(x.top_of(m) or m)
    wx, wy, ww, wh = x.workarea()
    return f is not None and f[2] >= ww - 2 and f[3] >= wh - 2


def has_size(prog, size):
    g = prog.x.geometry(prog.main)
    return g is not None and (g[2], g[3]) == size and not ({"MAXIMIZED_VERT", "MAXIMIZED_HORZ"} & prog.x.net_wm_state(prog.main))


def title_double_click(prog):
    """A double-click in the middle of the title bar (between the frame's top and the client's)."""
    x = prog.x
    f = x.geometry(x.top_of(prog.main) or prog.main)
    c = x.geometry(prog.main)
    prog.dt.click(f[0] + f[2] // 2, (f[1] + c[1]) // 2, repeat=2)


def describe_state(prog):
    x, m = prog.x, prog.main
    return "map state %s, WM_STATE %s, _NET_WM_STATE {%s}, client %s" % (
        x.map_state(m), x.wm_state(m) or "-", ",".join(sorted(x.net_wm_state(m))), x.geometry(m))


def max_restore(prog, check, size):
    """Maximised by a title double-click, restored by another: back at its own size, and it
    stays there (no request for the maximised size follows the restore)."""
    t = prog.t
    title_double_click(prog)
    if not poll(BOUND, maximised, prog):
        t.fail(check, "maximise", "the window was not maximised by a title double-click: " + describe_state(prog))
        return False
    prog.check_main("maximised")
    title_double_click(prog)
    if not poll(BOUND, has_size, prog, size):
        t.fail(check, "restore", "restored, the window is not %dx%d: %s" % (size + (describe_state(prog),)))
        return False
    if not holds(1.5, has_size, prog, size):
        t.fail(check, "restore", "after the restore the window became %s (restored %dx%d)" % (
            describe_state(prog), size[0], size[1]))
        return False
    prog.check_main("restored")
    t.ok(check)
    return True


def minimise_during_dialog(prog, check, size):
    """Maximised, a modal dialog open, the main window minimised by the window manager, the
    dialog closed (by the window manager's close, as from a task bar): the main window stays
    minimised and keeps its maximised state; restored from the task bar it is maximised, and
    a title double-click gives back its own size."""
    x, t, m = prog.x, prog.t, prog.main
    title_double_click(prog)
    if not poll(BOUND, maximised, prog):
        t.fail(check, "maximise", "the window was not maximised: " + describe_state(prog))
        return False
    before = x.named(SORT_DIALOG)
    if not prog.menu_command(P.TITLE_DATA, 11):
        t.fail(check, "dialog", "the menu データ did not open")
        return False
    d = poll(BOUND, prog.new_dialog, SORT_DIALOG, before)
    if not d or not poll(BOUND, lambda: x.viewable(d) and x.wm_state(d) == "Normal"):
        t.fail(check, "dialog", "no dialog %s was mapped" % SORT_DIALOG)
        return False
    prog.dt.xdotool("windowminimize", m)
    if not poll(BOUND, lambda: x.wm_state(m) == "Iconic"):
        t.fail(check, "minimise", "the main window was not minimised: " + describe_state(prog))
        x.ask_close(d)
        return False
    x.ask_close(d)
    if not poll(BOUND, lambda: not x.viewable(d) and x.wm_state(d) != "Iconic"):
        t.fail(check, "dialog closed", "the dialog 0x%x did not close on the window manager's request" % d)
        prog.dt.xdotool("windowactivate", d)
        prog.dt.key("Escape")
        poll(BOUND, prog.gone, d)
    iconic = lambda: (x.wm_state(m) == "Iconic" and not x.viewable(m) and
                      {"MAXIMIZED_VERT", "MAXIMIZED_HORZ"} <= x.net_wm_state(m))
    ok = holds(2.0, iconic)
    if not ok:
        t.fail(check, "dialog closed", "the minimised main window did not stay minimised and maximised: " +
               describe_state(prog))
    prog.dt.xdotool("windowactivate", m)
    if not poll(BOUND, lambda: x.viewable(m) and x.wm_state(m) == "Normal"):
        t.fail(check, "restore", "the main window did not come back: " + describe_state(prog))
        return False
    if ok and not (poll(BOUND, maximised, prog) and holds(1.0, maximised, prog)):
        t.fail(check, "restore", "restored from the task bar, the window is not maximised: " + describe_state(prog))
        ok = False
    if maximised(prog):
        title_double_click(prog)
    if not (poll(BOUND, has_size, prog, size) and holds(1.0, has_size, prog, size)):
        if ok:
            t.fail(check, "restore", "restored, the window is not %dx%d: %s" % (size + (describe_state(prog),)))
        ok = False
        # Later checks want the window's own size back.
        if maximised(prog):
            title_double_click(prog)
        prog.dt.xdotool("windowsize", m, size[0], size[1])
        poll(BOUND, has_size, prog, size)
    prog.check_main("after the window states")
    if ok:
        t.ok(check)
    return ok


def window_states(prog, prefix=""):
    g = prog.client()
    size = (g[2], g[3])
    prog.settle()
    max_restore(prog, prefix + "max-restore", size)
    prog.settle()
    minimise_during_dialog(prog, prefix + "min-during-dialog", size)
    prog.settle()
