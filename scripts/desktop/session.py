"""A desktop of its own: an X server (Xvfb), a window manager, the program
started as a new user starts it (a fresh HOME and XDG folders), and input
through xdotool (the XTEST extension: what a keyboard and mouse send)."""

import os
import shutil
import signal
import subprocess
import time

from xserver import XServer

BOUND = 20.0  # seconds a state may take to appear before it counts as never


def now():
    return time.monotonic()


def poll(seconds, test, *args):
    """Runs test until it answers true; its last answer (false when it never did)."""
    end = now() + seconds
    while True:
        r = test(*args)
        if r:
            return r
        if now() >= end:
            return r
        time.sleep(0.05)


def holds(seconds, test, *args):
    """test stays true for that long (asked every 0.1 s)."""
    end = now() + seconds
    while now() < end:
        if not test(*args):
            return False
        time.sleep(0.1)
    return bool(test(*args))


class StartError(Exception):
    pass


class Desktop:
    """One X server with its window manager and its own HOME; the processes it starts
    are ended, last first, by close()."""

    def __init__(self, tag, out, display_number=None, screen="1600x1000x24"):
        self.tag, self.out = tag, out
        self.home = os.path.join(os.environ.get("TMPDIR", "/tmp"), "tavrelix-desktop-%s-%d" % (tag, os.getpid()))
        shutil.rmtree(self.home, ignore_errors=True)
        self.env = dict(os.environ)
        for k in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "QT_IM_MODULE", "XMODIFIERS", "GTK_IM_MODULE",
                  "QT_QPA_PLATFORM", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(k, None)
        h = os.path.join(self.home, "home")
        self.env.update(HOME=h, XDG_CONFIG_HOME=h + "/.config", XDG_DATA_HOME=h + "/.local/share",
                        XDG_CACHE_HOME=h + "/.cache", XDG_RUNTIME_DIR=self.home + "/run",
                        QT_QPA_PLATFORM="xcb")
        for k in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
            os.makedirs(self.env[k], exist_ok=True)
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.procs = []
        self.x = None
        self._start_x(display_number, screen)

    def trace(self, name):
        """With TAVRELIX_DESKTOP_TRACE set, a screenshot of this step under build/desktop/."""
        if os.environ.get("TAVRELIX_DESKTOP_TRACE"):
            self.x.screenshot(os.path.join(self.out, "trace-%s-%s.png" % (self.tag, name)))

    def log(self, name):
        return open(os.path.join(self.out, "%s-%s.log" % (self.tag, name)), "wb")

    def spawn(self, argv, name, env=None, cwd=None):
        p = subprocess.Popen(argv, stdout=self.log(name), stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                             env=env or self.env, cwd=cwd or self.home, start_new_session=True)
        self.procs.append(p)
        return p

    def _start_x(self, number, screen):
        argv = ["Xvfb"]
        if number is None:
            r, w = os.pipe()
            argv += ["-displayfd", str(w)]
        else:
            argv += [":%d" % number]
        argv += ["-screen", "0", screen, "-nolisten", "tcp", "-noreset"]
        if number is None:
            p = subprocess.Popen(argv, stdout=self.log("xvfb"), stderr=subprocess.STDOUT, pass_fds=(w,),
                                 start_new_session=True)
            os.close(w)
            self.procs.append(p)
            got = b""
            end = now() + BOUND
            os.set_blocking(r, False)
            while b"\n" not in got and now() < end and p.poll() is None:
                try:
                    got += os.read(r, 64)
                except BlockingIOError:
                    time.sleep(0.05)
            os.close(r)
            if b"\n" not in got:
                raise StartError("Xvfb did not start (build/desktop/%s-xvfb.log)" % self.tag)
            number = int(got.split()[0])
        else:
            p = self.spawn(argv, "xvfb")
        self.display = ":%d" % number
        self.env["DISPLAY"] = self.display

        def connect():
            try:
                return XServer(self.display)
            except Exception:
                return None

        self.x = poll(BOUND, connect)
        if self.x is None:
            raise StartError("Xvfb did not start on %s (build/desktop/%s-xvfb.log)" % (self.display, self.tag))

    def start_wm(self, which):
        argv = {"openbox": ["openbox", "--sm-disable"], "xfwm4": ["xfwm4", "--compositor=off", "--sm-client-disable"]}
        self.wm = which
        self.spawn(argv[which], which)
        if not poll(BOUND, self.x.wm_running):
            raise StartError("%s did not start (build/desktop/%s-%s.log)" % (which, self.tag, which))

    def close(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait()
        self.procs = []
        if self.x is not None:
            self.x.close()
        shutil.rmtree(self.home, ignore_errors=True)

    # --- Input: xdotool only -----------------------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def key(self, *keys, delay=20):
        self.xdotool("key", "--delay", delay, *keys)

    def type(self, text, delay=20):
        self.xdotool("type", "--delay", delay, text)

    def enter(self, text, delay=20):
        """Types plain letters and digits, then Enter, as keys of one xdotool command."""
        assert text.isalnum() and text.isascii()
        self.xdotool("key", "--delay", delay, *text, "Return")

    def move(self, x, y):
        self.xdotool("mousemove", int(x), int(y))

    def click(self, x, y, button=1, repeat=1):
        args = ["mousemove", int(x), int(y), "click"]
        if repeat > 1:
            args += ["--repeat", repeat, "--delay", 80]
        self.xdotool(*args, button)

    def drag(self, x0, y0, steps):
        """Presses at (x0, y0), moves through the points, releases."""
        args = ["mousemove", int(x0), int(y0), "mousedown", 1]
        for x, y in steps:
            args += ["sleep", "0.02", "mousemove", int(x), int(y)]
        args += ["mouseup", 1]
        self.xdotool(*args)

    def park_mouse(self):
        self.move(self.x.width - 10, self.x.height - 10)
