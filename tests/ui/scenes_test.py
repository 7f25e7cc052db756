#!/usr/bin/python3
"""Every demo scene drawn in light and in dark, at the default and the minimum size, with few files
and with many: each is saved as a PNG, its key texts are read through the accessibility tree, and
the colour scheme is flipped live through a settings portal while the window is open. Fails on any
QML warning.
    scenes_test.py TESSERA OUTPUT_FOLDER"""

import os
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from window import SCALE, Failure, Window, poll  # noqa: E402
HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = {"default": (760, 680), "minimum": (700, 600)}
SURFACES = ["awall", "bwall", "cwall", "dwall", "floor", "surtitles"]

# What each scene must show; (text, exact).
KEY_TEXTS = {
    "drop": [("DRAG YOUR EXPORTED REEL FILES HERE", True), ("Not you?", True)],
    "confirm": [("Copy and submit 00_TST_Reel1", True), ("FILES AND SURFACES", True)],
    "copying": [("Copying 3 of", False), ("about 9 s left", False), ("39%", True)],
    "waiting": [("The reel check is running on VX9. The result shows here.", True)],
    "fixing": [("Needs fixing", True), ("The reel check found problems.", True),
               ("awall: Is 25 fps; every reel movie must be 30 fps.", False)],
}


def movie(path):
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=gray:s=64x32:r=30",
                    "-frames:v", "2", "-c:v", "prores_ks", "-profile:v", "1", path], check=True)


def demo_folder(root, many):
    """Six surface movies and an EDL; with many, the same again as proxies and more."""
    folder = os.path.join(root, "many" if many else "few")
    os.makedirs(folder)
    names = ["opening %s.mov" % s for s in SURFACES]
    if many:
        names += ["opening %s proxy take %d.mov" % (s, n) for s in SURFACES[:4] for n in (1, 2, 3)]
    movie(os.path.join(folder, names[0]))
    for name in names[1:]:
        os.link(os.path.join(folder, names[0]), os.path.join(folder, name))
    with open(os.path.join(folder, "cut.edl"), "w") as f:
        f.write("TITLE: Halcyon\n" + "".join("* FROM CLIP NAME: %s\n" % n for n in names))
    return folder


def luminance(path):
    out = subprocess.run(["convert", path, "-resize", "1x1!", "-format", "%[fx:luminance]", "info:"],
                         check=True, capture_output=True, text=True).stdout
    return float(out)


def differing(a, b):
    """How many pixels differ between two pictures of the same size (a spinner turns: some do)."""
    found = subprocess.run(["compare", "-metric", "AE", "-fuzz", "5%", a, b, "null:"],
                           capture_output=True, text=True)
    try:
        return float(found.stderr.split()[0])
    except (IndexError, ValueError):
        return float("inf")


def resize(w, size, menu):
    size = (size[0], size[1] + menu)
    for wid in subprocess.run(["xdotool", "search", "--pid", str(w.process.pid)],
                              capture_output=True, text=True).stdout.split():
        subprocess.run(["xdotool", "windowsize", "--sync", wid, str(size[0]), str(size[1])],
                       capture_output=True)

    def fits():
        _, _, width, height = w.app.getChildAtIndex(0).queryComponent().getExtents(0)
        return (width, height) == size
    poll("the window at %dx%d" % size, fits, 10 * SCALE)


def shoot(w, output, stem, scheme):
    path = os.path.join(output, stem + "-" + scheme + ".png")
    previous = path + ".previous.png"

    def settled():
        # Layout and colours follow a resize or a scheme change within a few frames: the picture
        # counts once two in a row agree and show the scheme.
        w.screenshot(path)
        same = os.path.exists(previous) and differing(path, previous) < 1500
        os.replace(path, previous) if not same else os.remove(previous)
        return same and (luminance(path) < 0.35) == (scheme == "dark")
    poll(scheme + " colours in " + stem, settled, 10 * SCALE, 0.3)


def main():
    tessera, output = sys.argv[1], sys.argv[2]
    os.makedirs(output, exist_ok=True)
    work = tempfile.mkdtemp(prefix="tessera-scenes-")
    folders = {many: demo_folder(work, many) for many in (False, True)}
    os.makedirs(os.path.join(work, "config"))
    portal = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "portal.py"), "light"],
                              stdout=subprocess.PIPE, text=True)
    try:
        if portal.stdout.readline().strip() != "ready":
            raise Failure("the settings portal did not start")
        scheme = "light"
        for scene in KEY_TEXTS:
            for many in (False, True):
                env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                           TESSERA_DEMO=scene, TESSERA_DEMO_DIR=folders[many],
                           TESSERA_DEMO_SIZES="fixture")
                if many:
                    env["TESSERA_DEMO_MANY"] = "1"
                stem = scene + ("-many" if many else "")
                w = Window(tessera, [], env, os.path.join(work, stem + ".log"))
                try:
                    for text, exact in KEY_TEXTS[scene]:
                        w.shows(text, 20 * SCALE, exact)
                    w.check_names(same={"File", "Help"})
                    if scene == "copying":
                        # The bar gives its value to a screen reader, not only its name.
                        bar = w.find("39 percent", "progress bar").queryValue()
                        if round(bar.currentValue) != 39 or bar.maximumValue != 100:
                            raise Failure("the progress bar's value is %s of %s"
                                          % (bar.currentValue, bar.maximumValue))
                    # The sizes are the content's; the menu bar comes on top.
                    menu = w.app.getChildAtIndex(0).queryComponent().getExtents(0)[3] - 680
                    order = ["default", "minimum"] if scheme == "light" else ["minimum", "default"]
                    for size in order:
                        resize(w, SIZES[size], menu)
                        shoot(w, output, "%s-%s" % (stem, size), scheme)
                    # Flipped while the window is open: every colour follows at once.
                    portal.send_signal(signal.SIGUSR1)
                    scheme = "dark" if scheme == "light" else "light"
                    for size in reversed(order):
                        resize(w, SIZES[size], menu)
                        shoot(w, output, "%s-%s" % (stem, size), scheme)
                    if scene == "copying":
                        # Quitting mid-copy asks first; "Keep copying" keeps the window.
                        w.focus()
                        w.key("ctrl+q")
                        w.find("Tessera is still copying", "dialog")
                        w.press("Keep copying")
                        w.gone("Tessera is still copying")
                        w.focus()
                        w.key("ctrl+q")
                        w.press("Quit")
                        status = w.process.wait(20 * SCALE)
                    else:
                        status = w.close()
                    if status != 0:
                        raise Failure("Tessera quit with status %d in %s" % (status, stem))
                    warnings = w.qml_warnings()
                    if warnings:
                        raise Failure("QML warnings in %s:\n%s" % (stem, "\n".join(warnings)))
                except Exception:
                    print("Tessera's output in %s:\n%s" % (stem, w.output()), file=sys.stderr)
                    raise
                finally:
                    if w.process.poll() is None:
                        w.process.kill()
    finally:
        portal.terminate()
        portal.wait()
    print("scenes test: passed; pictures in " + output)


if __name__ == "__main__":
    main()
