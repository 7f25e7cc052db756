"""Drives Tessera's window as a person would: finds controls through the accessibility tree and
operates them with real pointer and key input (xdotool). Used inside headless.sh."""

import os
import re
import subprocess
import time

import pyatspi
from gi.repository import GLib

# Every wait is this many times longer in slow builds (the sanitizers).
SCALE = float(os.environ.get("TESSERA_TEST_TIME_SCALE", "1"))
# Roles a person acts on: each needs a name that says what it acts on.
ACTIONABLE = {"push button", "toggle button", "check box", "radio button", "menu item",
              "check menu item", "radio menu item", "list item", "text", "entry", "password text",
              "combo box", "spin button", "slider", "page tab", "menu"}

# What Qt prints for a QML warning: "qml: …", or a file location in the window's resources.
QML_WARNING = re.compile(r"qml:|qrc:/|QML ")


class Failure(AssertionError):
    pass


def poll(what, probe, timeout=None, interval=0.1):
    """The first truthy answer of probe() within timeout seconds (10 times the time scale unless
    given), else a Failure naming what."""
    deadline = time.monotonic() + (10 * SCALE if timeout is None else timeout)
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
        self.app = poll("the application in the accessibility tree", self._find_app, 20 * SCALE)

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
        """(role name, accessible name, accessible) of every showing node, in tree order. A node
        that goes while it is read (a row being replaced) makes the walk start again; a tree that
        cannot be read, or that shows no window, is a Failure, never an empty answer."""
        trouble = None
        for _ in range(5):
            found = []

            def walk(node, depth):
                node.clear_cache()
                states = node.getState()
                if depth > 0 and not states.contains(pyatspi.STATE_SHOWING):
                    return
                found.append((node.getRoleName(), node.name or "", node))
                for i in range(node.childCount):
                    child = node.getChildAtIndex(i)
                    if child is not None:
                        walk(child, depth + 1)
            try:
                walk(self.app, 0)
            except GLib.Error as error:
                trouble = error
                time.sleep(0.05)
                continue
            if not any(role == "frame" for role, _, _ in found):
                raise Failure("Tessera's accessibility tree shows no window: %s" % found)
            return found
        raise Failure("Tessera's accessibility tree can't be read: %s" % trouble)

    def names(self):
        return [name for _, name, _ in self.nodes() if name]

    def find(self, name, role=None, timeout=None, exact=True):
        def probe():
            for r, n, node in self.nodes():
                if (n == name if exact else name in n) and (role is None or r == role):
                    return node
            return None
        return poll("'%s'%s" % (name, " (" + role + ")" if role else ""), probe, timeout)

    def shows(self, name, timeout=None, exact=True):
        return self.find(name, timeout=timeout, exact=exact)

    def gone(self, name, timeout=None):
        poll("'%s' to go" % name, lambda: name not in self.names(), timeout)

    def focused(self):
        """(role, name) of the node that has the keyboard, or None: the innermost of those that
        say so (the focus scopes around it say so too)."""
        found = None
        for role, name, node in self.nodes():
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                found = role, name
        return found

    def focus_is(self, name, role=None, timeout=None):
        def probe():
            at = self.focused()
            return at and at[1] == name and (role is None or at[0] == role)
        try:
            poll("the keyboard on '%s'" % name, probe, timeout)
        except Failure as failure:
            raise Failure("%s; it is on %s" % (failure, self.focused()))

    def key_to(self, name, key="Tab", role=None, limit=40):
        """Presses key until the keyboard is on the node called name."""
        for _ in range(limit):
            at = self.focused()
            if at and at[1] == name and (role is None or at[0] == role):
                return
            self.key(key)
            time.sleep(0.05)
        raise Failure("%s never brought the keyboard to '%s'" % (key, name))

    def check_names(self, same=()):
        """Every showing object a person acts on has a name; no two share one, except the names
        in same (things that do the same, as a menu and its title in the menu bar)."""
        seen = {}
        for role, name, node in self.nodes():
            if role not in ACTIONABLE:
                continue
            if not name.strip():
                raise Failure("a %s without a name, in %s" % (role, node.parent.name or node.parent.getRoleName()))
            seen.setdefault(name, []).append(role)
        shared = {name: roles for name, roles in seen.items() if len(roles) > 1 and name not in same}
        if shared:
            raise Failure("objects sharing a name: %s" % shared)

    # --- Acting ---

    def click(self, node):
        x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if w <= 0 or h <= 0:
            raise Failure("'%s' has no place on the screen" % node.name)
        xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        xdotool("click", "1")

    def press(self, name, role="push button", timeout=None):
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

    def close(self, timeout=None):
        self.focus()
        self.key("ctrl+q")
        try:
            return self.process.wait(20 * SCALE if timeout is None else timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("Tessera did not quit")
