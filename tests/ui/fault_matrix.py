#!/usr/bin/python3
"""One row of the fault matrix: the real Tessera, driven through its window, against the reel check
stand-in and a local NAS folder, meets one fault; afterwards nothing on the NAS is overwritten or
lost, no partial file has a final name, the stand-in holds at most one submission per key, and a
new start of Tessera carries on to "All good": it takes up the run it kept, or, given the files
again, starts afresh and finds what is already on the NAS.
    fault_matrix.py ROW TESSERA SERVICE"""

import contextlib
import glob
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (NAS, REEL, SCALE, Relay, StandIn, check, copy_and_submit,  # noqa: E402
                     digest, ffmpeg, pad, pick_reel, remove, row_states, sha256, write_settings)
from window import Failure, Window, poll  # noqa: E402

# The stamp this installation used last, for the rows that give Tessera the files again: every
# such start plans the same names, whatever minute it is, so it finds its own earlier copies under
# their final names. A start that plans afresh after it is set makes "9906301159".
LAST_VERSION = "9906301158"
ALL_GOOD = "All good. The reel is ready for QLab."
CLOSED = "Tessera was closed before the reel was submitted."
UNSURE = ("Your files are safely on the NAS, but Tessera couldn't tell whether VX9 got the "
          "submission.")
FORGOTTEN = "VX9 doesn't know this submission any more"


