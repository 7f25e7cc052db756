#!/usr/bin/python3
"""A settings portal on the session bus that publishes one colour scheme, as desktops do through
xdg-desktop-portal: portal.py light|dark. SIGUSR1 switches the scheme and announces it with
SettingChanged, as a desktop does when the user flips it. Prints "ready" once the name is owned."""

import signal
import sys

from gi.repository import Gio, GLib

NODE = Gio.DBusNodeInfo.new_for_xml("""
<node><interface name="org.freedesktop.portal.Settings">
  <method name="Read">
    <arg type="s" name="namespace" direction="in"/><arg type="s" name="key" direction="in"/>
    <arg type="v" name="value" direction="out"/>
  </method>
  <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
</interface></node>""")
GROUP, KEY = "org.freedesktop.appearance", "color-scheme"
scheme = {"dark": 1, "light": 2}[sys.argv[1]]
connection = None


def call(conn, sender, path, interface, method, args, invocation):
    if method == "Read" and tuple(args) == (GROUP, KEY):
        # The portal's Read wraps the value in one more variant.
        inner = GLib.Variant("v", GLib.Variant("u", scheme))
        invocation.return_value(GLib.Variant("(v)", (inner,)))
    else:
        invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "no such setting")


def switch():
    global scheme
    scheme = 1 if scheme == 2 else 2
    connection.emit_signal(None, "/org/freedesktop/portal/desktop", NODE.interfaces[0].name,
                           "SettingChanged",
                           GLib.Variant("(ssv)", (GROUP, KEY, GLib.Variant("u", scheme))))
    return True


def acquired(conn, name):
    print("ready", flush=True)


def bus(conn, name):
    global connection
    connection = conn
    conn.register_object("/org/freedesktop/portal/desktop", NODE.interfaces[0], call, None, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.portal.Desktop", 0, bus, acquired,
                 lambda *_: sys.exit("the portal name is taken"))
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, switch)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, lambda: sys.exit(0))
GLib.MainLoop().run()
