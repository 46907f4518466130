"""The program on a desktop, driven through its own input (xdotool) and checked by
what the X server answers."""


from session import BOUND, now, poll

# Menu titles, as client-relative x at y = 10 (the menu bar's fixed layout with its
# fonts): ファイル, 編集, データ, ツール.
TITLE_FILE, TITLE_EDIT, TITLE_DATA, TITLE_TOOL = 32, 83, 130, 220
MENU_Y = 10
# The counts item is right of the titles, which end before this x; its text is some 160
# pixels wide.
COUNTS_X, COUNTS_W = 300, 240
TABLE_DIALOG = "テーブル選択(検索条件設定)"


class Stop(Exception):
    """The run cannot go on (the program is gone, its menus no longer open)."""


class Program:
    def __init__(self, desktop, tally, binary, env=None, args=("LOGON=DEMO/demo@DEMO",), prefix=""):
        """prefix: put before the names of the checks this run counts (a second window manager's)."""
        self.dt, self.x, self.t = desktop, desktop.x, tally
        self.prefix = prefix
        self.main = None
        self.frame = None
        self.dead_menus = 0
        tally.desktop = desktop
        tally.describe = self.describe
        self.started = now()
        self.proc = desktop.spawn([binary, *args], "program", env=env)

    def running(self):
        return self.proc.poll() is None

    # --- What the X server says about the program's windows --------------------------------------

    def describe(self):
        x = self.x
        lines = ["program windows (id, map state, WM_STATE, frame, geometry, _NET_WM_STATE, transient for, name):"]
        for w, n in x.program_windows():
            t = x.transient_for(w)
            top = x.top_of(w)
            lines.append("  0x%x %s %s %s %s %s %s \"%s\"" % (
                w, x.map_state(w) or "gone", x.wm_state(w) or "-", "0x%x" % top if top else "none",
                ",".join(map(str, x.geometry(w) or ())), ",".join(sorted(x.net_wm_state(w))) or "-",
                "0x%x" % t if t else "-", n))
        lines.append("stacking, top first: " + " ".join("0x%x" % w for w in x.stacking()))
        lines.append("active window: " + " ".join("0x%x" % w for w in x.root_windows("_NET_ACTIVE_WINDOW")))
        if not self.running():
            lines.append("the program is no longer running (exit status %s)" % self.proc.returncode)
        return lines

    def find_main(self):
        for w, n in self.x.program_windows():
            if n.startswith("DEMO@DEMO") and self.x.viewable(w) and self.x.wm_state(w) == "Normal":
                return w
        return None

    def wait_main(self):
        self.main = poll(BOUND, self.find_main)
        if not self.main:
            return False
        self.frame = self.x.top_of(self.main)
        return True

    def title(self):
        return self.x.name(self.main)

    def titled(self, table):
        return self.title().endswith(table)

    def client(self):
        """The main window's client area: x, y, width, height."""
        return self.x.geometry(self.main) or (0, 0, 0, 0)

    def check_main(self, where):
        """The main window is viewable with WM_STATE Normal and still in the frame it had; a
        re-framed window is followed to its new frame so that each re-mapping is counted once.
        A withdrawn window is mapped again by hand (after the failure is counted) so that the
        later checks still run."""
        x, m = self.x, self.main
        if x.viewable(m) and x.wm_state(m) == "Normal":
            self.t.ok(self.prefix + "main-mapped")
        else:
            self.t.fail(self.prefix + "main-mapped", where, "main window: map state %s, WM_STATE '%s'" % (x.map_state(m), x.wm_state(m)))
            if not self.running():
                raise Stop("the program ended")
            self.dt.xdotool("windowmap", m)
            poll(BOUND, x.viewable, m)
        f = x.top_of(m)
        if f == self.frame:
            self.t.ok(self.prefix + "main-frame")
        else:
            self.t.fail(self.prefix + "main-frame", where, "the main window was mapped again: frame 0x%x became %s" % (
                self.frame, "0x%x" % f if f else "none"))
            self.frame = f

    # --- Input -----------------------------------------------------------------------------------

    def click_at(self, cx, cy, repeat=1):
        x, y, _, _ = self.client()
        self.dt.click(x + cx, y + cy, repeat=repeat)

    def menu_popup(self, lo=-100000, hi=100000):
        for w, left in self.x.popups():
            if lo <= left <= hi:
                return w
        return None

    def no_menu_popup(self):
        return self.menu_popup() is None

    def open_menu(self, title_x):
        self.click_at(title_x, MENU_Y)
        cx = self.client()[0]
        return poll(BOUND, self.menu_popup, cx + title_x - 40, cx + title_x + 10)

    def unstick(self):
        """What a user does when the program seems frozen: Escape, and a window of the program
        other than the main one that is viewable is brought up and sent Escape too."""
        self.dt.key("Escape", "Escape")
        for w, n in self.x.program_windows():
            if w == self.main or not self.x.viewable(w) or not self.x.wm_state(w):
                continue
            print("  (closing %s 0x%x that was left open)" % (n, w), flush=True)
            self.dt.xdotool("windowactivate", "--sync", w)
            self.dt.key("Escape")
            poll(5, self.gone, w)

    def menu_command(self, title_x, n):
        """The nth item of the menu (separators not counted), by the keyboard in the open popup.
        A menu that does not open is tried once more after unstick; after three menus in a row
        that never opened the run stops."""
        if not self.open_menu(title_x):
            print("  (the menu at %d did not open: %s)" % (
                title_x, "a popup is open elsewhere" if self.menu_popup() else "no popup"), flush=True)
            self.unstick()
            if not self.open_menu(title_x):
                self.dead_menus += 1
                if self.dead_menus >= 3:
                    raise Stop("the program's menus no longer open")
                return False
        self.dead_menus = 0
        self.dt.key(*(["Down"] * n), "Return")
        return True

    def settle(self):
        """The program has handled all input sent so far, as far as the X server can tell: a menu
        opened after it opens, and closes again."""
        self.dt.park_mouse()
        if self.open_menu(TITLE_FILE):
            self.dt.key("Escape")
            poll(BOUND, self.no_menu_popup)
        self.dt.park_mouse()

    # --- Dialogs ---------------------------------------------------------------------------------

    def gone(self, w):
        return not self.x.viewable(w)

    def new_dialog(self, name, before):
        for w in self.x.named(name):
            if w not in before:
                return w
        return None

    def dialog_settled(self, name, before):
        prefix = self.prefix
        d = self.new_dialog(name, before)
        if not d:
            return False
        x, t = self.x, self.t
        return ((t.failed_before(prefix + "modal-mapped") or (x.viewable(d) and x.wm_state(d))) and
                (t.failed_before(prefix + "modal-on-screen") or x.on_screen(d)) and
                (t.failed_before(prefix + "modal-above") or x.above(d, self.main)) and
                (t.failed_before(prefix + "modal-transient") or x.transient_for(d) == self.main))

    def check_modal(self, name, before, where):
        """Waits for the dialog to open and checks its facets; its id, or None when none was made."""
        x, t, prefix = self.x, self.t, self.prefix
        poll(BOUND, self.dialog_settled, name, before)
        d = self.new_dialog(name, before)
        if not d:
            t.fail(prefix + "modal-mapped", where, "no window named %s was made" % name)
            return None
        t.check(prefix + "modal-mapped", x.viewable(d) and x.wm_state(d), where,
                "%s (0x%x): map state %s, WM_STATE '%s'" % (name, d, x.map_state(d), x.wm_state(d)))
        t.check(prefix + "modal-on-screen", x.on_screen(d), where, "%s (0x%x): frame %s on a %dx%d screen" % (
            name, d, x.geometry(x.top_of(d) or d), x.width, x.height))
        t.check(prefix + "modal-above", x.above(d, self.main), where, "%s (0x%x) is not above the main window" % (name, d))
        tf = x.transient_for(d)
        t.check(prefix + "modal-transient", tf == self.main, where, "%s (0x%x): WM_TRANSIENT_FOR %s" % (
            name, d, "0x%x" % tf if tf else "none"))
        return d

    def close_dialog(self, d, where, *keys):
        """Sends the keys, waits until the dialog is gone."""
        prefix = self.prefix
        self.dt.key(*keys)
        if poll(BOUND, self.gone, d):
            self.t.ok(prefix + "dialog-closes")
            return True
        self.t.fail(prefix + "dialog-closes", where, "0x%x is still viewable after %s" % (d, " ".join(keys)))
        self.dt.xdotool("windowactivate", "--sync", d)
        self.dt.key(*keys)
        if poll(BOUND, self.gone, d):
            return True
        raise Stop("the dialog 0x%x cannot be closed" % d)

    def modal_via_menu(self, name, title_x, n, where, *keys):
        """Opens a modal dialog with a menu command, checks it and the main window, closes it with
        the keys."""
        before = self.x.named(name)
        if not self.menu_command(title_x, n):
            self.t.fail(self.prefix + "modal-mapped", where, "the menu for %s did not open" % name)
            return False
        d = self.check_modal(name, before, where)
        if not d:
            return False
        self.check_main("%s, %s open" % (where, name))
        self.close_dialog(d, where, *keys)
        self.check_main("%s, %s closed" % (where, name))
        return True

    def open_table(self, pattern, table, where_clause=None):
        """The table-selection dialog as a user opens it: its filter (a regular expression in
        plain ASCII: xdotool types other characters through a borrowed key code, which can be
        lost) picks the table, Enter is OK. The dialog's id, or None."""
        before = self.x.named(TABLE_DIALOG)
        self.menu_command(TITLE_FILE, 1)
        d = self.check_modal(TABLE_DIALOG, before, "open " + table)
        if d and not self.x.viewable(d):
            self.dt.xdotool("windowmap", d)
        if d and not self.x.above(d, self.main):
            self.dt.xdotool("windowactivate", d)
        self.dt.key("alt+f")
        self.dt.type(pattern)
        self.dt.key("Return")
        if not poll(BOUND, self.titled, table):
            raise Stop("the table %s could not be opened" % table)
        if d:
            poll(BOUND, self.gone, d)
        return d

    # --- Pixels ----------------------------------------------------------------------------------

    def crop(self, cx, cy, w, h):
        """The screen's pixels in a rectangle of the main window's client area."""
        x, y, _, _ = self.client()
        return self.x.grab(x + cx, y + cy, w, h)

    def counts(self):
        """The counts item of the menu bar (right of the titles)."""
        return self.crop(COUNTS_X, 0, COUNTS_W, 20)

    def crop_differs(self, before, cx, cy, w, h):
        return self.crop(cx, cy, w, h) != before

    def crop_equals(self, before, cx, cy, w, h):
        return self.crop(cx, cy, w, h) == before
