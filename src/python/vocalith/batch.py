"""Pitch tracks of a whole corpus on Dask.

    python3 -m vocalith.batch CORPUS_DIR OUT_DIR [--scheduler ADDRESS] [--workers N] [--fine]

Every sound file under CORPUS_DIR (recursively: WAV, and FLAC, Ogg, AIFF, CAF and MP3, which are
converted to 16 bits in memory) becomes OUT_DIR/<relative path>.pitch.csv, the
same bytes as ``vocalith-cli pitch FILE --whole`` prints, and OUT_DIR/summary.csv gets one row
per file. A file that cannot be analysed is a row with status "error"; the run goes on.
An output is kept when the key beside it (<relative path>.pitch.key: the options, and the
input's size, modification time and inode) matches the run, so a run that was stopped resumes
where it was and a changed recording or option is analysed again. Every file is written under
a temporary name and renamed when complete, with the permissions the umask gives. Names are
written as the file system gives them, in whatever encoding that is.

Without --scheduler a local cluster of N worker processes runs the files; with it, the workers
of that scheduler do (``dask scheduler`` and ``dask worker ADDRESS`` started by hand, on any
machines that see CORPUS_DIR and OUT_DIR under the same paths and can import vocalith).
"""

import argparse
import csv
import io
import json
import logging
import os
import sys
import tempfile
import time

SUMMARY_FIELDS = ["path", "status", "seconds", "frames", "voiced_frames", "median_pitch_hz",
                  "message"]
# The suffixes taken as sound files: WAV, and what opens converted to 16 bits.
AUDIO_SUFFIXES = (".wav", ".flac", ".ogg", ".oga", ".opus", ".aif", ".aiff", ".caf", ".mp3")
_TEMPORARY_SUFFIX = ".partial"
_KEY_SUFFIX = ".pitch.key"


def _umask():
    """The process's umask, read without changing it where the kernel tells it."""
    try:
        with open("/proc/self/status") as f:
            for line in f:
                if line.startswith("Umask:"):
                    return int(line.split()[1], 8)
    except OSError:
        pass
    mask = os.umask(0o022)
    os.umask(mask)
    return mask


def find_sounds(corpus):
    """The sound files under corpus, as sorted paths relative to it."""
    found = []
    for folder, dirs, files in os.walk(corpus):
        dirs.sort()
        for name in files:
            if name.lower().endswith(AUDIO_SUFFIXES):
                found.append(os.path.relpath(os.path.join(folder, name), corpus))
    return sorted(found)


def write_atomically(path, data):
    """Puts data (bytes) at path through a temporary file beside it, so a reader or a killed
    run never sees half a file."""
    folder = os.path.dirname(path) or "."
    os.makedirs(folder, exist_ok=True)
    fd, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".",
                                     suffix=_TEMPORARY_SUFFIX)
    try:
        os.fchmod(fd, 0o666 & ~_umask())  # mkstemp makes it private
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise


def _remove_leftovers(out_dir):
    """Temporary files of a run that was killed while writing."""
    for folder, _, files in os.walk(out_dir):
        for name in files:
            if name.startswith(".") and name.endswith(_TEMPORARY_SUFFIX):
                os.unlink(os.path.join(folder, name))


def _row(rel, status, seconds="", frames="", voiced="", median="", message=""):
    return dict(path=rel, status=status, seconds=seconds, frames=frames, voiced_frames=voiced,
                median_pitch_hz=median, message=message)


def _figures(rel, pitch_hz, seconds, message=""):
    import numpy
    voiced = pitch_hz[pitch_hz > 0]
    median = f"{numpy.median(voiced):.6f}" if voiced.size else ""
    return _row(rel, "ok", f"{seconds:.3f}", str(pitch_hz.size), str(voiced.size), median,
                message)


def _figures_of_csv(rel, path, seconds):
    """The summary row of an output kept from an earlier run."""
    import numpy
    with open(path, "rb") as f:
        f.readline()
        pitch_hz = numpy.array([float(line.split(b",")[2]) for line in f if line.strip()])
    return _figures(rel, pitch_hz, seconds, "up to date")


def _key(sound, fine):
    """What an output depends on: the options and the input file as it is now."""
    st = os.stat(sound)
    return {"fine": bool(fine), "size": st.st_size, "mtime_ns": st.st_mtime_ns,
            "inode": st.st_ino, "device": st.st_dev}


def _kept_seconds(target, key):
    """The recording's length when the output at target was made for exactly this key."""
    try:
        with open(target[:-len(".pitch.csv")] + _KEY_SUFFIX) as f:
            kept = json.load(f)
        seconds = kept.pop("seconds")
        return float(seconds) if kept == key and os.path.isfile(target) else None
    except (OSError, ValueError, KeyError, TypeError, AttributeError):
        return None