class Row:
    """The files of one row on the editor's disk, the NAS, the stand-in, and Tessera's starts."""

    def __init__(self, tessera, service, big=512 << 20, relay=False, nas=None, nas_url=None,
                 fixed_stamp=True, rename=False):
        self.tessera = tessera
        self.rename = rename
        self.work = tempfile.mkdtemp(prefix="tessera-faults-")
        self.nas_root = nas or os.path.join(self.work, "nas")
        self.drop = os.path.join(self.nas_root, "Halcyon_Drop", "Reels")
        self.editor = os.path.join(self.work, "export")
        os.makedirs(self.editor)
        os.makedirs(self.drop, exist_ok=True)
        self.awall = os.path.join(self.editor, "tst awall.mov")
        self.bwall = os.path.join(self.editor, "tst bwall.mov")
        self.edl = os.path.join(self.editor, "cut.edl")
        ffmpeg("7972x3424", self.awall)
        ffmpeg("5612x3424", self.bwall)
        self.movie_size = os.path.getsize(self.bwall)
        pad(self.bwall, big, 7919)
        self.clips = "001  AX  V  C  00:00:00:00 00:00:01:00\n* FROM CLIP NAME: %s\n* FROM CLIP NAME: %s\n"
        with open(self.edl, "w") as f:
            f.write("TITLE: Halcyon\n" + self.clips % ("tst awall.mov", "tst bwall.mov"))
        self.stamp = None
        if fixed_stamp:
            self.use_stamp("9906301159")
        self.nas = NAS(self.drop)
        self.big = os.path.getsize(self.bwall)
        self.stand_in = StandIn(service, self.drop, self.work,
                                state=os.path.join(self.work, "state.json"))
        self.relay = Relay(self.stand_in.port) if relay else None
        if callable(nas_url):
            nas_url = nas_url()
        self.env = write_settings(
            self.work, apiBase=(self.relay or self.stand_in).base,
            nasURL=nas_url or "file://" + self.nas_root, editorName="Mira Lantz", slackUserID="U0MIRA01",
            slackUserRealName="Mira Lantz",
            renameOriginalsDefaultOn="true" if rename else "false",
            **({"lastVersion": LAST_VERSION} if fixed_stamp else {}))
        self.windows = []

    def use_stamp(self, stamp):
        """The version the row's files go under, and what the NAS must then hold."""
        self.stamp = stamp
        self.day = os.path.join(self.drop, stamp[:6])
        self.AWALL = "%s_awall_v%s.mov" % (REEL, stamp)
        self.BWALL = "%s_bwall_v%s.mov" % (REEL, stamp)
        self.EDL = "Halcyon_v%s.edl" % stamp
        edl = ("TITLE: Halcyon\n" + self.clips % (self.AWALL, self.BWALL)).encode()
        self.expected = {self.AWALL: sha256(self.awall), self.BWALL: sha256(self.bwall),
                         self.EDL: digest(edl)}

    def start(self):
        """A new start of Tessera with the files, walked to "Copy and submit" and pressed."""
        w = self.start_checked()
        copy_and_submit(w)
        return w

    def start_checked(self):
        """A new start of Tessera with the files, walked to the reel and the checked files."""
        log = os.path.join(self.work, "tessera-%d.log" % len(self.windows))
        w = Window(self.tessera, [self.awall, self.bwall, self.edl], self.env, log)
        self.windows.append(w)
        w.find("Not you?", "push button", 20 * SCALE)
        w.find("2 files and an EDL", "label")
        w.press("Continue")
        pick_reel(w)
        if not self.stamp:
            shown = w.find(REEL + "_awall_v", "label", exact=False).name
            self.use_stamp(re.fullmatch(REEL + r"_awall_v(\d{10})\.mov", shown).group(1))
        for name in (self.AWALL, self.BWALL, self.EDL):
            w.find(name, "label")
        poll("the check of the files", lambda: "CHECKING FILES" not in w.names(), 30 * SCALE)
        return w

    def reopen(self, sentence=CLOSED, files=()):
        """A new start of Tessera, as after a crash, without files or with the files given (as
        `tessera FILE...`): it shows the run it kept."""
        log = os.path.join(self.work, "tessera-%d.log" % len(self.windows))
        w = Window(self.tessera, list(files), self.env, log)
        self.windows.append(w)
        w.find(sentence, "label", 20 * SCALE, exact=False)
        return w

    def set_setting(self, key, value):
        """Changes one setting in the settings file, keeping the rest (the kept run among them)."""
        path = os.path.join(self.work, "config", "Kestrel", "Tessera.conf")
        with open(path) as f:
            lines = [line for line in f.read().splitlines() if not line.startswith(key + "=")]
        lines.insert(lines.index("[General]") + 1, "%s=%s" % (key, value))
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")

    def kill(self, w):
        w.process.send_signal(signal.SIGKILL)
        w.process.wait()

    def finish(self, w, states, timeout=90):
        """The run ends in "All good"; the rows say what happened to each file."""
        try:
            w.find(ALL_GOOD, "label", timeout * SCALE)
        except Failure as failure:
            raise Failure("%s; the window shows: %s" % (failure, " | ".join(w.names())))
        w.press("Show files")
        shown = poll("the rows of the three files",
                     lambda: len(row_states(w, states)) == 3 and row_states(w, states), 10 * SCALE)
        check(shown == states, "the rows say %s, wanted %s" % (shown, states))
        check(self.nas.check(self.expected) == sorted(self.expected),
              "not every file is on the NAS")
        check(w.close() == 0, "Tessera did not quit cleanly")

    def partial_of(self, name):
        found = glob.glob(os.path.join(glob.escape(self.day), name + ".*.partial"))
        return found[0] if len(found) == 1 else None

    def freeze_when(self, w, what, condition, timeout=60.0):
        """Stops Tessera at the moment condition() holds, polling fast; the caller kills it."""
        try:
            poll(what, condition, timeout * SCALE, interval=0.002)
        except Failure as failure:
            raise Failure("%s; the window shows: %s" % (failure, " | ".join(w.names())))
        w.process.send_signal(signal.SIGSTOP)
        # The stop reaches every thread a moment later; only then is the state the kill will meet.
        poll("Tessera to stop", lambda: stopped(w.process.pid), 5.0, interval=0.001)
        check(condition(), "Tessera got past %s before it was stopped" % what)

    def done(self):
        for w in self.windows:
            if w.process.poll() is None:
                w.process.kill()
                w.process.wait()
            warnings = w.qml_warnings()
            check(not warnings, "QML warnings:\n" + "\n".join(warnings))
        self.stand_in.stop()


def stopped(pid):
    """Whether every thread of the process is stopped."""
    for stat in glob.glob("/proc/%d/task/*/stat" % pid):
        try:
            with open(stat) as f:
                if f.read().rsplit(")", 1)[1].split()[0] != "T":
                    return False
        except OSError:
            continue
    return True


