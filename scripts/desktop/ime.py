"""Japanese through a real input method: fcitx5 with Anthy on a D-Bus session of its own,
Qt 6's fcitx front end, every key sent with xdotool. The engine is tried first on a plain
Qt line edit (imeprobe), so that an input method that does not work is reported as such;
what it commits there for "nihongo" is what the program's cells must hold."""

import os
import re
import select
import subprocess
import time

import mainrun
import program as P
from session import BOUND, poll, now
from store import Store, differences

TABLE = "ALL_TYPES"
KEY = "ID"
CHECKS = ["ime-engine", "ime-grid", "ime-f2-click", "ime-dataedit", "ime-where", "ime-saved"]
NIHONGO = ["n", "i", "h", "o", "n", "g", "o", "space"]
DESU = ["d", "e", "s", "u"]
DATA_EDIT = "データ編集"

PROFILE = """[Groups/0]
Name=Default
Default Layout=us
DefaultIM=anthy

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=anthy
Layout=

[GroupOrder]
0=Default
"""
# A session bus without service files: nothing is started by asking for a name (a
# fcitx5-remote before fcitx5 is up would start a second fcitx5 of the system's own).
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%s</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""
# Only what a Qt program on X needs: the X and D-Bus front ends, the candidate window,
# the keyboard and Anthy.
DISABLED = ("wayland,waylandim,kimpanel,notificationitem,ibusfrontend,fcitx4frontend,xim,mozc,"
            "emoji,spell,quickphrase,unicode,clipboard,cloudpinyin,pinyin,table")


class InputMethod:
    def __init__(self, dt):
        self.dt = dt
        cfg = os.path.join(dt.env["XDG_CONFIG_HOME"], "fcitx5")
        os.makedirs(cfg, exist_ok=True)
        with open(os.path.join(cfg, "profile"), "w") as f:
            f.write(PROFILE)
        bus = os.path.join(dt.home, "session-bus.conf")
        with open(bus, "w") as f:
            f.write(BUS_CONFIG % dt.env["XDG_RUNTIME_DIR"])
        # A D-Bus session that lives as long as fcitx5: its address is handed back on a pipe.
        r, w = os.pipe()
        argv = ["dbus-run-session", "--config-file=" + bus, "--", "sh", "-c",
                'echo "$DBUS_SESSION_BUS_ADDRESS" >&%d; exec %d>&-; exec fcitx5 --disable=%s' % (w, w, DISABLED)]
        p = subprocess.Popen(argv, stdout=dt.log("fcitx5"), stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                             env=dt.env, cwd=dt.home, start_new_session=True, pass_fds=(w,))
        os.close(w)
        dt.procs.append(p)
        with os.fdopen(r) as f:
            address = f.readline().strip()
        if not address:
            raise RuntimeError("dbus-run-session gave no address")
        self.env = dict(dt.env, DBUS_SESSION_BUS_ADDRESS=address, QT_IM_MODULE="fcitx", XMODIFIERS="@im=fcitx")
        self.started = poll(BOUND, lambda: self.state() is not None)
        self.unflagged = []

    def remote(self, *args):
        r = subprocess.run(["fcitx5-remote", *args], env=self.env, capture_output=True, text=True)
        return r.stdout.strip() if r.returncode == 0 else None

    def state(self):
        """'0' closed, '1' inactive, '2' active (for the input context that has the focus), or
        None when fcitx5 does not answer."""
        s = self.remote()
        return s if s in ("0", "1", "2") else None

    def contexts(self):
        """fcitx5's input contexts as its controller lists them: [(id, program, focused)]."""
        r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.fcitx.Fcitx5", "/controller",
                            "org.fcitx.Fcitx.Controller1.DebugInfo"], env=self.env, capture_output=True, text=True)
        out = []
        for m in re.finditer(r"IC \[([0-9a-f]+)\] program:(\S*) .*?focus:(\d)", r.stdout):
            out.append((m.group(1), m.group(2), m.group(3) == "1"))
        return out

    def focused(self):
        return next(((i, p) for i, p, f in self.contexts() if f), (None, None))

    def await_focus(self, program, known=None, want=None, seconds=3):
        """Waits until fcitx5's focused input context is the program's: want's when given, else
        one not among known (a new window's); its id, or None. fcitx5 does not always flag a
        window's context as focused (after message boxes came and went, say) while it takes the
        window's keys all the same, so a miss is noted, not taken as a broken input method."""
        def ready():
            i, p = self.focused()
            return i if p == program and (want is None or i == want) and (known is None or i not in known) else None

        got = poll(seconds, ready)
        if not got:
            self.unflagged.append(program)
        return got

    def ids(self):
        return {i for i, _, _ in self.contexts()}

    def switch(self, on):
        """Switches the engine on or off for the focused input context; true when it is."""
        want = "2" if on else "1"
        for _ in range(3):
            self.remote("-o" if on else "-c")
            if poll(2, lambda: self.state() == want):
                return True
        return False


