"""The main run under openbox: the program's windows through hundreds of steps, its
dialogs, menus, moves, resizes and scroll bars; the edits read back from the table
after the commit; the window states; the cancel key."""

import subprocess

import program as P
import wmstates
from session import BOUND, now, poll, holds
from store import Store, differences

TABLE = "社員"
KEY = "社員番号"
# Single-cell edits go down these columns in turn (their grid column from 社員番号).
EDIT_COLUMNS = [(1, "氏名"), (2, "フリガナ"), (3, "部署"), (6, "備考")]
ENDLESS = "(let loop () (loop))"


class Edits:
    """What the grid should hold: {(row index, column name): text}, kept as the keys are sent."""

    def __init__(self):
        self.cells = {}

    def set(self, row, col, text):
        self.cells[(row, col)] = text

    def replace_all(self, old, new):
        for k, v in self.cells.items():
            self.cells[k] = v.replace(old, new)

    def expected(self, keys):
        """As store.differences wants it: {(key, column): text}."""
        return {(keys[r], c): v for (r, c), v in self.cells.items()}


def run(dt, t, binary, counts):
    """counts: the TAVRELIX_DESKTOP_EDITS, _UNDO and _DIALOGS numbers."""
    edits_n, undos_n, openings_n = counts
    prog = P.Program(dt, t, binary)
    if not prog.wait_main():
        t.fail("main-mapped", "start-up", "no main window named DEMO@DEMO was mapped with its WM_STATE")
        return
    print("main window 0x%x in frame 0x%x, shown after %d ms" % (
        prog.main, prog.frame, (now() - prog.started) * 1000), flush=True)
    try:
        _run(prog, dt, t, edits_n, undos_n, openings_n)
    except P.Stop as e:
        print("desktop: %s; the run stops here" % e, flush=True)
        for line in prog.describe():
            print("  " + line)