def reading_back(pid, partial):
    """Whether Tessera has the partial file open for reading: its read-back."""
    for fd in glob.glob("/proc/%d/fd/*" % pid):
        try:
            if os.readlink(fd) != partial:
                continue
            with open(fd.replace("/fd/", "/fdinfo/")) as f:
                flags = int(f.read().split("flags:")[1].split()[0], 8)
            if flags & 3 == os.O_RDONLY:
                return True
        except (OSError, IndexError):
            continue
    return False


def killed_and_restarted(row, stop_at, quit=False):
    """Tessera killed (or quit through its guard) with the awall movie verified and the bwall one
    at the point stop_at reaches; the NAS keeps the awall copy and no bwall under its final name.
    A new start takes the run up under the same version, finds the awall copy and copies the rest
    (a plan made afresh would use another version: the last one kept is moved ahead)."""
    w = row.start()
    stop_at(w)
    if quit:
        w.focus()
        w.key("ctrl+q")
        w.press("Quit")
        check(w.process.wait(20 * SCALE) == 0, "Tessera did not quit cleanly")
    else:
        row.kill(w)
    check(row.nas.check(row.expected) == [row.AWALL], "after the kill the NAS holds %s" %
          os.listdir(row.day))
    # A copy stopped by "Quit" takes its partial file away; a killed one cannot.
    check(len(row.nas.partials()) == (0 if quit else 1),
          "partial files of the stopped copy: %s" % row.nas.partials())
    row.set_setting("lastVersion", LAST_VERSION)
    w = row.reopen()
    w.press("Try again")
    if row.rename:
        w.find("Renamed 3 originals to match the NAS.", "label", 90 * SCALE)
    row.finish(w, {row.AWALL: "ALREADY THERE", row.BWALL: "COPIED", row.EDL: "COPIED"})
    check(sorted(f for f in os.listdir(row.day) if not f.endswith(".partial")) ==
          sorted(row.expected), "the day folder holds %s" % os.listdir(row.day))
    if row.rename:
        check(sorted(os.listdir(row.editor)) == sorted(row.expected),
              "the editor's folder holds %s" % os.listdir(row.editor))
    row.stand_in.check_one_per_key(1)


def kill_copy_same_files(row):
    """SIGKILL mid-copy, then Tessera opened again with the same files: the kept run carries on
    as after a start without files, under its version, and copies the awall movie only once."""
    w = row.start()
    mid_copy(row, w)
    row.kill(w)
    row.set_setting("lastVersion", LAST_VERSION)
    w = row.reopen(files=[row.awall, row.bwall, row.edl])
    placed = identities(row)
    check(not [n for n in w.names() if "you opened" in n], "the files are said to wait")
    w.press("Try again")
    row.finish(w, {row.AWALL: "ALREADY THERE", row.BWALL: "COPIED", row.EDL: "COPIED"})
    check(identities(row)[row.AWALL] == placed[row.AWALL], "the awall copy was made again")
    row.stand_in.check_one_per_key(1)


def kill_copy_other_files(row):
    """SIGKILL mid-copy, then Tessera opened again with another set of files: the kept run is
    shown and the files wait, said in one line; "Start over" takes them in."""
    w = row.start()
    mid_copy(row, w)
    row.kill(w)
    w = row.reopen(files=[row.awall])
    w.find("The file you opened is added once you are done with this reel.", "label")
    w.find(row.BWALL, "label")
    w.press("Start over")
    w.find("1 file", "label", 10 * SCALE)
    w.find("tst awall.mov", "label", exact=False)
    with open(os.path.join(row.work, "config", "Kestrel", "Tessera.conf")) as f:
        check("runInProgress" not in f.read(), "the kept run stays after Start over")
    check(w.close() == 0, "Tessera did not quit cleanly")


def bwall_growing(row):
    partial = row.partial_of(row.BWALL)
    return partial and 0 < os.path.getsize(partial) < row.big * 0.8


def mid_copy(row, w):
    """Freezes Tessera while the bwall movie's partial file is being written."""
    row.freeze_when(w, "the bwall copy under way", lambda: bwall_growing(row))


def kill_copy(row):
    """SIGKILL while the bwall movie's partial file is being written."""
    killed_and_restarted(row, lambda w: mid_copy(row, w))


