"""What the X server says: one connection, functions that return values.

Every answer here comes from the X server (the window tree, map states,
properties, stacking, pixels), never from the program under test. A window
that goes away while it is asked about answers as a window that is not there.
"""

import struct
import zlib

from Xlib import X, Xatom, display, error
from Xlib.protocol import event

GONE = (error.BadWindow, error.BadDrawable, error.BadMatch, error.BadValue)


class XServer:
    def __init__(self, name):
        self.d = display.Display(name)
        self.root = self.d.screen().root
        g = self.root.get_geometry()
        self.width, self.height = g.width, g.height
        self._atoms = {}

    def close(self):
        try:
            self.d.close()
        except Exception:
            pass

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.d.intern_atom(name)
        return self._atoms[name]

    def win(self, wid):
        return self.d.create_resource_object("window", int(wid))

    # --- Properties ------------------------------------------------------------------------------

    def prop(self, wid, name, kind=X.AnyPropertyType):
        try:
            p = self.win(wid).get_full_property(self.atom(name), kind)
        except GONE:
            return None
        return p.value if p is not None else None

    def name(self, wid):
        v = self.prop(wid, "_NET_WM_NAME", self.atom("UTF8_STRING"))
        if v is None:
            return ""
        return v.decode("utf-8", "replace") if isinstance(v, bytes) else str(v)

    def wm_class(self, wid):
        try:
            c = self.win(wid).get_wm_class()
        except GONE:
            return None
        return c

    def wm_state(self, wid):
        """'Normal', 'Iconic', 'Withdrawn', or '' when the window has no WM_STATE."""
        v = self.prop(wid, "WM_STATE", self.atom("WM_STATE"))
        if v is None or len(v) == 0:
            return ""
        return {0: "Withdrawn", 1: "Normal", 3: "Iconic"}.get(v[0], str(v[0]))

    def net_wm_state(self, wid):
        """The names in _NET_WM_STATE, without the prefix: {'MAXIMIZED_VERT', 'HIDDEN', ...}."""
        v = self.prop(wid, "_NET_WM_STATE", Xatom.ATOM)
        if v is None:
            return set()
        out = set()
        for a in v:
            n = self.d.get_atom_name(a)
            out.add(n[len("_NET_WM_STATE_"):] if n.startswith("_NET_WM_STATE_") else n)
        return out

    def transient_for(self, wid):
        v = self.prop(wid, "WM_TRANSIENT_FOR", Xatom.WINDOW)
        return int(v[0]) if v is not None and len(v) else None

    def root_windows(self, name):
        """A root property holding windows (_NET_CLIENT_LIST_STACKING, _NET_ACTIVE_WINDOW)."""
        v = self.prop(self.root.id, name, Xatom.WINDOW)
        return [int(w) for w in v] if v is not None else []

    def wm_running(self):
        return bool(self.root_windows("_NET_SUPPORTING_WM_CHECK"))

    def wm_name(self):
        w = self.root_windows("_NET_SUPPORTING_WM_CHECK")
        return self.name(w[0]) if w else ""

    def workarea(self):
        v = self.prop(self.root.id, "_NET_WORKAREA", Xatom.CARDINAL)
        if v is None or len(v) < 4:
            return (0, 0, self.width, self.height)
        return tuple(int(x) for x in v[:4])

    # --- The tree ----------------------------------------------------------------------------------

    def attributes(self, wid):
        try:
            return self.win(wid).get_attributes()
        except GONE:
            return None

    def map_state(self, wid):
        """'IsViewable', 'IsUnviewable', 'IsUnMapped', or '' when the window is gone."""
        a = self.attributes(wid)
        if a is None:
            return ""
        return {X.IsUnmapped: "IsUnMapped", X.IsUnviewable: "IsUnviewable", X.IsViewable: "IsViewable"}[a.map_state]

    def viewable(self, wid):
        return self.map_state(wid) == "IsViewable"

    def override_redirect(self, wid):
        a = self.attributes(wid)
        return bool(a and a.override_redirect)

    def tree(self, wid):
        try:
            return self.win(wid).query_tree()
        except GONE:
            return None

    def parent(self, wid):
        t = self.tree(wid)
        return int(t.parent.id) if t is not None and t.parent else None

    def children(self, wid):
        """Children bottom first (the X server's stacking order)."""
        t = self.tree(wid)
        return [int(c.id) for c in t.children] if t is not None else []

    def top_of(self, wid):
        """The root's child that holds a window: its frame when the window manager manages it,
        the window itself when not; None when the window is gone."""
        w = int(wid)
        for _ in range(8):
            p = self.parent(w)
            if p is None:
                return None
            if p == self.root.id:
                return w
            w = p
        return None

    def geometry(self, wid):
        """Absolute x, y, width, height; None when the window is gone."""
        try:
            w = self.win(wid)
            g = w.get_geometry()
            t = w.translate_coords(self.root, 0, 0)
        except GONE:
            return None
        return (-t.x, -t.y, g.width, g.height)

    def windows_of_class(self, cls="tavrelix"):
        """Every window whose WM_CLASS names the class, the root's children and their
        descendants to the depth of a frame, as ids."""
        out = []

        def walk(w, depth):
            c = self.wm_class(w)
            if c and cls in c:
                out.append(w)
                return
            if depth < 4:
                for k in self.children(w):
                    walk(k, depth + 1)

        for w in self.children(self.root.id):
            walk(w, 1)
        return out

    def program_windows(self, cls="tavrelix"):
        """The program's windows that carry a name: [(id, name)]."""
        out = []
        for w in self.windows_of_class(cls):
            n = self.name(w)
            if n:
                out.append((w, n))
        return out

    def named(self, name, cls="tavrelix"):
        return [w for w, n in self.program_windows(cls) if n == name]

    def above(self, a, b):
        """A's frame is higher than B's in the root's stacking order."""
        ta, tb = self.top_of(a), self.top_of(b)
        if ta is None or tb is None or ta == tb:
            return False
        order = self.children(self.root.id)
        return ta in order and tb in order and order.index(ta) > order.index(tb)

    def on_screen(self, wid):
        t = self.top_of(wid)
        g = self.geometry(t) if t is not None else None
        if g is None:
            return False
        x, y, w, h = g
        return x >= 0 and y >= 0 and x + w <= self.width and y + h <= self.height

    def popups(self, cls="tavrelix"):
        """The program's viewable override-redirect windows (menus), as (id, x)."""
        out = []
        for w in self.children(self.root.id):
            c = self.wm_class(w)
            if not c or cls not in c:
                continue
            a = self.attributes(w)
            if a is None or not a.override_redirect or a.map_state != X.IsViewable:
                continue
            g = self.geometry(w)
            if g is not None:
                out.append((w, g[0]))
        return out

    def stacking(self):
        """The root's children top first, leaving out 1x1 windows."""
        out = []
        for w in reversed(self.children(self.root.id)):
            g = self.geometry(w)
            if g is not None and (g[2], g[3]) != (1, 1):
                out.append(w)
        return out

    def ask_close(self, wid):
        """Asks the window manager to close the window (_NET_CLOSE_WINDOW, as a task bar's
        close does); the window manager sends it its WM_DELETE_WINDOW."""
        ev = event.ClientMessage(window=self.win(wid), client_type=self.atom("_NET_CLOSE_WINDOW"),
                                 data=(32, [0, 2, 0, 0, 0]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.flush()

    # --- Pixels ------------------------------------------------------------------------------------

    def grab(self, x, y, w, h):
        """The screen's pixels in the rectangle (clipped to the screen), as an Image."""
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + w), min(self.height, y + h)
        if x1 <= x0 or y1 <= y0:
            return Image(0, 0, b"")
        r = self.root.get_image(x0, y0, x1 - x0, y1 - y0, X.ZPixmap, 0xFFFFFFFF)
        return Image(x1 - x0, y1 - y0, bytes(r.data))

    def screenshot(self, path):
        self.grab(0, 0, self.width, self.height).save_png(path)


class Image:
    """Pixels as the X server gives them: 32 bits a pixel, blue first."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def __eq__(self, other):
        return (self.width, self.height, self.data) == (other.width, other.height, other.data)

    def __ne__(self, other):
        return not self == other

    def pixel(self, x, y):
        i = (y * self.width + x) * 4
        b, g, r = self.data[i], self.data[i + 1], self.data[i + 2]
        return (r, g, b)

    def save_png(self, path):
        rows = bytearray()
        for y in range(self.height):
            rows.append(0)
            line = self.data[y * self.width * 4:(y + 1) * self.width * 4]
            rgb = bytearray(len(line) // 4 * 3)
            rgb[0::3] = line[2::4]
            rgb[1::3] = line[1::4]
            rgb[2::3] = line[0::4]
            rows += rgb

        def chunk(kind, body):
            c = struct.pack(">I", len(body)) + kind + body
            return c + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 6)))
            f.write(chunk(b"IEND", b""))

