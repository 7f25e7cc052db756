#!/usr/bin/python3
"""The whole road through the window, as an editor walks it, against the reel check stand-in and a
local folder standing for the NAS: help from the first step, a Slack pick, movies and an EDL from
the command line, the reel, a missing surface, the planned renames, a NAS that is not there yet and
"Try again", the copy to "Ready for QLab" with the files on disk; then a movie handed over by a
second launch, re-exported at the wrong size after the check, to "Needs fixing" and "Submit fixed
files". Fails on any QML warning in Tessera's output.
    road_test.py TESSERA SERVICE"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (REEL, SCALE, StandIn, check, copy_and_submit, ffmpeg, pick_reel,  # noqa: E402
                     read, write_settings)
from window import Window, poll  # noqa: E402


def main():
    tessera, service = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="tessera-road-")
    nas = os.path.join(work, "nas")
    drop = os.path.join(nas, "Halcyon_Drop", "Reels")
    editor = os.path.join(work, "export")
    os.makedirs(editor)

    awall = os.path.join(editor, "opening awall.mov")
    titles = os.path.join(editor, "opening text.mov")  # names no surface: picked in the window
    edl = os.path.join(editor, "cut.edl")
    ffmpeg("7972x3424", awall)
    ffmpeg("5612x304", titles, alpha=True)
    with open(edl, "w") as f:
        f.write("TITLE: Halcyon\n001  AX  V  C  00:00:00:00 00:00:01:00\n"
                "* FROM CLIP NAME: opening awall.mov\n* FROM CLIP NAME: opening text.mov\n")
    awall_bytes, titles_bytes = read(awall), read(titles)

    stand_in = StandIn(service, drop, work)
    # The NAS folder does not exist yet: the first run must fail and be tried again.
    env = write_settings(work, apiBase=stand_in.base, nasURL="file://" + nas)

    w = Window(tessera, [awall, titles, edl], env, os.path.join(work, "tessera.log"))
    try:
        # Help from the first step names it.
        w.press("Get help")
        w.find("Step: Drop", "label")
        w.key("Escape")
        w.gone("Step: Drop")

        # Who are you, and what was given on the command line.
        w.click(w.find("Mira Lantz", "list item", 20 * SCALE))
        w.find("Not you?", "push button")
        w.find("2 files and an EDL", "label")
        w.find("Pick on the next step", "label")
        w.press("Continue")

        # The reel, the missing surface, the planned names.
        w.find("Pick one on the left", "label")
        pick_reel(w)
        w.find("PICK", "label")
        w.press("Surface of opening text.mov: not chosen")
        w.click(w.find("Surtitles", "menu item"))
        w.gone("Surface of opening text.mov: not chosen")
        w.gone("PICK")
        new_titles = w.find(REEL + "_surtitles_v", exact=False).name
        stamp = re.fullmatch(REEL + r"_surtitles_v(\d{10})\.mov", new_titles).group(1)
        new_awall = "%s_awall_v%s.mov" % (REEL, stamp)
        new_edl = "Halcyon_v%s.edl" % stamp
        w.find(new_awall, "label")
        w.find("2 clip names updated", "label")
        w.press("Your 3 files will be renamed to match the NAS")
        w.find("→ " + new_titles, "label")
        w.find("→ " + new_edl, "label")
        w.key("Escape")
        w.gone("→ " + new_titles)

        # No NAS yet: the run stops with its sentence; once the folder is there, Return tries again.
        copy_and_submit(w)
        w.find("Can't reach the NAS. Are you on the Kestrel network?", "label", 30 * SCALE)
        w.find("Stopped", "label")
        os.makedirs(drop)
        w.key("Return")

        w.find("All good. The reel is ready for QLab.", "label", 90 * SCALE)
        w.find("Ready for QLab", "label")
        # No line of a finished stage is left: neither the planning line nor the progress line.
        stale = [n for n in w.names() if n.startswith("Checking what's already on the NAS")
                 or re.match(r"(Copying|Checking copy) \d+ of \d+ · ", n)]
        check(not stale, "lines left from finished stages: %s" % stale)
        w.find("3 files on the NAS. Size and checksum match.", "label")
        w.find("Renamed 3 originals to match the NAS.", "label")
        w.press("Show files")
        poll("three copied rows",
             lambda: [n for _, n, _ in w.nodes()].count("COPIED") == 3, 10 * SCALE)
        w.find("from opening text.mov · size and checksum match", "label")

        day = os.path.join(drop, stamp[:6])
        check(sorted(os.listdir(day)) == sorted([new_awall, new_titles, new_edl]),
              "the day folder holds %s" % os.listdir(day))
        check(read(os.path.join(day, new_awall)) == awall_bytes, "the A wall copy differs")
        check(read(os.path.join(day, new_titles)) == titles_bytes, "the surtitles copy differs")
        check(read(os.path.join(day, new_edl)).decode().endswith(
            "* FROM CLIP NAME: %s\n* FROM CLIP NAME: %s\n" % (new_awall, new_titles)),
            "the EDL on the NAS names the new files")
        check(sorted(os.listdir(editor)) == sorted([new_awall, new_titles, new_edl]),
              "the originals are renamed: %s" % os.listdir(editor))

        # Another reel: a second launch hands its movie over; it is re-exported at the wrong size
        # after Tessera read it, so only the reel check sees the problem.
        w.press("Submit another reel")
        w.find("Not you?", "push button")
        fixed = os.path.join(editor, "closing surtitles.mov")
        ffmpeg("5612x304", fixed, alpha=True)
        second = subprocess.run([tessera, fixed], env=env, timeout=30 * SCALE,
                                capture_output=True, text=True)
        check(second.returncode == 0, "the second launch ended with %d" % second.returncode)
        w.find("1 file", "label")
        w.find("Surtitles", "label")
        w.press("Continue")
        pick_reel(w)
        poll("the check of the movie", lambda: "CHECKING FILES" not in w.names(), 30 * SCALE)
        ffmpeg("5600x300", fixed, alpha=True)
        copy_and_submit(w)
        w.find("The reel check found problems.", "label", 90 * SCALE)
        w.find("Needs fixing", "label")
        poll("the size problem", lambda: any("5600" in n for n in w.names()), 10 * SCALE)
        w.press("Submit fixed files")
        w.find("RESUBMITTING", "label")
        w.find(REEL, "label")
        w.find("Start over", "push button")

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
    print("road test: passed")


if __name__ == "__main__":
    main()