def quit_copy(row):
    """"Quit" in the quit guard while the bwall movie is being copied."""
    killed_and_restarted(row, lambda w: poll("the bwall copy under way",
                                             lambda: bwall_growing(row), 60 * SCALE, 0.002),
                         quit=True)


def kill_readback(row):
    """SIGKILL while Tessera reads the bwall copy back from the NAS."""
    def stop_at(w):
        def checking():
            partial = row.partial_of(row.BWALL)
            return (partial and not os.path.exists(os.path.join(row.day, row.BWALL)) and
                    reading_back(w.process.pid, partial))
        row.freeze_when(w, "the read-back of the bwall copy", checking)
    killed_and_restarted(row, stop_at)


def identities(row):
    """Inode and modification time of every final file in the day folder."""
    return {name: (os.stat(os.path.join(row.day, name)).st_ino,
                   os.stat(os.path.join(row.day, name)).st_mtime_ns)
            for name in os.listdir(row.day) if not name.endswith(".partial")}


def kill_submit(row):
    """SIGKILL once the stand-in has made the submission and before its answer reaches Tessera:
    the new start takes the run up and submits under the same key, so the stand-in holds one
    submission, and the files on the NAS are not touched."""
    row.relay.hold("POST /api/submissions")
    w = row.start()
    poll("the submission at the stand-in", row.relay.held.is_set, 60 * SCALE)
    row.kill(w)
    row.relay.drop()
    check(row.nas.check(row.expected) == sorted(row.expected), "the NAS lacks a file")
    row.stand_in.check_one_per_key(1)
    placed = identities(row)
    w = row.reopen(UNSURE)
    w.press("Try again")
    row.finish(w, {row.AWALL: "ALREADY THERE", row.BWALL: "ALREADY THERE",
                   row.EDL: "ALREADY THERE"})
    row.stand_in.check_one_per_key(1)
    check(identities(row) == placed, "files on the NAS were touched")


def kill_waiting(row):
    """SIGKILL while Tessera waits for the verdict (the stand-in's answers to it are held): the
    new start follows the submission and shows its verdict, without a new submission."""
    row.relay.hold("GET /api/submissions/")
    w = row.start()
    w.find("Submitted. The reel check on VX9 is looking at it.", "label", 90 * SCALE, exact=False)
    row.kill(w)
    row.relay.drop()
    w = row.reopen(ALL_GOOD)
    row.finish(w, {row.AWALL: "COPIED", row.BWALL: "COPIED", row.EDL: "COPIED"})
    row.stand_in.check_one_per_key(1)


def service_forgets(row):
    """The stand-in started again without its state while Tessera waits for the verdict: the next
    status request meets "not found", the window says VX9 doesn't know the submission any more,
    and "Submit again" makes one new submission from the files already on the NAS."""
    row.relay.hold("GET /api/submissions/")
    w = row.start()
    w.find("Submitted. The reel check on VX9 is looking at it.", "label", 90 * SCALE, exact=False)
    placed = identities(row)
    row.stand_in.kill()
    os.remove(row.stand_in.state)
    row.stand_in.start()
    row.relay.drop()
    # The held request ends unanswered; the next one, a poll cycle (5 s) later, is not found.
    w.find(FORGOTTEN, "label", 5 + 3 * SCALE, exact=False)
    w.press("Submit again")
    row.finish(w, {row.AWALL: "ALREADY THERE", row.BWALL: "ALREADY THERE",
                   row.EDL: "ALREADY THERE"})
    row.stand_in.check_one_per_key(1)
    check(identities(row) == placed, "files on the NAS were touched")


def damaged_run(row):
    """A kept run that cannot be read: Tessera starts as if there were none."""
    # As the settings file quotes it: a record cut short.
    row.set_setting("runInProgress", r'"{\"format\": 1, \"key\": "')
    row.finish(row.start(), {row.AWALL: "COPIED", row.BWALL: "COPIED", row.EDL: "COPIED"})
    row.stand_in.check_one_per_key(1)


