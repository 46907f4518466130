"""The demo database as another session sees it: a connection of its own to the
client stand-in's store (the SQLite files under $XDG_DATA_HOME/tavrelix/oci/),
read-only, so it holds what was committed and nothing the program has pending."""

import os
import sqlite3


class Store:
    def __init__(self, data_home, service="demo"):
        self.dir = os.path.join(data_home, "tavrelix", "oci", service)

    def _connect(self, user):
        cat = sqlite3.connect("file:%s?mode=ro" % os.path.join(self.dir, "catalog.db"), uri=True)
        try:
            row = cat.execute("SELECT user_id FROM users WHERE username = ?", (user,)).fetchone()
        finally:
            cat.close()
        if row is None:
            raise LookupError("no user %s in %s" % (user, self.dir))
        db = sqlite3.connect(":memory:")
        # Attached under the user's name, as the stand-in attaches it, so that the views
        # stored in the schema (which name their tables by owner) parse.
        db.execute("ATTACH DATABASE ? AS %s" % user, ("file:%s?mode=ro" % os.path.join(self.dir, "u%d.db" % row[0]),))
        return db

    def rows(self, user, table, key):
        """{key value: {column: value}} for every row of the table."""
        db = self._connect(user)
        try:
            # The stored columns: a virtual column's expression calls the stand-in's own
            # functions, and says nothing a stored column does not.
            cols = [r[1] for r in db.execute('PRAGMA %s.table_xinfo("%s")' % (user, table)) if r[6] == 0]
            cur = db.execute('SELECT %s FROM %s."%s"' % (", ".join('"%s"' % c for c in cols), user, table))
            names = [d[0] for d in cur.description]
            out = {}
            for r in cur.fetchall():
                rec = dict(zip(names, r))
                out[rec[key]] = rec
            return out
        finally:
            db.close()


def differences(before, after, expected):
    """The cells where after differs from before with expected's changes applied:
    [(key, column, wanted, found)]; rows that appeared or went away are reported too."""
    out = []
    for k in sorted(set(before) | set(after), key=str):
        if k not in after:
            out.append((k, "*", "the row", "no row"))
            continue
        if k not in before:
            out.append((k, "*", "no row", "a new row"))
            continue
        for col, was in before[k].items():
            want = expected.get((k, col), was)
            got = after[k].get(col)
            if got != want:
                out.append((k, col, want, got))
    return out
