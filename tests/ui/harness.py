"""What the window tests share: movies made with ffmpeg, the reel check stand-in, Tessera's
settings, the walk to "Copy and submit", and the checks of the NAS and the stand-in."""

import hashlib
import json
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import threading
import urllib.request

from window import SCALE, Failure, poll
REEL = "00_TST_Reel1"
BLOCKERS = ["Pick the reel.", "Pick a surface for every file.", "Checking the files…",
            "Fix the problems in red, then drop the files again."]
# The words a file's row shows, upper-cased as the window draws them.
ROW_WORDS = {"WAITING", "COPYING", "CHECKING COPY", "COPIED", "RENAMED ON THE NAS",
             "ALREADY THERE", "FAILED", "WAITING FOR THE NAS"}


def check(condition, message):
    if not condition:
        raise Failure(message)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def digest(data):
    return hashlib.sha256(data).hexdigest()


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while block := f.read(8 << 20):
            digest.update(block)
    return digest.hexdigest()


def ffmpeg(size, path, alpha=False, colour="gray"):
    codec = ["-profile:v", "4", "-pix_fmt", "yuva444p10le"] if alpha else ["-profile:v", "1"]
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "color=c=%s:s=%s:r=30" % (colour, size), "-frames:v", "3", "-c:v",
                    "prores_ks", *codec, path], check=True)


def pad(path, extra, seed):
    """Appends a "free" atom of `extra` bytes: the atom chain still ends at the end of the file,
    and checks read only the boxes, so the movie stays valid while it becomes big."""
    block = random.Random(seed).randbytes(8 << 20)
    with open(path, "ab") as f:
        f.write((1).to_bytes(4, "big") + b"free" + extra.to_bytes(8, "big"))
        left = extra - 16
        while left > 0:
            f.write(block[:left])
            left -= len(block)


def write_settings(work, **values):
    """Tessera's settings in a private configuration folder; the environment that uses them."""
    folder = os.path.join(work, "config", "Kestrel")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Tessera.conf"), "w") as f:
        f.write("[General]\n" + "".join("%s=%s\n" % item for item in values.items()))
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
    env.pop("QT_QPA_PLATFORM", None)
    return env


class StandIn:
    """The reel check stand-in; with a state file its submissions survive a restart."""

    def __init__(self, service, drop, work, state=None, port=0):
        self.service, self.drop, self.work, self.state = service, drop, work, state
        self.port = port
        self.start()

    def start(self):
        log = open(os.path.join(self.work, "service.log"), "a+")
        start = log.tell()
        args = [self.service, "--listen", "127.0.0.1:%d" % self.port, "--drop", self.drop]
        if self.state:
            args += ["--state", self.state]
        self.process = subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT)

        def base():
            log.seek(start)
            found = re.search(r"^Listening on (http://127\.0\.0\.1:(\d+))$", log.read(), re.M)
            if not found and self.process.poll() is not None:
                raise Failure("the stand-in ended at once")
            return found
        found = poll("the reel check stand-in", base, 20 * SCALE)
        self.base, self.port = found.group(1), int(found.group(2))

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait()

    def submissions(self):
        with urllib.request.urlopen(self.base + "/api/submissions", timeout=10) as answer:
            return json.load(answer)["submissions"]

    def keys(self):
        """The submission key of every submission, as the state file keeps them."""
        with open(self.state) as f:
            return [entry["request"]["key"] for entry in json.load(f)["submissions"]]

    def check_one_per_key(self, count):
        keys = self.keys()
        check(len(keys) == len(set(keys)), "two submissions share a key: %s" % keys)
        listed = self.submissions()
        check(len(listed) == count and len(keys) == count,
              "the stand-in holds %d submissions, wanted %d: %s" % (len(listed), count, listed))
        return listed


class Relay:
    """Passes connections through to the stand-in. hold(request) makes it keep back the answer to
    the next request that starts so ("POST /api/submissions": the stand-in has made the submission,
    Tessera does not know), and to every later one, until drop()."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.server = socket.create_server(("127.0.0.1", 0))
        self.base = "http://127.0.0.1:%d" % self.server.getsockname()[1]
        self.holding = None
        self.held = threading.Event()  # an answer to a submission is being kept back
        self.dropped = threading.Event()  # the held connections are to be closed unanswered
        threading.Thread(target=self._accept, daemon=True).start()

    def hold(self, request):
        self.held.clear()
        self.dropped.clear()
        self.holding = request.encode()

    def drop(self):
        """Closes the connections whose answers are held, without the answers, and holds no more."""
        self.holding = None
        self.dropped.set()

    def _accept(self):
        while True:
            client, _ = self.server.accept()
            threading.Thread(target=self._serve, args=(client,), daemon=True).start()

    def _serve(self, client):
        try:
            upstream = socket.create_connection(("127.0.0.1", self.target_port))
        except OSError:
            client.close()
            return
        keep_back = threading.Event()

        def forward():
            try:
                while data := client.recv(65536):
                    if self.holding and data.startswith(self.holding):
                        keep_back.set()
                    upstream.sendall(data)
            except OSError:
                pass
        threading.Thread(target=forward, daemon=True).start()
        try:
            while data := upstream.recv(65536):
                if keep_back.is_set():
                    self.held.set()
                    self.dropped.wait()
                    break
                client.sendall(data)
        except OSError:
            pass
        for end in (client, upstream):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            end.close()


class NAS:
    """The day folder as Tessera must leave it after any fault: files under final names are whole
    copies of what was sent, nothing there before is changed or gone, partial files carry the
    partial suffix."""

    def __init__(self, drop):
        self.drop = drop
        self.kept = {}  # path below the drop folder -> digest, of every final file seen so far

    def files(self):
        found = {}
        for folder, _, names in os.walk(self.drop):
            for name in names:
                path = os.path.join(folder, name)
                found[os.path.relpath(path, self.drop)] = path
        return found

    def check(self, expected):
        """expected: final name -> digest of the whole file it must hold. Returns the final
        names present."""
        present = []
        for relative, path in self.files().items():
            name = os.path.basename(relative)
            partial = re.fullmatch(r"(.+)\.[0-9a-f]{12}\.partial", name)
            if partial:
                check(partial.group(1) in expected, "a partial file not of ours: " + relative)
                continue
            check(name in expected, "a file nobody sent is on the NAS: " + relative)
            digest = self.kept.get(relative) or sha256(path)
            check(digest == expected[name], "%s on the NAS is not the whole file" % relative)
            self.kept[relative] = digest
            present.append(name)
        for relative, digest in self.kept.items():
            path = os.path.join(self.drop, relative)
            check(os.path.isfile(path), "%s was lost from the NAS" % relative)
            check(sha256(path) == digest, "%s on the NAS was overwritten" % relative)
        return sorted(present)

    def partials(self):
        return sorted(r for r in self.files() if r.endswith(".partial"))


def pick_reel(w):
    w.click(w.find("Search, for example TST 1", "text"))
    w.type("TST 1")
    w.click(w.find(REEL, "list item"))
    w.find("Copy and submit " + REEL, "push button")


def copy_and_submit(w):
    poll("nothing to block the submission",
         lambda: not set(BLOCKERS) & set(w.names()), 60 * SCALE)
    w.press("Copy and submit " + REEL)


def row_states(w, names):
    """The word each of the given final names' rows shows, in the window's order."""
    states = {}
    current = None
    for name in w.names():
        if name in names:
            current = name
        elif current and name in ROW_WORDS:
            states[current] = name
            current = None
    return states


def remove(work):
    shutil.rmtree(work, ignore_errors=True)