def service_restart(row):
    """The stand-in killed after making the submission and before answering, then started again
    on the same port: Tessera asks again with the same key and gets the same submission."""
    row.relay.hold("POST /api/submissions")
    w = row.start()
    poll("the submission at the stand-in", row.relay.held.is_set, 60 * SCALE)
    row.stand_in.kill()
    row.relay.drop()
    row.stand_in.start()
    row.finish(w, {row.AWALL: "COPIED", row.BWALL: "COPIED", row.EDL: "COPIED"})
    listed = row.stand_in.check_one_per_key(1)
    check(listed[0]["status"] == "Ready for QLab", "the submission is %s" % listed[0]["status"])
    with open(os.path.join(row.work, "service.log")) as f:
        posts = re.findall(r"POST /api/submissions (\d+)", f.read())
    # Made before the kill; after the restart the same key is answered with that submission.
    check(posts[0] == "201" and posts[1:] and set(posts[1:]) == {"200"},
          "the stand-in answered the submissions with %s" % posts)


def changed_movie(row):
    """The awall movie is exported again after Tessera checked it and before the copy, and the
    bwall one is rewritten in place while it is being copied. The NAS gets the awall movie as it
    is at the copy; the bwall copy, neither the old movie nor the new one, never gets its final
    name; Try again copies the new bwall movie."""
    w = row.start_checked()
    ffmpeg("7972x3424", row.awall, colour="white")
    row.expected[row.AWALL] = sha256(row.awall)
    copy_and_submit(w)

    # Two stretches of the padding, one already sent and one not yet: a copy of the movie as
    # it is read is neither the old movie nor the new one.
    sent = row.movie_size + (64 << 10)

    def growing():
        partial = row.partial_of(row.BWALL)
        return partial and sent + (1 << 20) < os.path.getsize(partial) < row.big * 0.5
    poll("the bwall copy under way", growing, 60 * SCALE, interval=0.002)
    with open(row.bwall, "r+b") as f:
        for offset in (sent, row.big - (1 << 20)):
            f.seek(offset)
            f.write(b"\xff" * (64 << 10))
    row.expected[row.BWALL] = sha256(row.bwall)
    w.find("Copying %s stopped: the original changed while it was being copied. Files already "
           "checked are kept. Press Try again to carry on." % row.BWALL, "label", 60 * SCALE)
    check(row.nas.check(row.expected) == [row.AWALL], "the NAS holds %s" % os.listdir(row.day))
    check(not row.nas.partials(), "a partial file stays: %s" % row.nas.partials())
    w.key("Return")
    row.finish(w, {row.AWALL: "ALREADY THERE", row.BWALL: "COPIED", row.EDL: "COPIED"})
    row.stand_in.check_one_per_key(1)


def smb_share(row):
    """Over the Samba share through GVfs: the sign-in sheet answered in the window, Tessera
    killed mid-copy, and a new start that finds the share still mounted and carries on."""
    def stop_at(w):
        w.find("SIGN IN TO THE NAS", "label", 30 * SCALE)
        # The field offers the user the share suggested: replaced.
        w.click(w.find("User name", "text"))
        w.key("ctrl+a")
        w.type(os.environ["TESSERA_SMB_USER"])
        # Qt gives a password field no name in the accessibility tree; there is only one.
        w.click(w.find("", "password text"))
        w.type(os.environ["TESSERA_SMB_PASSWORD"])
        w.press("Connect")
        mid_copy(row, w)
    killed_and_restarted(row, stop_at)


def shared_folder():
    """The private share's folder on the server, when the SMB share script runs this."""
    if not os.environ.get("TESSERA_SMB_PRIVATE_DIR"):
        print("runs inside tests/app/smb/run-share-test.sh")
        sys.exit(77)
    return contextlib.nullcontext(os.environ["TESSERA_SMB_PRIVATE_DIR"])


def mount(*args):
    subprocess.run(["mount", *args], check=True)


@contextlib.contextmanager
def small_tmpfs():
    """A 48 MB file system for the NAS: room for the awall movie and not the bwall one."""
    folder = tempfile.mkdtemp(prefix="tessera-faults-tmpfs-")
    mount("-t", "tmpfs", "-o", "size=48m", "tmpfs", folder)
    try:
        yield folder
    finally:
        subprocess.run(["umount", "-l", folder])
        os.rmdir(folder)


