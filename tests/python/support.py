"""Sounds and runs shared by the Python tests. PYTHONPATH names the built package and
VOCALITH_CLI the built command line (CTest sets both)."""

import math
import os
import struct
import subprocess

CLI = os.environ.get("VOCALITH_CLI", "vocalith-cli")


def write_wav(path, seconds, rate=16000, channels=1):
    """A voiced tone (180 Hz and four harmonics, with a slow vibrato); the second channel of a
    stereo file is the first one halved."""
    frames = int(seconds * rate)
    data = bytearray()
    for i in range(frames):
        t = i / rate
        phase = 2 * math.pi * (180 * t + 3 * math.sin(2 * math.pi * t))
        v = int(sum(6000 / k * math.sin(k * phase) for k in range(1, 6)))
        data += struct.pack("<h", v) if channels == 1 else struct.pack("<hh", v, v // 2)
    header = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
              struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * 2 * channels, 2 * channels,
                          16) + b"data" + struct.pack("<I", len(data)))
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(header + data)
    return path


def cli(*args):
    """vocalith-cli's standard output as bytes; fails the test on a non-zero status."""
    return subprocess.run([CLI, *args], check=True, capture_output=True).stdout
