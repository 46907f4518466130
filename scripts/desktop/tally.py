"""Checks and their outcomes: each check passes or fails as a whole; a check on the
skip list is run but not counted."""

import os
import time


class Tally:
    def __init__(self, checks, skip, out, repo):
        self.checks = list(checks)
        self.skip = set(skip)
        self.out, self.repo = out, repo
        self.passes = {c: 0 for c in self.checks}
        self.fails = {c: 0 for c in self.checks}
        self.shots = {c: 0 for c in self.checks}
        self.notes = {}  # check -> why it did not run
        self.desktop = None  # the desktop failures are shown on
        self.describe = None  # prints the X server's view of the program's windows
        self.started = time.monotonic()
        self.left_out = set()  # checks of runs that were not asked for

    def elapsed(self):
        return time.monotonic() - self.started

    def ok(self, check):
        self.passes[check] += 1

    def failed_before(self, check):
        return self.fails[check] > 0

    def fail(self, check, where, what):
        """Prints the failure with the X server's view; the first two failures of a check keep a
        screenshot each, the first five are shown."""
        self.fails[check] += 1
        n = self.fails[check]
        if n > 5:
            if n == 6:
                print("FAIL %s: further failures are counted, not shown" % check, flush=True)
            return
        print("FAIL %s (%s): %s" % (check, where, what), flush=True)
        if self.shots[check] < 2 and self.desktop is not None:
            self.shots[check] += 1
            png = os.path.join(self.out, "%s-%d.png" % (check, self.shots[check]))
            try:
                self.desktop.x.screenshot(png)
                print("  screenshot: %s" % os.path.relpath(png, self.repo), flush=True)
            except Exception as e:  # the X server itself is gone
                print("  no screenshot: %s" % e, flush=True)
            if self.describe is not None:
                for line in self.describe():
                    print("  " + line, flush=True)

    def check(self, check, passed, where, what):
        if passed:
            self.ok(check)
        else:
            self.fail(check, where, what)
        return passed

    def not_run(self, checks, why):
        """Checks that could not run (what they need is broken, not the program): counted as failed
        unless skipped, shown with the reason."""
        for c in checks:
            self.notes[c] = why
            if self.passes[c] + self.fails[c] == 0:
                self.fails[c] = 1
        print("NOT RUN %s: %s" % (" ".join(checks), why), flush=True)

    def summary(self, seconds):
        p = f = 0
        print("desktop: results")
        for c in self.checks:
            n = self.passes[c] + self.fails[c]
            if c in self.left_out:
                print("  %-23s left out" % c)
                continue
            if c in self.notes and self.passes[c] == 0:
                line = "not run (%s)" % self.notes[c]
            elif self.fails[c]:
                line = "FAIL (%d of %d)" % (self.fails[c], n)
            elif n == 0:
                line = "FAIL (never checked)"
            else:
                line = "ok (%d)" % self.passes[c]
            bad = self.fails[c] > 0 or n == 0
            if c in self.skip:
                line = "skipped (would %s: %s)" % ("fail" if bad else "pass", line)
            elif bad:
                f += 1
            else:
                p += 1
            print("  %-23s %s" % (c, line))
        print("desktop: took %d s" % seconds)
        print("desktop: %d passed, %d failed" % (p, f), flush=True)
        return f == 0
