#!/usr/bin/python3
"""Whole-recording and corpus figures beside their targets.

    bench/corpus_bench.py BUILD_DIR [--hour]

A corpus of 8 synthetic 20 s recordings at 44.1 kHz goes through vocalith.batch with one and
with two local workers (the time the files take, without the cluster's start), and through
vocalith-cli one file after the other; --hour adds pitch --whole over a 60-minute recording
(time and peak memory through /usr/bin/time) and its whole voiceprint from Python to .npy files
memory-mapped back (time and peak memory of that Python process; the files take about 15 GB).
Temporary files go to a folder removed at the end.
"""

import os
import re
import resource
import subprocess
import sys
import tempfile
import time

import numpy


def synthetic_voice(path, seconds, rate=44100, which=0):
    """Harmonic bursts with a wandering pitch and pauses, a little noise under everything."""
    rng = numpy.random.default_rng(which)
    t = numpy.arange(int(seconds * rate)) / rate
    f0 = 140 + 40 * numpy.sin(2 * numpy.pi * 0.3 * t + which)
    phase = 2 * numpy.pi * numpy.cumsum(f0) / rate
    voice = sum(numpy.sin(k * phase) / k for k in range(1, 12))
    gate = (numpy.sin(2 * numpy.pi * 0.7 * t) > -0.3).astype(float)
    x = 6000 * voice * gate + 30 * rng.standard_normal(t.size)
    data = numpy.clip(x, -32768, 32767).astype("<i2").tobytes()
    with open(path, "wb") as f:
        f.write(b"RIFF" + (36 + len(data)).to_bytes(4, "little") + b"WAVEfmt " +
                (16).to_bytes(4, "little") + (1).to_bytes(2, "little") +
                (1).to_bytes(2, "little") + rate.to_bytes(4, "little") +
                (2 * rate).to_bytes(4, "little") + (2).to_bytes(2, "little") +
                (16).to_bytes(2, "little") + b"data" + len(data).to_bytes(4, "little") + data)


def cpu_of_children():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def batch_seconds(build, corpus, out, workers):
    """The seconds the files took, and the processor seconds of the whole run (the cluster's
    start included)."""
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    cpu = cpu_of_children()
    done = subprocess.run([sys.executable, "-m", "vocalith.batch", corpus, out, "--workers",
                           str(workers)], env=env, capture_output=True, text=True, check=True)
    return float(re.search(r"in ([0-9.]+) s", done.stdout).group(1)), cpu_of_children() - cpu


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    cli = os.path.join(build, "vocalith-cli")
    with tempfile.TemporaryDirectory() as tmp:
        corpus = os.path.join(tmp, "corpus")
        os.makedirs(corpus)
        files = []
        for k in range(8):
            files.append(os.path.join(corpus, f"talk{k}.wav"))
            synthetic_voice(files[-1], 20.0, which=k)
        print("load average before: %.1f %.1f %.1f on %d cores (the figures below assume the "
              "cores are free)" % (*os.getloadavg(), os.cpu_count()))
        one, one_cpu = batch_seconds(build, corpus, os.path.join(tmp, "out1"), 1)
        two, _ = batch_seconds(build, corpus, os.path.join(tmp, "out2"), 2)
        print(f"batch, 8 x 20 s at 44.1 kHz: 1 worker {one:.2f} s, 2 workers {two:.2f} s: "
              f"{one / two:.2f}x faster (target >= 1.6x)")
        began, cpu = time.monotonic(), cpu_of_children()
        for f in files:
            subprocess.run([cli, "pitch", f, "--whole", "--threads", "1"], check=True,
                           stdout=subprocess.DEVNULL)
        alone, alone_cpu = time.monotonic() - began, cpu_of_children() - cpu
        print(f"batch over vocalith-cli per file (1 worker, 1 thread): {one:.2f} s against "
              f"{alone:.2f} s: {100 * (one / alone - 1):+.1f}% (target <= +10%); processor "
              f"time {one_cpu:.2f} s (the cluster's start included) against {alone_cpu:.2f} s")
        if "--hour" in sys.argv:
            hour = os.path.join(tmp, "hour.wav")
            synthetic_voice(hour, 3600.0)
            done = subprocess.run(["/usr/bin/time", "-v", cli, "pitch", hour, "--whole"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                  check=True)
            wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([0-9.]+)",
                             done.stderr)
            seconds = (int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 +
                       float(wall.group(3)))
            rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)",
                                done.stderr).group(1)) / 1024
            print(f"pitch --whole, 60 min at 44.1 kHz on {os.cpu_count()} cores: "
                  f"{seconds:.1f} s (target <= 60 s), peak memory {rss:.0f} MB "
                  f"(target < 300 MB)")
            # In a process of its own: making the recording above took gigabytes of arrays. The
            # peak is the process's own (VmHWM): getrusage would report this one's, inherited
            # through the fork.
            run = ("import re, sys, time, vocalith\n"
                   "began = time.monotonic()\n"
                   "v = vocalith.Sound(sys.argv[1]).voiceprint(whole=True, npy=sys.argv[2])\n"
                   "seconds = time.monotonic() - began\n"
                   "with open('/proc/self/status') as f:\n"
                   "    peak = re.search(r'VmHWM:\\s+(\\d+) kB', f.read()).group(1)\n"
                   "print(seconds, v.restored_db.shape[0], peak)\n")
            npy = os.path.join(tmp, "npy")
            done = subprocess.run([sys.executable, "-c", run, hour, npy], capture_output=True,
                                  text=True, check=True,
                                  env=dict(os.environ, PYTHONPATH=os.path.join(build, "python")))
            seconds, frames, rss = done.stdout.split()
            files = sum(os.path.getsize(os.path.join(npy, f)) for f in os.listdir(npy))
            print(f"Python voiceprint(whole=True, npy=...), 60 min at 44.1 kHz: {frames} frames "
                  f"in {float(seconds):.1f} s, peak memory {int(rss) / 1024:.0f} MB (target < "
                  f"1024 MB), {files / 2**30:.1f} GB of .npy files")


if __name__ == "__main__":
    main()