def active_is(x, w):
    return w in x.root_windows("_NET_ACTIVE_WINDOW")


def still(x, w, before=None):
    """The window's picture has settled (two grabs 0.15 s apart are the same) and, when
    before is given, differs from it: what the keys sent to the input method did is shown."""
    def shown():
        g = x.geometry(w)
        if g is None:
            return True
        a = x.grab(*g)
        if before is not None and a == before:
            return False
        time.sleep(0.15)
        return x.grab(*g) == a

    return poll(BOUND, shown)


def picture(x, w):
    g = x.geometry(w)
    return x.grab(*g) if g else None


def compose(x, dt, w, keys):
    """Sends the keys to the window's input method and waits until their outcome is shown."""
    before = picture(x, w)
    dt.key(*keys, delay=40)
    still(x, w, before)


def run(dt, t, binary, probe):
    try:
        im = InputMethod(dt)
    except Exception as e:
        t.not_run(CHECKS, "fcitx5 did not start: %s" % e)
        return
    if not im.started:
        t.not_run(CHECKS, "fcitx5 does not answer on its D-Bus session (build/desktop/ime-fcitx5.log)")
        return
    conv = try_engine(dt, t, im, probe)
    if conv is None:
        return
    dt.move(100, 100)
    prog = P.Program(dt, t, binary, env=im.env)
    if not prog.wait_main():
        t.not_run(CHECKS[1:], "no main window of the program was mapped")
        return
    try:
        in_program(prog, dt, t, im, conv)
    except P.Stop as e:
        print("desktop: %s; the input method run stops here" % e, flush=True)
        for line in prog.describe():
            print("  " + line)


def try_engine(dt, t, im, probe):
    """nihongo Space desu Enter in the plain line edit: the engine's conversion of にほんご
    followed by です. Its conversion, or None (the checks of the program are not run)."""
    x = dt.x
    # The pointer where the first window will be (as a user's is): a window mapped with the
    # pointer elsewhere never has fcitx5's input context focused until a second window comes
    # and goes (the engine still takes its keys).
    dt.move(100, 100)
    p = subprocess.Popen([probe], stdout=subprocess.PIPE, stderr=dt.log("imeprobe"), stdin=subprocess.DEVNULL,
                         env=im.env, cwd=dt.home, start_new_session=True)
    try:
        w = poll(BOUND, lambda: next((w for w in x.windows_of_class("imeprobe")
                                      if x.viewable(w) and x.name(w) == "imeprobe"), None))
        if not w:
            t.not_run(CHECKS, "the line edit's window was not mapped")
            return None
        dt.xdotool("windowactivate", "--sync", w)
        poll(BOUND, active_is, x, w)
        im.await_focus("imeprobe")
        if not im.switch(True):
            t.not_run(CHECKS, "fcitx5-remote -o does not switch the engine on in a plain Qt line edit (state %s)" %
                      im.state())
            return None
        compose(x, dt, w, NIHONGO + DESU + ["Return"])
        dt.key("Return")
        line = read_line(p.stdout, BOUND)
        converted = line is not None and line.endswith("です") and len(line) > 2 and not line.isascii()
        t.check("ime-engine", converted, "line edit",
                "nihongo Space desu Enter in a plain Qt line edit gave %r, not a conversion followed by です" % line)
        if not converted:
            t.not_run(CHECKS[1:], "the input method does not convert in a plain Qt line edit")
            return None
        conv = line[:-2]
        print("desktop: the engine converts nihongo to %s" % conv, flush=True)
        if len(conv) > 4:
            t.not_run(CHECKS[1:], "the engine's conversion %s is longer than the checks allow" % conv)
            return None
        return conv
    finally:
        p.kill()
        p.wait()