def _run(prog, dt, t, edits_n, undos_n, openings_n):
    store = Store(dt.env["XDG_DATA_HOME"])
    prog.check_main("start-up")

    prog.open_table(r"^\x{793E}\x{54E1}$", TABLE)
    prog.check_main("first table")
    prog.settle()
    before = store.rows("DEMO", TABLE, KEY)
    keys = sorted(before)  # the grid's rows in order of the key
    model = Edits()

    # The counts item after the first edit (氏名 of the first row): repainted.
    counts_none = prog.counts()
    prog.click_at(150, 80)  # a cell of the first row
    dt.key("ctrl+Home", "Right")
    dt.enter("c1", delay=30)
    model.set(0, "氏名", "c1")
    dt.park_mouse()
    if poll(10, lambda: prog.counts() != counts_none):
        t.ok("counts-repaint")
    else:
        t.fail("counts-repaint", "first edit", "the counts item's pixels are the same as before the edit")
    prog.check_main("first edit")
    prog.settle()

    menus(prog, t)
    move_and_resize(prog, dt, t)
    scroll(prog, dt, t)

    # Single-cell edits with Enter, down the four text columns in turn. The grid's picture
    # (scrolled home: Ctrl+Home, which the undo history does not see) is kept at the edit
    # the undo steps go back to and after the last.
    grid_area = lambda: (0, 50, prog.client()[2], prog.client()[3] - 50)

    def home_picture():
        dt.key("ctrl+Home")
        prog.settle()
        return prog.crop(*grid_area())

    mid = home_picture() if undos_n >= edits_n else None
    prog.click_at(150, 80)
    for i in range(1, edits_n + 1):
        block = (i - 1) // 20
        col, name = EDIT_COLUMNS[block % 4]
        if (i - 1) % 20 == 0:
            dt.key("ctrl+Home", *["Right"] * col)
        dt.enter("t%d" % i, delay=15)
        model.set((i - 1) % 20, name, "t%d" % i)
        prog.check_main("edit %d" % i)
        if i == edits_n - undos_n and i < edits_n:
            mid = home_picture()
            dt.key("ctrl+Home", *["Right"] * EDIT_COLUMNS[i // 20 % 4][0], *["Down"] * (i % 20))
    prog.settle()
    prog.check_main("after the edits")
    print("desktop: %d edits done at %d s" % (edits_n, t.elapsed()), flush=True)

    # Undo and redo: the grid's picture after the undo steps is its picture at the edit they
    # go back to, after as many redo steps its picture after the last edit (with the table
    # read back after the commit, every one of the steps arrived); the counts item is the
    # same as after the edits.
    edited = home_picture()
    counts_edited = prog.counts()
    for i in range(1, undos_n + 1):
        dt.key("ctrl+z")
        prog.check_main("undo %d" % i)
    undone = home_picture()
    for i in range(1, undos_n + 1):
        dt.key("ctrl+y")
        prog.check_main("redo %d" % i)
    redone = home_picture()
    prog.check_main("after undo and redo")
    if undos_n == 0:
        pass
    elif undone == edited:
        t.fail("undo-redo-shown", "undo", "the grid's picture is the same after %d undo steps as before them" % undos_n)
    elif undone != mid:
        t.fail("undo-redo-shown", "undo", "after %d undo steps the grid's picture is not what it was after edit %d" % (
            undos_n, max(0, edits_n - undos_n)))
    elif redone != edited:
        t.fail("undo-redo-shown", "redo", "after %d undo and %d redo steps the grid's picture is not what it was" % (
            undos_n, undos_n))
    else:
        t.ok("undo-redo-shown")
    t.check("counts-shown", counts_edited != counts_none and prog.counts() == counts_edited, "undo and redo",
            "the counts item after the edits %s" % (
                "is as before them" if counts_edited == counts_none else "changed with the undo and redo steps"))
    print("desktop: %d undo and redo steps done at %d s" % (undos_n, t.elapsed()), flush=True)

    replace(prog, dt, t, model)
    commit(prog, dt, t)

    # The table through a second session: every edit, once, and nothing else.
    after = store.rows("DEMO", TABLE, KEY)
    wrong = differences(before, after, model.expected(keys))
    if wrong:
        t.fail("edits-saved", "commit", "%d cells of %s are not what the edits made them; first: %s" % (
            len(wrong), TABLE, "; ".join("%s.%s is %r, not %r" % (k, c, g, w) for k, c, w, g in wrong[:4])))
    else:
        t.ok("edits-saved")
    # After the commit and its re-query, the counts item is as before any edit.
    t.check("counts-shown", poll(5, lambda: prog.counts() == counts_none), "commit",
            "after the commit the counts item is not as it was before any edit")

    # The modal dialogs, opened from their menus and closed with Escape (with no unsaved
    # edits, so the table-selection dialog opens without a question).
    for i in range(1, openings_n + 1):
        prog.modal_via_menu(P.TABLE_DIALOG, P.TITLE_FILE, 1, "table dialog %d" % i, "Escape")
        prog.modal_via_menu("Gridのソート", P.TITLE_DATA, 11, "sort dialog %d" % i, "Escape")
        prog.modal_via_menu("オプション", P.TITLE_TOOL, 3, "options dialog %d" % i, "Escape")
    prog.settle()
    print("desktop: %d openings of each dialog done at %d s" % (openings_n, t.elapsed()), flush=True)
    prog.check_main("dialogs")

    wmstates.window_states(prog)
    print("desktop: window states done at %d s" % (t.elapsed()), flush=True)

    cancel_key(prog, dt, t, store, keys)
    prog.check_main("end")


def menus(prog, t):
    """A click outside an open menu closes it; a click on the next title opens it."""
    dt = prog.dt
    if prog.open_menu(P.TITLE_FILE):
        prog.click_at(400, 30)  # the toolbar's empty part
        if poll(BOUND, prog.no_menu_popup):
            if prog.open_menu(P.TITLE_EDIT):
                t.ok("menu-click-outside")
            else:
                t.fail("menu-click-outside", "next menu", "the menu 編集 did not open after the first menu was closed")
        else:
            t.fail("menu-click-outside", "click outside", "the menu ファイル stayed open after a click outside it")
        dt.key("Escape", "Escape")
        poll(BOUND, prog.no_menu_popup)
    else:
        t.fail("menu-click-outside", "first menu", "the menu ファイル did not open")
    prog.check_main("menus")
    prog.settle()


def move_and_resize(prog, dt, t):
    x = prog.x
    # The window moved by its title bar stays where it was put when a menu opens.
    x0, y0, _, _ = prog.client()
    fx, fy, fw, _ = x.geometry(x.top_of(prog.main))
    dt.drag(fx + fw // 2, fy + 8, [(fx + fw // 2 + 15 * i, fy + 8 + 10 * i) for i in range(1, 11)])
    to = (x0 + 150, y0 + 100)
    at = lambda: prog.client()[:2]
    if poll(BOUND, lambda: at() == to):
        if prog.open_menu(P.TITLE_FILE):
            popup = prog.menu_popup(to[0] + P.TITLE_FILE - 40, to[0] + P.TITLE_FILE + 10)
            if at() != to:
                t.fail("move-stays", "menu open", "the window went from %s to %s" % (to, at()))
            elif not popup:
                t.fail("move-stays", "menu open", "the menu did not open under its title at the moved place")
            else:
                dt.key("Escape")
                poll(BOUND, prog.no_menu_popup)
                t.check("move-stays", at() == to, "menu closed", "the window went from %s to %s" % (to, at()))
            dt.key("Escape")
        else:
            t.fail("move-stays", "menu", "the menu ファイル did not open after the move")
    else:
        t.fail("move-stays", "title-bar drag", "the window is at %s, not at %s" % (at(), to))
    prog.check_main("move")
    prog.settle()

    # A drag on the frame's bottom-right corner resizes the window.
    _, _, w0, h0 = prog.client()
    fx, fy, fw, fh = x.geometry(x.top_of(prog.main))
    dt.drag(fx + fw - 2, fy + fh - 2, [(fx + fw - 2 - 15 * i, fy + fh - 2 - 17 * i) for i in range(1, 11)])
    resized = lambda: prog.client()[2] < w0 and prog.client()[3] < h0
    if poll(BOUND, resized):
        t.ok("corner-resize")
    else:
        t.fail("corner-resize", "corner drag", "the window stayed %dx%d (was %dx%d)" % (prog.client()[2:] + (w0, h0)))
        # The scroll bars need fewer rows than the table has: resized by the window
        # manager's own request instead.
        dt.xdotool("windowsize", prog.main, w0 - 150, h0 - 170)
        poll(BOUND, resized)
    prog.check_main("resize")
    prog.settle()


def scroll(prog, dt, t):
    """The vertical scroll bar at the client's right edge: its down arrow (above the horizontal
    bar and the status bar) and its trough move the first visible row (the row-number
    column's pixels)."""
    def click(check, above_bottom, what):
        _, _, cw, ch = prog.client()
        rows = (2, 75, 45, ch - 150)
        before = prog.crop(*rows)
        prog.click_at(cw - 7, ch - above_bottom)
        dt.park_mouse()
        if poll(10, prog.crop_differs, before, *rows):
            t.ok(check)
        else:
            t.fail(check, what, "the row numbers are the same after a click on the " + what)

    click("scroll-arrow", 43, "down arrow")
    prog.settle()
    click("scroll-trough", 70, "trough")
    prog.check_main("scroll")
    prog.settle()


def replace(prog, dt, t, model):
    """The replace dialog (modeless) stays above the main window after 全て置換, and after a
    click on the main window's menu bar, as an owned window does."""
    x = prog.x
    prog.click_at(150, 80)
    before = x.named("置換")
    dt.key("ctrl+h")
    r = poll(BOUND, prog.new_dialog, "置換", before)
    if not r:
        t.fail("modeless-above", "Ctrl+H", "no window named 置換 was made")
        prog.check_main("replace")
        return
    poll(BOUND, x.viewable, r)
    dt.type("t1")
    dt.key("Tab")
    dt.type("r1")
    grid = lambda: (0, 50, prog.client()[2], prog.client()[3] - 50)
    shown = prog.crop(*grid())
    dt.key("alt+a")
    # Done when the grid shows the replacement (the main window's pixels change); then the
    # dialog must be, and stay, viewable above it.
    if poll(BOUND, prog.crop_differs, shown, *grid()):
        model.replace_all("t1", "r1")
    above = lambda: x.viewable(r) and x.above(r, prog.main)
    state = lambda: "置換 (0x%x): map state %s, above the main window: %s" % (
        r, x.map_state(r), "yes" if x.above(r, prog.main) else "no")
    if not poll(BOUND, above):
        t.fail("modeless-above", "全て置換", state())
    else:
        prog.settle()
        t.check("modeless-above", poll(BOUND, above), "a click on the main window", state())
    # Closed by its 閉じる button (below 全て置換 at its right edge), brought up first when it
    # went under the main window.
    if not x.above(r, prog.main):
        dt.xdotool("windowactivate", "--sync", r)
    rx, ry, rw, rh = x.geometry(r)
    dt.click(rx + rw * 293 // 330, ry + rh * 82 // 112)
    if poll(BOUND, prog.gone, r):
        t.ok("dialog-closes")
    else:
        prog.close_dialog(r, "replace", "Escape")
    prog.check_main("replace")
    prog.settle()


def ask_commit(prog, key, answer):
    """ファイル > commit, its question answered by the key: the question's id, or None."""
    before = prog.x.named("MESSAGE")
    prog.menu_command(P.TITLE_FILE, 3)
    d = prog.check_modal("MESSAGE", before, "commit question (%s)" % answer)
    if not d:
        return None
    prog.check_main("commit question (%s) open" % answer)
    prog.close_dialog(d, "commit question (%s)" % answer, key)
    return d


def commit(prog, dt, t, table=TABLE):
    """The commit question, answered No, then Yes (and the summary's Yes)."""
    ask_commit(prog, "n", "No")
    prog.check_main("commit question (No)")
    prog.settle()
    commit_yes(prog, table)


def commit_yes(prog, table):
    before = prog.x.named("MESSAGE")
    d = ask_commit(prog, "y", "Yes")
    if d:
        s = prog.check_modal("MESSAGE", before + [d], "commit summary")
        if s:
            prog.check_main("commit summary open")
            prog.close_dialog(s, "commit summary", "y")
    poll(BOUND, prog.titled, table)
    prog.check_main("commit")
    prog.settle()


def cancel_key(prog, dt, t, store, keys, check="cancel-key"):
    """An endless script run from the clipboard (ツール > マクロを実行(クリップボード)) is stopped by
    Ctrl+Pause: the program answers again (a menu opens) within 2 s, the counts item shows the
    edit made before the script, and a commit after it saves that edit."""
    x = prog.x
    counts_none = prog.counts()
    prog.click_at(150, 80)
    dt.key("ctrl+Home", "Right")
    dt.enter("k1", delay=30)
    prog.settle()
    counts_pending = prog.counts()
    if counts_pending == counts_none:
        t.fail(check, "edit", "the counts item did not change with the edit made before the script")
        return
    _, _, cw, ch = prog.client()
    status = (0, ch - 22, 300, 22)  # the status bar's message pane
    idle = prog.crop(*status)
    clip = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet"], stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dt.env)
    clip.stdin.write(ENDLESS.encode())
    clip.stdin.close()
    try:
        windows = set(w for w, _ in x.program_windows())
        if not prog.menu_command(P.TITLE_TOOL, 6):
            t.fail(check, "menu", "the menu ツール did not open")
            return
        # Running: the status bar's message changes and no box opens (the script did not
        # end on an error).
        running = poll(BOUND, prog.crop_differs, idle, *status)
        busy = prog.crop(*status)
        new = lambda: [n for w, n in x.program_windows() if w not in windows and x.viewable(w)]
        if not running or not holds(1.0, lambda: not new()):
            t.fail(check, "script", "the script did not run: %s" % (
                "a window %s opened" % new() if new() else "the status bar did not change"))
            return
        dt.key("ctrl+Pause")
        pressed = now()
        # Answering: the status bar no longer shows the running script, and a click on a menu
        # title opens its menu, within 2 s of the key.
        poll(1.5, lambda: prog.crop(*status) != busy)
        title = prog.client()[0] + P.TITLE_FILE
        prog.click_at(P.TITLE_FILE, P.MENU_Y)
        opened = poll(max(0.5, pressed + 2.0 - now()), prog.menu_popup, title - 40, title + 10)
        took = now() - pressed
        ok = bool(opened) and took <= 2.0
        if ok:
            print("desktop: the program answered %d ms after Ctrl+Pause" % (took * 1000), flush=True)
        else:
            t.fail(check, "Ctrl+Pause", "the program did not answer within 2 s of Ctrl+Pause (a menu did not open)")
            # Held for a while, as a user tries next; if it still runs, the run ends here.
            dt.xdotool("keydown", "ctrl", "keydown", "Pause", "sleep", "1.5", "keyup", "Pause", "keyup", "ctrl")
            if not poll(BOUND, prog.menu_popup) and not prog.open_menu(P.TITLE_FILE):
                raise P.Stop("the script runs on after the cancel key")
        dt.key("Escape")
        poll(BOUND, prog.no_menu_popup)
        if ok and prog.crop(*status) == busy:
            t.fail(check, "status", "the status bar still shows the running script")
            ok = False
        if ok and prog.counts() != counts_pending:
            t.fail(check, "counts", "the counts item is not what it was before the script")
            ok = False
        prog.check_main("cancel key")
    finally:
        clip.kill()
        clip.wait()
    before = store.rows("DEMO", TABLE, KEY)
    commit_yes(prog, TABLE)
    after = store.rows("DEMO", TABLE, KEY)
    wrong = differences(before, after, {(keys[0], "氏名"): "k1"})
    if ok and wrong:
        t.fail(check, "commit", "after the cancel the commit did not save the pending edit: %s" % (
            "; ".join("%s.%s is %r, not %r" % (k, c, g, w) for k, c, w, g in wrong[:4])))
        ok = False
    if ok:
        t.ok(check)
