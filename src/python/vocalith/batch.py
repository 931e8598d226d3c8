"""Pitch tracks of a whole corpus on Dask.

    python3 -m vocalith.batch CORPUS_DIR OUT_DIR [--scheduler ADDRESS] [--workers N] [--fine]

Every sound file under CORPUS_DIR (recursively: WAV, and FLAC, Ogg, AIFF, CAF and MP3, which are
converted to 16 bits in memory) becomes OUT_DIR/<relative path>.pitch.csv, the
same bytes as ``vocalith-cli pitch FILE --whole`` prints, and OUT_DIR/summary.csv gets one row
per file. A file that cannot be analysed is a row with status "error"; the run goes on.
Outputs newer than their input are kept, so a run that was stopped resumes where it was. Every
file is written under a temporary name and renamed when complete.

Without --scheduler a local cluster of N worker processes runs the files; with it, the workers
of that scheduler do (``dask scheduler`` and ``dask worker ADDRESS`` started by hand, on any
machines that see CORPUS_DIR and OUT_DIR under the same paths and can import vocalith).
"""

import argparse
import csv
import io
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


def _figures_of_csv(rel, path, sound):
    """The summary row of an output kept from an earlier run."""
    import numpy
    import wave
    with open(path, "rb") as f:
        f.readline()
        pitch_hz = numpy.array([float(line.split(b",")[2]) for line in f if line.strip()])
    try:
        with wave.open(sound) as w:
            seconds = w.getnframes() / w.getframerate()
    except Exception:  # a header the standard module does not take; the engine did
        seconds = float("nan")
    return _figures(rel, pitch_hz, seconds, "up to date")


def process_file(corpus, out_dir, rel, fine=False):
    """Analyses one file and writes its CSV; returns its summary row. Runs on a worker; every
    failure becomes an error row."""
    sound = os.path.join(corpus, rel)
    target = os.path.join(out_dir, rel + ".pitch.csv")
    try:
        if os.path.exists(target) and os.path.getmtime(target) > os.path.getmtime(sound):
            return _figures_of_csv(rel, target, sound)
        from . import _vocalith
        # One thread per file: the workers already keep every core busy.
        options = {"whole": True, "fine": bool(fine), "threads": "1"}
        track = _vocalith.pitch(sound, options, csv=True)
        write_atomically(target, track["csv"])
        return _figures(rel, track["pitch_hz"], track["seconds"])
    except Exception as e:  # noqa: BLE001 - one bad file must not stop the corpus
        message = " ".join(str(e).split("\n")) or type(e).__name__
        return _row(rel, "error", message=message)


def format_summary(rows):
    text = io.StringIO()
    writer = csv.DictWriter(text, fieldnames=SUMMARY_FIELDS, lineterminator="\n")
    writer.writeheader()
    writer.writerows(sorted(rows, key=lambda r: r["path"]))
    return text.getvalue().encode("utf-8")


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
    rows, seconds = run(os.path.abspath(args.corpus), os.path.abspath(args.out), args.scheduler,
               args.workers, args.fine)
    errors = sum(r["status"] != "ok" for r in rows)
    print(f"{len(rows)} files in {seconds:.2f} s, {errors} failed; summary in "
          f"{os.path.join(args.out, 'summary.csv')}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