def read_line(stream, seconds):
    fd = stream.fileno()
    buf = b""
    end = now() + seconds
    while b"\n" not in buf and now() < end:
        r, _, _ = select.select([fd], [], [], 0.1)
        if r:
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            buf += chunk
    if b"\n" not in buf:
        return None
    return buf.split(b"\n")[0].decode("utf-8", "replace")


# The rows of ALL_TYPES whose text columns are NULL (every fifth) take the typed text, so that
# what a cell holds afterwards is exactly what was typed.
GRID_ROW, F2_ROW, DATA_ROW = 5, 10, 5


def cell_point(row_index, col_index):
    """The middle right of a grid cell, client-relative: rows 23 pixels apart from y = 83,
    the ID column from x = 54, 100 pixels a text column (the grid's layout with its fonts)."""
    return (54 + 100 * col_index + 80, 83 + 23 * row_index)


def go(dt, row_index, col_index):
    dt.key("ctrl+Home", *["Down"] * row_index, *["Right"] * col_index)


def in_program(prog, dt, t, im, conv):
    x = prog.x
    store = Store(dt.env["XDG_DATA_HOME"])
    prog.open_table("^ALL_TYPES$", TABLE)
    prog.settle()
    before = store.rows("DEMO", TABLE, KEY)
    expected = {}
    main_ic = im.await_focus("tavrelix") if poll(BOUND, active_is, x, prog.main) else None

    # Grid mode, no editor open: a conversion and the next word typed straight on.
    go(dt, GRID_ROW - 1, 1)
    prog.settle()
    if not im.switch(True):
        t.fail("ime-grid", "switch on", "the engine could not be switched on in the main window")
    compose(x, dt, prog.main, NIHONGO + DESU + ["Return"])
    dt.key("Return")
    expected[(GRID_ROW, "C_VARCHAR2")] = conv + "です"

    # An editor opened with F2: a conversion ended by a click inside the editor.
    go(dt, F2_ROW - 1, 1)
    compose(x, dt, prog.main, ["F2"])
    compose(x, dt, prog.main, NIHONGO)
    before_click = picture(x, prog.main)
    prog.click_at(*cell_point(F2_ROW - 1, 1))
    still(x, prog.main, before_click)
    dt.key("Return")
    expected[(F2_ROW, "C_VARCHAR2")] = conv

    # The data-edit dialog (編集 > データ編集) on C_NVARCHAR2: a conversion ended by a click
    # inside its editor, then Alt+Enter (OK). A new window: the engine is switched on in it.
    prog.settle()
    go(dt, DATA_ROW - 1, 3)
    windows = set(w for w, _ in x.program_windows())
    known = im.ids()
    prog.menu_command(P.TITLE_EDIT, 17)
    d = poll(BOUND, lambda: next((w for w, n in x.program_windows()
                                  if w not in windows and n.startswith(DATA_EDIT) and x.viewable(w)), None))
    if not d:
        t.fail("ime-dataedit", "open", "no window named %s… was mapped" % DATA_EDIT)
    else:
        if poll(BOUND, active_is, x, d):
            im.await_focus("tavrelix", known=known)
        else:
            t.fail("ime-dataedit", "focus", "the data-edit dialog did not become the active window")
        if not im.switch(True):
            t.fail("ime-dataedit", "switch on", "the engine could not be switched on in the data-edit dialog")
        compose(x, dt, d, NIHONGO)
        ex, ey, ew, eh = x.geometry(d)
        before_click = picture(x, d)
        dt.click(ex + ew // 2, ey + 40)
        still(x, d, before_click)
        dt.key("alt+Return")
        if not poll(BOUND, prog.gone, d):
            t.fail("ime-dataedit", "OK", "Alt+Enter did not close the data-edit dialog")
            dt.key("Escape")
        expected[(DATA_ROW, "C_NVARCHAR2")] = conv
    prog.settle()
    mainrun.commit_yes(prog, TABLE)

    # The WHERE editor of the table-selection dialog: the condition picks the row whose ID is
    # five times the length of the converted text (the fifteenth for 日本語); composed twice it
    # would pick none. The engine is on for the text in quotes only.
    before_ids = x.named(P.TABLE_DIALOG)
    known = im.ids()
    prog.menu_command(P.TITLE_FILE, 1)
    d = poll(BOUND, prog.new_dialog, P.TABLE_DIALOG, before_ids)
    where_row = 5 * len(conv)
    if not d or not poll(BOUND, active_is, x, d):
        t.fail("ime-where", "open", "the table-selection dialog did not open and take the focus")
    else:
        im.await_focus("tavrelix", known=known)
        dt.key("alt+w")
        dt.type("ID = 5 * length('")
        if not im.switch(True):
            t.fail("ime-where", "switch on", "the engine could not be switched on in the table-selection dialog")
        compose(x, dt, d, NIHONGO)
        before_click = picture(x, d)
        dt.click(*where_editor(prog, d))
        still(x, d, before_click)
        im.switch(False)
        dt.key("End")
        dt.type("')")
        dt.trace("where")
        # OK: Enter in the filter field.
        dt.key("alt+f", "Return")
        if not poll(BOUND, prog.gone, d):
            t.fail("ime-where", "OK", "the table-selection dialog did not close")
            prog.unstick()
        prog.settle()
        dt.trace("where-result")
        # The first row shown gets a mark in C_VARCHAR2_CHAR, typed with the engine off.
        im.await_focus("tavrelix", want=main_ic)
        im.switch(False)
        go(dt, 0, 2)
        dt.enter("w1", delay=30)
        prog.settle()
        dt.trace("where-mark")
        mainrun.commit_yes(prog, TABLE)
        expected[(where_row, "C_VARCHAR2_CHAR")] = "w1"

    if im.unflagged:
        print("desktop: fcitx5 did not flag the focused window's input context %d times (the keys went on)" %
              len(im.unflagged), flush=True)
    after = store.rows("DEMO", TABLE, KEY)
    got = lambda k, c: after.get(k, {}).get(c)
    for check, (k, c) in (("ime-grid", (GRID_ROW, "C_VARCHAR2")), ("ime-f2-click", (F2_ROW, "C_VARCHAR2")),
                          ("ime-dataedit", (DATA_ROW, "C_NVARCHAR2"))):
        if (k, c) in expected and not t.failed_before(check):
            t.check(check, got(k, c) == expected[(k, c)], "commit", "ID %d's %s holds %r, not %r" % (
                k, c, got(k, c), expected[(k, c)]))
    if (where_row, "C_VARCHAR2_CHAR") in expected and not t.failed_before("ime-where"):
        marked = sorted(k for k, r in after.items() if r.get("C_VARCHAR2_CHAR") == "w1")
        t.check("ime-where", marked == [where_row], "commit",
                "the condition ID = 5 * length('%s') picked %s, not the row %d" % (
                    conv, "rows %s" % marked if marked else "no row", where_row))
    # The mark's cells are the WHERE check's to judge.
    wrong = [w for w in differences(before, after, expected)
             if (w[0], w[1]) not in expected and not (w[1] == "C_VARCHAR2_CHAR" and w[3] == "w1")]
    t.check("ime-saved", not wrong, "commit", "cells nobody typed into changed: %s" % (
        "; ".join("%s.%s is %r, not %r" % (k, c, g, w) for k, c, w, g in wrong[:4])))


def where_editor(prog, d):
    """A point in the WHERE editor right of its first line's text: the editor spans the
    dialog's width below the column lists, from 66% of its height."""
    dx, dy, dw, dh = prog.x.geometry(d)
    return dx + dw * 85 // 100, dy + dh * 68 // 100