@contextlib.contextmanager
def bound_folder():
    """A folder bound onto a mount point, so that the NAS can go away and come back intact; the
    folder is the mount point's name with "-disk" added."""
    point = tempfile.mkdtemp(prefix="tessera-faults-nas-")
    disk = point + "-disk"
    os.mkdir(disk)
    mount("--bind", disk, point)
    try:
        yield point
    finally:
        subprocess.run(["umount", "-l", point])
        os.rmdir(point)
        remove(disk)


def carried_on(row):
    """Tessera opened again with the same files after a run that stopped: the run it kept is on
    screen, and "Try again" carries it on."""
    w = row.reopen(files=[row.awall, row.bwall, row.edl])
    w.press("Try again")
    return w


def nas_full(row):
    """The bwall movie does not fit: the run stops with the sentence and leaves no partial
    file; once there is room, a new start carries on."""
    w = row.start()
    w.find("Copying %s stopped: the NAS stopped taking data (No space left on device). "
           "Files already checked are kept. Press Try again to carry on." % row.BWALL,
           "label", 60 * SCALE)
    check(row.nas.check(row.expected) == [row.AWALL], "the NAS holds %s" % os.listdir(row.day))
    check(not row.nas.partials(), "a partial file stays: %s" % row.nas.partials())
    check(w.close() == 0, "Tessera did not quit cleanly")
    mount("-o", "remount,size=256m", row.nas_root)
    row.finish(carried_on(row), {row.AWALL: "ALREADY THERE", row.BWALL: "COPIED",
                                 row.EDL: "COPIED"})
    row.stand_in.check_one_per_key(1)


def nas_vanishes(row):
    """The NAS is unmounted while the bwall movie is being copied: the run stops with the
    sentence and nothing lands under a final name; once the NAS is back a new start carries on."""
    w = row.start()
    poll("the bwall copy under way", lambda: bwall_growing(row), 60 * SCALE, interval=0.002)
    subprocess.run(["umount", "-l", row.nas_root], check=True)
    w.find("Copying %s stopped: can't see the file (No such file or directory). Files "
           "already checked are kept. Press Try again to carry on." % row.BWALL, "label",
           60 * SCALE)
    w.key("Return")
    w.find("The NAS is connected but the folder Halcyon_Drop/Reels isn't there. Ask "
           "production to check the share.", "label", 30 * SCALE)
    check(w.close() == 0, "Tessera did not quit cleanly")
    mount("--bind", row.nas_root + "-disk", row.nas_root)
    check(row.nas.check(row.expected) == [row.AWALL], "the NAS holds %s" % os.listdir(row.day))
    row.finish(carried_on(row), {row.AWALL: "ALREADY THERE", row.BWALL: "COPIED",
                                 row.EDL: "COPIED"})
    row.stand_in.check_one_per_key(1)


class Link:
    """The shaped link to the Samba server, cut on both ends as a pulled cable or a NAS that
    reboots cuts it (the kernel has no netem: a blackhole queue drops everything), and restored."""

    def __init__(self):
        self.server = os.environ.get("TESSERA_SMB_SERVER_NET")
        if not self.server:
            print("runs on the shaped link: TESSERA_SMB_LINK=shaped")
            sys.exit(77)
        self.rate = os.environ["TESSERA_SMB_RATE"]

    def _queue(self, *queue):
        for prefix, device in (((), "lan0"), (("nsenter", "--net=" + self.server), "lan1")):
            subprocess.run([*prefix, "tc", "qdisc", "replace", "dev", device, "root", *queue],
                           check=True)

    def cut(self):
        self._queue("blackhole")
        return time.monotonic()

    def restore(self):
        self._queue("tbf", "rate", self.rate, "burst", "256kb", "latency", "20ms")


def guest_share():
    """The share "Drop Box" (a name with a space) of the SMB share script, which takes guests."""
    if not os.environ.get("TESSERA_SMB_GUEST_DIR"):
        print("runs inside tests/app/smb/run-share-test.sh")
        sys.exit(77)
    return contextlib.nullcontext(os.environ["TESSERA_SMB_GUEST_DIR"])


def guest_url():
    # As the settings file keeps it.
    return "smb://%s/Drop%%20Box" % os.environ["TESSERA_SMB_HOST"]


