"""Drives Tessera's window as a person would: finds controls through the accessibility tree and
operates them with real pointer and key input (xdotool). Used inside headless.sh."""

import os
import re
import subprocess
import time

import pyatspi

# What Qt prints for a QML warning: "qml: …", or a file location in the window's resources.
QML_WARNING = re.compile(r"qml:|qrc:/|QML ")


class Failure(AssertionError):
    pass


def poll(what, probe, timeout=10.0, interval=0.1):
    """The first truthy answer of probe() within timeout seconds, else a Failure naming what."""
    deadline = time.monotonic() + timeout
    while True:
        answer = probe()
        if answer:
            return answer
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


class Window:
    def __init__(self, program, args=(), env=None, log=None):
        self.log_path = log
        self.log = open(log, "w")
        self.process = subprocess.Popen([program, *args], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        self.app = poll("the application in the accessibility tree", self._find_app, 20)

    def _find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == self.process.pid and app.childCount:
                    return app
            except Exception:
                continue
        if self.process.poll() is not None:
            raise Failure("Tessera ended at once:\n" + self.output())
        return None

    def output(self):
        self.log.flush()
        with open(self.log_path) as f:
            return f.read()

    def qml_warnings(self):
        return [line for line in self.output().splitlines() if QML_WARNING.search(line)]

    # --- Reading the tree ---

    def nodes(self):
        """(role name, accessible name, accessible) of every showing node, in tree order."""
        found = []

        def walk(node, depth):
            try:
                node.clear_cache()
                states = node.getState()
                if depth > 0 and not states.contains(pyatspi.STATE_SHOWING):
                    return
                found.append((node.getRoleName(), node.name or "", node))
                for i in range(node.childCount):
                    child = node.getChildAtIndex(i)
                    if child is not None:
                        walk(child, depth + 1)
            except Exception:
                pass

        walk(self.app, 0)
        return found

    def names(self):
        return [name for _, name, _ in self.nodes() if name]

    def find(self, name, role=None, timeout=10.0, exact=True):
        def probe():
            for r, n, node in self.nodes():
                if (n == name if exact else name in n) and (role is None or r == role):
                    return node
            return None
        return poll("'%s'%s" % (name, " (" + role + ")" if role else ""), probe, timeout)

    def shows(self, name, timeout=10.0, exact=True):
        return self.find(name, timeout=timeout, exact=exact)

    def gone(self, name, timeout=10.0):
        poll("'%s' to go" % name, lambda: name not in self.names(), timeout)

    # --- Acting ---

    def click(self, node):
        x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if w <= 0 or h <= 0:
            raise Failure("'%s' has no place on the screen" % node.name)
        xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        xdotool("click", "1")

    def press(self, name, role="push button", timeout=10.0):
        node = self.find(name, role, timeout)
        self.click(node)
        return node

    def type(self, text):
        xdotool("type", "--delay", "15", text)

    def focus(self):
        """Gives the window the keyboard, as a click would: there is no window manager to do it."""
        for wid in subprocess.run(["xdotool", "search", "--pid", str(self.process.pid)],
                                  capture_output=True, text=True).stdout.split():
            subprocess.run(["xdotool", "windowfocus", "--sync", wid], capture_output=True)

    def key(self, *keys):
        xdotool("key", *keys)

    def screenshot(self, path, size=None):
        x, y, w, h = self.app.getChildAtIndex(0).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), path],
                       check=True)

    def close(self, timeout=20.0):
        self.focus()
        self.key("ctrl+q")
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("Tessera did not quit")
