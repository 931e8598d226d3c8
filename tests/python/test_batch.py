import csv
import glob
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from support import cli, read, write_wav

DASK = os.environ.get("VOCALITH_DASK", "/usr/bin/dask")
UMASK = 0o027  # every process of a run has it; every output must follow it


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class BatchTest(unittest.TestCase):
    """A corpus of three good recordings in folders, one broken one and a file that is no
    sound, through the batch on a real scheduler with two workers, and through a local
    cluster killed in the middle and resumed."""

    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.root = tmp.name
        self.corpus = os.path.join(self.root, "corpus")
        self.good = {"a/one.wav": 2.0, "a/b/two.wav": 3.0, "three.wav": 1.5, "four.aiff": 1.0}
        for rel, seconds in self.good.items():
            write_wav(os.path.join(self.corpus, rel), seconds)
        with open(os.path.join(self.corpus, "a", "broken.wav"), "wb") as f:
            f.write(b"RIFF\x24\x00\x00\x00WAVEfmt ")
        with open(os.path.join(self.corpus, "notes.txt"), "w") as f:
            f.write("not a sound")
        os.mkfifo(os.path.join(self.corpus, "a", "pipe.wav"))  # never opened, so never waited on

    def start(self, *args):
        """A process in a session of its own, killed with everything it started at cleanup."""
        p = subprocess.Popen(args, cwd=self.root, start_new_session=True, umask=UMASK,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.kill, p)
        return p

    @staticmethod
    def kill(p):
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        p.wait()

    def batch(self, out, *args):
        return subprocess.run([sys.executable, "-m", "vocalith.batch", self.corpus, out, *args],
                              cwd=self.root, capture_output=True, text=True, timeout=120,
                              umask=UMASK)

    def check_outputs(self, out, *options):
        """Every output is the command line's bytes; returns the summary rows by path."""
        for rel in glob.glob("**/*.pitch.csv", root_dir=out, recursive=True):
            self.assertEqual(read(os.path.join(out, rel)), cli(
                "pitch", os.path.join(self.corpus, rel[:-10]), "--whole", *options), rel)
            self.assertEqual(os.stat(os.path.join(out, rel)).st_mode & 0o777, 0o640)
        self.assertEqual(glob.glob("**/.*", root_dir=out, recursive=True), [])
        self.assertEqual(os.stat(os.path.join(out, "summary.csv")).st_mode & 0o777, 0o640)
        with open(os.path.join(out, "summary.csv"), newline="", errors="surrogateescape") as f:
            return {row["path"]: row for row in csv.DictReader(f)}

    def test_scheduler_with_two_workers(self):
        port = free_port()
        address = f"tcp://127.0.0.1:{port}"
        self.start(DASK, "scheduler", "--host", "127.0.0.1", "--port", str(port),
                   "--no-dashboard")
        for k in range(2):
            self.start(DASK, "worker", address, "--nthreads", "1", "--no-dashboard",
                       "--local-directory", os.path.join(self.root, f"worker{k}"))
        from dask.distributed import Client
        with Client(address, timeout=30) as client:
            client.wait_for_workers(2, timeout=30)
        done = self.batch(os.path.join(self.root, "out"), "--scheduler", address)
        self.assertEqual(done.returncode, 1, done.stderr)  # the broken file
        rows = self.check_outputs(os.path.join(self.root, "out"))
        self.assertEqual(sorted(rows), sorted([*self.good, "a/broken.wav", "a/pipe.wav"]))
        self.assertEqual(list(rows["a/broken.wav"].values()),
                         ["a/broken.wav", "error", "", "", "", "",
                          "wave file reading failed. file damaged or not a sound."])
        self.assertEqual(rows["a/pipe.wav"]["message"],
                         "wave file reading failed. not a regular file.")
        for rel, seconds in self.good.items():
            frames = (int(seconds * 16000) - 2048) // 512 + 1
            self.assertEqual([rows[rel][k] for k in ("status", "seconds", "frames")],
                             ["ok", f"{seconds:.3f}", str(frames)])
            self.assertTrue(abs(float(rows[rel]["median_pitch_hz"]) - 180) < 7.8125)

        # Nothing stale is served: another option, a recording replaced by an older file and a
        # name that is not UTF-8 are analysed again; a kept converted sound keeps its length.
        out = os.path.join(self.root, "out")
        self.batch(out, "--scheduler", address)
        rows = self.check_outputs(out)
        self.assertEqual([rows["four.aiff"][k] for k in ("seconds", "message")],
                         ["1.000", "up to date"])
        self.batch(out, "--scheduler", address, "--fine")
        rows = self.check_outputs(out, "--fine")
        self.assertEqual({rows[rel]["message"] for rel in self.good}, {""})
        three, odd = os.path.join(self.corpus, "three.wav"), os.fsdecode(b"\xff.wav")
        os.utime(write_wav(three + ".new", 2.5), (1e9, 1e9))
        os.replace(three + ".new", three)
        write_wav(os.path.join(self.corpus, odd), 1.0)
        self.batch(out, "--scheduler", address, "--fine")
        rows = self.check_outputs(out, "--fine")
        self.assertEqual([rows[rel]["frames"] for rel in ("three.wav", odd)],
                         [str((40000 - 2048) // 512 + 1), str((16000 - 2048) // 512 + 1)])
        self.assertEqual(rows["a/one.wav"]["message"], "up to date")

    def test_killed_run_resumes(self):
        out = os.path.join(self.root, "out")
        first = self.start(sys.executable, "-m", "vocalith.batch", self.corpus, out,
                           "--workers", "1")
        deadline = time.monotonic() + 60
        while not glob.glob("**/*.pitch.csv", root_dir=out, recursive=True):
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)
        self.kill(first)
        # A CSV whose key was not written yet when the kill came is redone, as it should be.
        kept = {rel: os.stat(os.path.join(out, rel)).st_mtime_ns
                for rel in glob.glob("**/*.pitch.csv", root_dir=out, recursive=True)
                if os.path.exists(os.path.join(out, rel[:-4] + ".key"))}
        # What a kill in the middle of a write leaves behind.
        with open(os.path.join(out, ".three.wav.pitch.csv.x1y2.partial"), "w") as f:
            f.write("frame,ti")
        done = self.batch(out, "--workers", "2")
        self.assertEqual(done.returncode, 1, done.stderr)
        rows = self.check_outputs(out)
        self.assertEqual(sum(r["status"] == "ok" for r in rows.values()), len(self.good))
        for rel, mtime in kept.items():
            self.assertEqual(os.stat(os.path.join(out, rel)).st_mtime_ns, mtime)
            self.assertEqual(rows[rel[:-10]]["message"], "up to date")

    def test_unwritable_out_refused_before_any_work(self):
        done = self.batch(os.path.join(self.corpus, "notes.txt", "out"), "--workers", "1")
        self.assertEqual((done.returncode, done.stdout), (2, ""))
        self.assertRegex(done.stderr, r"^python3 -m vocalith.batch: cannot write to "
                                      r"\S*/notes.txt/out: Not a directory\.\n$")


if __name__ == "__main__":
    unittest.main()