def process_file(corpus, out_dir, rel, fine=False):
    """Analyses one file and writes its CSV; returns its summary row. Runs on a worker; every
    failure becomes an error row."""
    sound = os.path.join(corpus, rel)
    target = os.path.join(out_dir, rel + ".pitch.csv")
    key_path = os.path.join(out_dir, rel + _KEY_SUFFIX)
    try:
        key = _key(sound, fine)
        seconds = _kept_seconds(target, key)
        if seconds is not None:
            return _figures_of_csv(rel, target, seconds)
        from . import _vocalith
        # One thread per file: the workers already keep every core busy.
        options = {"whole": True, "fine": bool(fine), "threads": "1"}
        track = _vocalith.pitch(os.fsencode(sound), options, csv=True)
        # The old key goes first: a run killed before the new one is written redoes the file.
        if os.path.lexists(key_path):
            os.unlink(key_path)
        write_atomically(target, track["csv"])
        key["seconds"] = track["seconds"]
        write_atomically(key_path, json.dumps(key).encode())
        return _figures(rel, track["pitch_hz"], track["seconds"])
    except Exception as e:  # noqa: BLE001 - one bad file must not stop the corpus
        # An earlier run's output of this name no longer stands for the file.
        for path in (key_path, target):
            try:
                os.unlink(path)
            except OSError:
                pass
        message = " ".join(str(e).split("\n")) or type(e).__name__
        return _row(rel, "error", message=message)


def format_summary(rows):
    text = io.StringIO()
    writer = csv.DictWriter(text, fieldnames=SUMMARY_FIELDS, lineterminator="\n")
    writer.writeheader()
    writer.writerows(sorted(rows, key=lambda r: r["path"]))
    # Names come back from the file system as they are, not UTF-8 or not.
    return text.getvalue().encode("utf-8", "surrogateescape")


class _Progress:
    """A files-done counter on the terminal (standard error), nothing elsewhere."""

    def __init__(self, total):
        self.total, self.done = total, 0
        self.shown = sys.stderr.isatty()

    def step(self):
        self.done += 1
        if self.shown:
            sys.stderr.write(f"\r{self.done}/{self.total} files")
            sys.stderr.flush()

    def close(self):
        if self.shown:
            sys.stderr.write("\n")


def run(corpus, out_dir, scheduler=None, workers=None, fine=False):
    """Runs the corpus; returns the summary rows (the summary file is written) and the seconds
    the files took, from the first handed out to the last done."""
    from dask.distributed import Client, LocalCluster, as_completed
    # By the package's name, also under "python3 -m": workers import it, not this __main__.
    from vocalith.batch import process_file as task

    os.makedirs(out_dir, exist_ok=True)
    _remove_leftovers(out_dir)
    files = find_sounds(corpus)
    rows = []
    cluster = None
    if scheduler:
        client = Client(scheduler)
    else:
        cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                               processes=True, dashboard_address=None,
                               silence_logs=logging.ERROR)
        client = Client(cluster)
    try:
        progress = _Progress(len(files))
        began = time.monotonic()
        futures = {client.submit(task, corpus, out_dir, rel, fine, pure=False): rel
                   for rel in files}
        for future in as_completed(futures):
            try:
                rows.append(future.result())
            except Exception as e:  # noqa: BLE001 - a worker died on this file
                rows.append(_row(futures[future], "error", message=f"worker lost: {e}"))
            progress.step()
        progress.close()
        seconds = time.monotonic() - began
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    write_atomically(os.path.join(out_dir, "summary.csv"), format_summary(rows))
    return rows, seconds


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m vocalith.batch",
                                     description="Pitch tracks of every WAV file of a corpus.")
    parser.add_argument("corpus", metavar="CORPUS_DIR")
    parser.add_argument("out", metavar="OUT_DIR")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running Dask scheduler, e.g. tcp://host:8786")
    parser.add_argument("--workers", type=int, metavar="N",
                        help="local worker processes (default: one per core)")
    parser.add_argument("--fine", action="store_true", help="fine sense mode")
    args = parser.parse_args(argv)
    if not os.path.isdir(args.corpus):
        parser.error(f"{args.corpus} is not a folder.")
    if args.workers is not None and args.workers < 1:
        parser.error("--workers needs a number from 1.")
    if args.scheduler and args.workers:
        parser.error("--workers is for the local cluster; the scheduler has its own workers.")
    try:
        os.makedirs(args.out, exist_ok=True)
        tempfile.TemporaryFile(dir=args.out).close()
    except OSError as e:
        parser.exit(2, f"{parser.prog}: cannot write to {args.out}: {e.strerror}.\n")
    rows, seconds = run(os.path.abspath(args.corpus), os.path.abspath(args.out), args.scheduler,
               args.workers, args.fine)
    errors = sum(r["status"] != "ok" for r in rows)
    print(f"{len(rows)} files in {seconds:.2f} s, {errors} failed; summary in "
          f"{os.path.join(args.out, 'summary.csv')}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