def start_as_guest(row):
    """A new start with the files, "Copy and submit" pressed and the sign-in answered as a guest."""
    w = row.start()
    w.find("SIGN IN TO THE NAS", "label", 30 * SCALE)
    w.click(w.find("CONNECT AS A GUEST"))
    w.press("Connect")
    return w


def cut_mid_bwall(row, w):
    """Cuts the link once the bwall movie's partial file on the server is a third written; the
    awall movie is on the NAS by then. Returns when the cut was made, and the awall copy's
    identity."""
    poll("the bwall copy a third written",
         lambda: (p := row.partial_of(row.BWALL)) and os.path.getsize(p) > row.big // 3,
         60 * SCALE, interval=0.01)
    moment = row.link.cut()
    check(row.nas.check(row.expected) == [row.AWALL], "the NAS holds %s" % os.listdir(row.day))
    return moment, identities(row)[row.AWALL]


def transfer_lines(w):
    return [name for name in w.names() if re.match(r"(Copying|Checking copy) \d+ of \d+ · ", name)]


class Timeline:
    """What the window says about the run, each change with its time since the cut."""

    WORDS = re.compile(r"(Finding the NAS|Connecting|Checking the NAS|Copying|Checking copy|"
                       r"Submitting|Checking|Stopped)( \d+ of \d+)?$")

    def __init__(self, w, start):
        self.w, self.start, self.seen, self.said = w, start, None, []

    def look(self):
        names = self.w.names()
        tails = [line.split(" · ", 2)[-1] for line in transfer_lines(self.w)]
        now = tuple(n for n in names if self.WORDS.match(n)) + tuple(
            "(moving)" if "/s" in tail or " of " in tail else tail for tail in tails)
        if now != self.seen:
            self.seen = now
            self.said.append("%6.1f s  %s" % (time.monotonic() - self.start, " | ".join(now)))
        return names

    def __str__(self):
        return "\n".join(self.said)


def smb_outage(row):
    """The link to the NAS is cut for 30 s in the middle of the second of three files: the window
    says that the NAS isn't answering, shows no speed and no time left after the first 5 s, and
    carries on by itself to "All good"; the first file is not copied again, no partial file is
    left, and the service gets one submission."""
    row.link = Link()
    w = start_as_guest(row)
    cut, awall = cut_mid_bwall(row, w)
    timeline = Timeline(w, cut)
    rows_said = set()
    while time.monotonic() - cut < 30:
        timeline.look()
        rows_said.add(row_states(w, {row.BWALL}).get(row.BWALL))
        if time.monotonic() - cut > 6:
            shown = [line for line in transfer_lines(w) if "/s" in line or " left" in line]
            check(not shown, "%.1f s into the outage the window shows %s" %
                  (time.monotonic() - cut, shown))
        time.sleep(0.5)
    row.link.restore()
    back = time.monotonic()
    check("The NAS isn't answering. Tessera is waiting for it." in str(timeline) or
          "The connection to the NAS was lost." in str(timeline),
          "the window never said it waits for the NAS:\n%s" % timeline)
    check("WAITING FOR THE NAS" in rows_said, "the bwall row said only %s" % rows_said)
    poll("All good", lambda: ALL_GOOD in timeline.look(), 240 * SCALE, interval=0.5)
    print("the reel reached All good %.1f s after the link came back, %.1f s after the cut; "
          "the window said:\n%s" % (time.monotonic() - back, time.monotonic() - cut, timeline))
    check(identities(row)[row.AWALL] == awall, "the awall movie was copied again")
    check(not row.nas.partials(), "a partial file stays: %s" % row.nas.partials())
    w.press("Show files")
    names = {row.AWALL, row.BWALL, row.EDL}
    states = poll("the rows of the three files",
                  lambda: len(row_states(w, names)) == 3 and row_states(w, names), 10 * SCALE)
    check(states[row.BWALL] == "COPIED" and states[row.EDL] == "COPIED" and
          states[row.AWALL] in ("COPIED", "ALREADY THERE"), "the rows say %s" % states)
    check(row.nas.check(row.expected) == sorted(row.expected), "not every file is on the NAS")
    row.stand_in.check_one_per_key(1)
    check(w.close() == 0, "Tessera did not quit cleanly")


