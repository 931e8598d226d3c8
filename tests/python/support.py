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
    blob = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * 2 * channels, 2 * channels,
                        16) + b"data" + struct.pack("<I", len(data)) + data)
    if path.endswith(".aiff"):
        # The same samples big-endian in an AIFF file, which opens converted to 16 bits.
        be = b"".join(struct.pack(">h", v) for (v,) in struct.iter_unpack("<h", data))
        exponent = rate.bit_length() - 1  # the rate as an 80-bit extended float
        comm = (b"COMM" + struct.pack(">IhIh", 18, channels, frames, 16) +
                struct.pack(">HQ", 16383 + exponent, rate << (63 - exponent)))
        body = b"AIFF" + comm + b"SSND" + struct.pack(">III", 8 + len(be), 0, 0) + be
        blob = b"FORM" + struct.pack(">I", len(body)) + body
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(blob)
    return path


def read(path):
    # A file's bytes.
    with open(path, "rb") as f:
        return f.read()


def cli(*args):
    """vocalith-cli's standard output as bytes; fails the test on a non-zero status."""
    return subprocess.run([CLI, *args], check=True, capture_output=True).stdout
