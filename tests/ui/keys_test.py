#!/usr/bin/python3
"""The whole road with the keyboard alone (key events only: no pointer, no accessibility actions),
against the reel check stand-in and a local folder standing for the NAS: the name from the Slack
list, "Not you?" and back, the reel from its search, a surface from its menu, the note left with
Tab, Return on a focused Back (back to the first step, nothing copied or renamed), then Return in
the reel search to "All good". On every step each control a person acts on has a name of its own,
and the keyboard is always somewhere. A screen reader that listened and went must not make the
quit crash. Fails on any QML warning in Tessera's output. Inside wayland.sh, the same on Wayland.
    keys_test.py TESSERA SERVICE"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (BLOCKERS, REEL, SCALE, StandIn, check, ffmpeg, read,  # noqa: E402
                     remove, write_settings)
from window import Window, poll  # noqa: E402

NAME_SEARCH = "Search, or type your full name"
# A client that listens to the window's events for a moment and goes, as a screen reader does.
LISTENER = """
import threading, pyatspi
pyatspi.Registry.registerEventListener(lambda event: None, "object:state-changed:focused",
                                       "object:property-change:accessible-name", "focus:")
threading.Timer(1.0, pyatspi.Registry.stop).start()
pyatspi.Registry.start()
"""
REEL_SEARCH = "Search, for example TST 1"


def main():
    tessera, service = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="tessera-keys-")
    drop = os.path.join(work, "nas", "Halcyon_Drop", "Reels")
    os.makedirs(drop)
    editor = os.path.join(work, "export")
    os.makedirs(editor)
    awall = os.path.join(editor, "opening awall.mov")
    titles = os.path.join(editor, "opening text.mov")  # names no surface: picked from the menu
    ffmpeg("7972x3424", awall)
    ffmpeg("5612x304", titles, alpha=True)
    originals = sorted(os.listdir(editor))

    stand_in = StandIn(service, drop, work)
    env = write_settings(work, apiBase=stand_in.base, nasURL="file://" + os.path.dirname(
        os.path.dirname(drop)))
    if os.environ.get("TESSERA_TEST_WAYLAND"):
        env["QT_QPA_PLATFORM"] = "wayland"  # in wayland.sh's compositor, not through XWayland
    w = Window(tessera, [awall, titles], env, os.path.join(work, "tessera.log"))
    try:
        subprocess.run(["/usr/bin/python3", "-c", LISTENER], check=True, timeout=30 * SCALE)
        w.focus()
        # The keyboard starts in the name search once the Slack list is in.
        w.focus_is(NAME_SEARCH, "text", 20 * SCALE)
        w.type("Mira")
        w.key("Down")
        w.focus_is("Mira Lantz", "list item")
        w.key("Return")
        w.find("Not you?", "push button")
        w.focus_is("Continue", "push button")
        w.check_names(same={"File", "Help"})

        # "Not you?", a name too long for the list, and back to the name in force.
        w.key_to("Not you?", "shift+Tab")
        w.key("Return")
        w.focus_is(NAME_SEARCH, "text")
        w.type("x" * 61)
        w.find("A name has at most 60 characters: Use takes the first 60.", "label")
        w.key("Escape")
        w.focus_is("Not you?", "push button")
        w.find("Mira Lantz", "label")

        w.key_to("Continue")
        w.key("Return")
        w.focus_is(REEL_SEARCH, "text")
        w.type("TST 1")
        w.key("Down")
        w.focus_is(REEL, "list item")
        w.key("space")
        w.find("Copy and submit " + REEL, "push button")

        w.key_to("Surface of opening text.mov: not chosen")
        w.key("space")
        w.key_to("Surtitles", "Down", "menu item", limit=8)
        w.key("Return")
        w.focus_is("Surface of opening text.mov: Surtitles")
        poll("nothing to block the submission",
             lambda: not set(BLOCKERS) & set(w.names()), 60 * SCALE)
        w.check_names(same={"File", "Help"})

        # Tab leaves the note; Return on a focused Back goes back and copies nothing.
        w.key_to("Anything the reel check team should know", role="text")
        w.type("From the keys")
        w.key("Tab")
        w.focus_is("Back", "push button")
        w.key("Return")
        w.find("DRAG YOUR EXPORTED REEL FILES HERE", "label")
        check(not os.listdir(drop) and not stand_in.submissions(),
              "Return on Back started the copy: %s" % os.listdir(drop))
        check(sorted(os.listdir(editor)) == originals, "Return on Back renamed the originals")

        # On again; Return in the emptied reel search is the step's default action.
        w.focus_is("Continue", "push button")
        w.key("Return")
        w.focus_is(REEL_SEARCH, "text")
        w.key("ctrl+a", "BackSpace", "Return")
        w.find("All good. The reel is ready for QLab.", "label", 90 * SCALE)
        # Announced, and the keyboard on what comes next.
        w.find("All good. The reel is ready for QLab.", "alert")
        w.focus_is("Submit another reel", "push button")
        w.check_names(same={"File", "Help"})
        day = [os.path.join(drop, d) for d in os.listdir(drop)]
        check(len(day) == 1 and len(os.listdir(day[0])) == 2, "the day folder: %s" % day)
        check(sorted(read(os.path.join(day[0], n)) for n in os.listdir(day[0]))
              == sorted([read(os.path.join(editor, n)) for n in os.listdir(editor)]),
              "the copies on the NAS are not the editor's files")

        status = w.close()
        check(status == 0, "Tessera quit with status %d" % status)
        warnings = w.qml_warnings()
        check(not warnings, "QML warnings:\n" + "\n".join(warnings))
    except Exception:
        if w.process.poll() is None:
            w.screenshot(os.path.join(work, "failure.png"))
        print("Tessera's output:\n" + w.output(), file=sys.stderr)
        print("Work folder: " + work, file=sys.stderr)
        raise
    finally:
        if w.process.poll() is None:
            w.process.kill()
        stand_in.stop()
    remove(work)
    print("keys test: passed")


if __name__ == "__main__":
    main()