def smb_stop_in_outage(row):
    """"Stop" pressed 5 s into an outage that lasts: the run is stopped within 3 s, and Tessera
    quits at once. Once the link is back, a new start's "Try again" reaches "All good", the
    awall movie is not copied again and no partial file is left."""
    row.link = Link()
    w = start_as_guest(row)
    cut, awall = cut_mid_bwall(row, w)
    time.sleep(max(0.0, cut + 5 - time.monotonic()))
    pressed = time.monotonic()
    w.press("Stop")
    w.find("Copy stopped.", "label", 3)
    print("stopped %.2f s after Stop was pressed" % (time.monotonic() - pressed))
    w.find("Try again", "push button")
    quitting = time.monotonic()
    check(w.close(10) == 0, "Tessera did not quit cleanly")
    print("quit %.2f s after ctrl+q" % (time.monotonic() - quitting))
    time.sleep(max(0.0, cut + 15 - time.monotonic()))  # still cut: nothing gets a final name
    check(row.nas.check(row.expected) == [row.AWALL], "the NAS holds %s" % os.listdir(row.day))
    print("partial files left while the link is cut: %s" % row.nas.partials())
    row.link.restore()
    w = row.reopen()
    w.press("Try again")
    row.finish(w, {row.AWALL: "ALREADY THERE", row.BWALL: "COPIED", row.EDL: "COPIED"}, 120)
    check(identities(row)[row.AWALL] == awall, "the awall movie was copied again")
    check(not row.nas.partials(), "a partial file stays: %s" % row.nas.partials())
    row.stand_in.check_one_per_key(1)


def smb_spaced_share(row):
    """A share whose name has a space, as the settings file keeps it: "All good"."""
    row.finish(start_as_guest(row), {row.AWALL: "COPIED", row.BWALL: "COPIED", row.EDL: "COPIED"})
    row.stand_in.check_one_per_key(1)


def row_test(row_function, nas=None, **options):
    def run(tessera, service):
        if nas and nas not in (shared_folder, guest_share) and os.geteuid() != 0:
            print("mounting the NAS folder needs root")
            sys.exit(77)
        with nas() if nas else contextlib.nullcontext() as root:
            row = Row(tessera, service, nas=root, **options)
            try:
                row_function(row)
            except Exception:
                print("Work folder: " + row.work, file=sys.stderr)
                for w in row.windows:
                    print("Tessera's output:\n" + w.output(), file=sys.stderr)
                row.done()
                raise
            row.done()
            remove(row.work)
    return run


ROWS = {
    "kill-copy": row_test(kill_copy, fixed_stamp=False, rename=True),
    "quit-copy": row_test(quit_copy),
    "kill-readback": row_test(kill_readback),
    "kill-submit": row_test(kill_submit, big=8 << 20, relay=True),
    "kill-waiting": row_test(kill_waiting, big=8 << 20, relay=True),
    "damaged-run": row_test(damaged_run, big=8 << 20),
    "service-forgets": row_test(service_forgets, big=8 << 20, relay=True),
    "kill-copy-same-files": row_test(kill_copy_same_files, big=64 << 20, fixed_stamp=False),
    "kill-copy-other-files": row_test(kill_copy_other_files, big=64 << 20),
    "service-restart": row_test(service_restart, big=8 << 20, relay=True),
    "changed-movie": row_test(changed_movie),
    "smb-share": row_test(smb_share, shared_folder, big=256 << 20,
                          nas_url="smb://127.0.0.1/private"),
    "nas-full": row_test(nas_full, small_tmpfs, big=64 << 20),
    "nas-vanishes": row_test(nas_vanishes, bound_folder),
    "smb-outage": row_test(smb_outage, guest_share, big=768 << 20, nas_url=guest_url),
    "smb-stop": row_test(smb_stop_in_outage, guest_share, big=512 << 20, nas_url=guest_url),
    "smb-spaced-share": row_test(smb_spaced_share, guest_share, big=8 << 20, nas_url=guest_url),
}


def main():
    row, tessera, service = sys.argv[1:4]
    ROWS[row](tessera, service)
    print("fault matrix, %s: passed" % row)


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAILED: %s" % failure, file=sys.stderr)
        sys.exit(1)
