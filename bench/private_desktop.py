"""A private X desktop for the benchmarks that run the real app: a home and XDG folders of its
own under a fresh work folder, Xvfb, a session bus, openbox and trayer. Everything started
through it ends, and the work folder goes, when the `with` block is left."""

import os
import random
import shutil
import subprocess
import tempfile
import time

XDG_FOLDERS = (("HOME", ""), ("XDG_CONFIG_HOME", ".config"), ("XDG_DATA_HOME", ".local/share"),
               ("XDG_STATE_HOME", ".local/state"), ("XDG_CACHE_HOME", ".cache"))


class PrivateDesktop:
    def __init__(self, prefix, welcomed=True):
        self.work = tempfile.mkdtemp(prefix=prefix)
        self.procs = []
        env = dict(os.environ)
        env.pop("WAYLAND_DISPLAY", None)
        self.home = os.path.join(self.work, "home")
        run = os.path.join(self.work, "run")
        os.makedirs(run, mode=0o700)
        for name, sub in XDG_FOLDERS:
            env[name] = os.path.join(self.home, sub)
            os.makedirs(env[name], exist_ok=True)
        env["XDG_RUNTIME_DIR"] = run
        env["QT_QPA_PLATFORM"] = "xcb"
        if welcomed:
            # Not a first run: the panel does not open by itself.
            os.makedirs(os.path.join(env["XDG_CONFIG_HOME"], "Quorvin"), exist_ok=True)
            with open(os.path.join(env["XDG_CONFIG_HOME"], "Quorvin", "Quorvin.conf"), "w") as f:
                f.write("[General]\nwelcomed2=true\n")
        self.env = env

    def spawn(self, args, env=None, **kw):
        kw.setdefault("stdin", subprocess.DEVNULL)
        p = subprocess.Popen(args, env=self.env if env is None else env, **kw)
        self.procs.append(p)
        return p

    def start(self, trayer=("--edge", "top", "--align", "right", "--height", "24")):
        # A display number of its own, not the lowest free one: a server still shutting down (the
        # previous run's) may own that, and unlinks the new server's socket on its way out. A
        # desktop that still never gets its window manager is replaced.
        for _ in range(3):
            started = len(self.procs)
            number = random.randrange(100, 4000)
            if os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            r, w = os.pipe()
            self.spawn(["Xvfb", ":%d" % number, "-displayfd", str(w), "-screen", "0",
                        "1280x800x24", "-nolisten", "tcp"], pass_fds=(w,),
                       stderr=subprocess.DEVNULL)
            os.close(w)
            self.env["DISPLAY"] = ":" + os.read(r, 16).decode().strip()
            os.close(r)
            self.spawn(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
            if self.wait_for_window_manager():
                break
            for p in self.procs[started:]:
                p.kill()
                p.wait()
            del self.procs[started:]
        else:
            raise RuntimeError("no private desktop: openbox never took the display")
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        self.spawn(["trayer", *trayer], stderr=subprocess.DEVNULL)
        time.sleep(1.5)  # the tray settles; nothing here is timed
        return self

    def wait_for_window_manager(self, seconds=10):
        deadline = time.time() + seconds
        while time.time() < deadline:
            check = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                   capture_output=True)
            if b"window id" in check.stdout:
                return True
            time.sleep(0.1)
        return False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(3)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(self.work, ignore_errors=True)
        return False
