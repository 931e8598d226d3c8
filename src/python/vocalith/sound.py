"""Sounds, voiceprints and pitch tracks as objects over NumPy arrays.

A ``Sound`` is a file or samples in memory; its analyses run the engine code that
``vocalith-cli`` runs, so a ``Voiceprint`` of samples equals the command line's result on the
same samples written as a WAV file, to the last bit.
"""

import os

import numpy as np

from . import _vocalith
from ._vocalith import Error

_CHANNELS = ("left", "right", "mix")
_VALUED = ("start", "frames", "ssft", "interval", "noise", "threads")
_FLAGS = ("fine", "whole")


def _path(path):
    """A file name as the engine takes it: the file system's bytes, as the command line gets
    them, so a name that is not UTF-8 works too. A NUL would cut the name short: refused."""
    if not isinstance(path, (str, bytes)) and not hasattr(path, "__fspath__"):
        raise TypeError(f"path must be a file name, not {type(path).__name__}")
    name = os.fsencode(os.fspath(path))
    if b"\0" in name:
        raise Error(f"a file name cannot hold a NUL byte: {path!r}.")
    return name


def _words(given):
    """Keyword options as the command line's option words; None leaves the default."""
    words = {}
    for name, value in given.items():
        if value is None:
            continue
        key = "from" if name == "from_" else name
        if name in _FLAGS or name == "hamming":
            words[key] = bool(value)
        elif isinstance(value, bool):
            raise Error(f"{name} needs a number, not {value!r}.")
        elif isinstance(value, float):
            words[key] = float.__repr__(value)  # round-trips: the engine reads the same double
        else:
            words[key] = str(value)
    return words


def _samples(samples):
    """Samples as the engine reads them: C-ordered int16 frames, or frames x 2. Floats are
    full scale (-1 .. 1) and rounded as a file of floats is when it is opened."""
    a = np.asarray(samples)
    if a.ndim not in (1, 2) or (a.ndim == 2 and a.shape[1] != 2):
        raise Error(f"samples must be 1-D (mono) or frames x 2 (stereo), not shape {a.shape}.")
    if a.dtype == np.int16:
        out = np.array(a, dtype=np.int16, order="C", copy=True)
    elif a.dtype.kind == "f":
        if a.size and not (np.all(np.isfinite(a)) and np.max(np.abs(a)) <= 1.0):
            raise Error("float samples must be finite and within -1 .. 1.")
        out = _vocalith.pcm16(np.ascontiguousarray(a, dtype=np.float64))
    else:
        raise TypeError(f"samples must be int16 or float, not {a.dtype}")
    out.flags.writeable = False  # the sound's samples stay what it was made of
    return out


class Sound:
    """A recording to analyse.

    ``Sound(path, *, channel=None)`` opens a file as the program does (16-bit PCM WAV, or
    another format converted to 16 bits in memory). ``Sound(samples, rate, *, channel=None,
    name="samples")`` takes samples in memory: an int16 array, or floats in -1 .. 1 rounded as
    a file of floats is; 1-D for mono, frames x 2 for stereo. ``channel`` picks what a stereo
    sound's analyses read: "left" (the default, as the program), "right" or "mix". ``name``
    titles its pictures as a file of that name would be.
    """

    def __init__(self, source, rate=None, *, channel=None, name=None):
        if channel is not None and channel not in _CHANNELS:
            raise Error(f"channel must be left, right or mix, not {channel!r}.")
        self._channel = channel
        if rate is None:
            if name is not None:
                raise TypeError("name goes with samples; a file is named by its path")
            self._source = _path(source)
            self._rate, self._channels, self._frames = _vocalith.sound_facts(self._source)
            self._samples = None
            self._name = self._source
        else:
            if isinstance(rate, bool) or not isinstance(rate, (int, np.integer)):
                raise TypeError(f"rate must be an int, not {type(rate).__name__}")
            if not 1 <= rate < 2**31:
                raise Error(f"rate must be from 1 to {2**31 - 1} Hz, not {rate}.")
            self._samples = _samples(source)
            self._rate, self._frames = int(rate), self._samples.shape[0]
            self._channels = 1 if self._samples.ndim == 1 else 2
            self._name = _path("samples" if name is None else name)
            self._source = (self._samples, self._rate, self._name)

    @property
    def rate(self):
        """Samples per second (per channel)."""
        return self._rate

    @property
    def channels(self):
        """1 or 2."""
        return self._channels

    @property
    def duration(self):
        """Seconds: frames / rate."""
        return self._frames / self._rate

    @property
    def samples(self):
        """Every sample as int16: frames, or frames x 2 for stereo (read from a file when first
        asked for)."""
        if self._samples is None:
            self._samples = _vocalith.read_wav(self._source)[1]
            self._samples.flags.writeable = False
        return self._samples

    def _options(self, given):
        words = _words(given)
        if self._channel is not None:
            words["channel"] = self._channel
        return words

    def voiceprint(self, *, start=None, frames=None, fine=False, ssft=None, interval=None,
                   noise=None, whole=False, from_=None, to=None, threads=None, npy=None):
        """The voiceprint, as ``vocalith-cli voiceprint`` computes it (the options are its
        own: see the vocalith package). Returns a ``Voiceprint``.

        With ``whole=True`` and ``npy`` a folder, the planes are written there as they are
        computed (as ``vocalith-cli voiceprint --whole --npy`` writes them) and come back
        memory-mapped, read-only: memory then holds only the runs in flight, so an hour of
        sound, whose planes take gigabytes, needs no more than a window does."""
        options = dict(start=start, frames=frames, fine=fine, ssft=ssft, interval=interval,
                       noise=noise, whole=whole, from_=from_, to=to, threads=threads)
        given = {k: v for k, v in options.items() if v not in (None, False)}
        if npy is None:
            planes, run = _vocalith.voiceprint(self._source, self._options(options))
            return Voiceprint(planes, run, given, self._name)
        if not whole:
            raise Error("npy goes with whole=True; a window's planes fit in memory.")
        folder = _path(npy)
        run = _vocalith.voiceprint_npy(self._source, self._options(options), folder)
        planes = {name: np.load(os.path.join(folder, name.encode() + b".npy"), mmap_mode="r")
                  for name in ("hamDbMap", "restoreDbMap", "rectDbMap")}
        return Voiceprint(planes, run, dict(given, npy=npy), self._name)

    def pitch(self, *, start=None, frames=None, fine=False, ssft=None, interval=None,
              noise=None, whole=False, from_=None, to=None, threads=None, hamming=False):
        """The pitch track, as ``vocalith-cli pitch`` prints it. Returns a ``Pitch``."""
        options = dict(start=start, frames=frames, fine=fine, ssft=ssft, interval=interval,
                       noise=noise, whole=whole, from_=from_, to=to, threads=threads,
                       hamming=hamming)
        track = _vocalith.pitch(self._source, self._options(options), csv=True)
        return Pitch(track, {k: v for k, v in options.items() if v not in (None, False)})

    def __repr__(self):
        return (f"Sound({os.fsdecode(self._name)!r}, rate={self._rate}, "
                f"channels={self._channels}, duration={self.duration:.3f})")


class Voiceprint:
    """A voiceprint: ``times`` (s, the first sample of each frame), ``freqs`` (Hz, bin k at
    k x rate / ssft), and the dB planes ``ham_db``, ``restored_db`` and ``rect_db`` (frames x
    bins, float64). ``options`` are the options given; ``ssft``, ``interval``, ``fine``,
    ``noise``, ``freq_range`` and ``db_range`` the parameters the run had."""

    def __init__(self, planes, run, options, name):
        self.ham_db = planes["hamDbMap"]
        self.restored_db = planes["restoreDbMap"]
        self.rect_db = planes["rectDbMap"]
        self.options = options
        self._run, self._name = run, name
        rate = run["rate"]
        self.ssft, self.interval = run["ssft"], run["interval"]
        self.fine, self.noise = run["fine"], run["noise"]
        self.freq_range, self.db_range = run["freq_range"], run["db_range"]
        frames, bins = self.restored_db.shape
        self.times = (run["first_sample"] + np.arange(frames) * self.interval) / rate
        self.freqs = np.arange(bins) * rate / self.ssft

    def to_png(self, target, *, width=1200, height=600, pitch=False, plain=False):
        """Writes the picture ``vocalith-cli voiceprint --png`` writes for the same run, byte
        for byte, to a path or a binary file object: the restored voiceprint, labelled, of
        ``width`` x ``height`` pixels, with the pitch contour when ``pitch``; or, when
        ``plain``, the bare grey plane. Whole runs have no picture."""
        if self.options.get("whole"):
            raise Error("a picture shows a window's run, not a whole one.")
        if plain and (pitch or (width, height) != (1200, 600)):
            raise Error("plain takes no other picture option.")
        for side, low in ((width, 200), (height, 150)):
            if isinstance(side, bool) or not isinstance(side, int) or not low <= side <= 4096:
                raise Error(f"width and height must be 200x150 to 4096x4096, not {side!r}.")
        png = _vocalith.voiceprint_png(self.restored_db, self.ham_db if pitch else None,
                                       self._run, self._name, width, height, plain)
        if hasattr(target, "write"):
            target.write(png)
            return
        name = _path(target)
        with open(name, "wb") as f:
            f.write(png)

    def __repr__(self):
        return f"Voiceprint(frames={len(self.times)}, bins={len(self.freqs)})"


class Pitch:
    """A pitch track, one entry per frame: ``times`` (s), ``hz`` (0 where the frame has no
    pitch), ``level``, ``power`` and ``harmonics`` (the CSV's pitch_level, power and
    harmonics columns)."""

    def __init__(self, track, options):
        self.times = track["time_s"]
        self.hz = track["pitch_hz"]
        self.level = track["pitch_level"]
        self.power = track["power"]
        self.harmonics = track["harmonics"]
        self.options = options
        self._csv = track["csv"]

    def to_csv(self, target=None):
        """The CSV ``vocalith-cli pitch`` prints: as text, or written to a path or a binary file
        object."""
        if target is None:
            return self._csv.decode("ascii")
        if hasattr(target, "write"):
            target.write(self._csv)
            return None
        with open(_path(target), "wb") as f:
            f.write(self._csv)
        return None

    def __repr__(self):
        return f"Pitch(frames={len(self.times)})"
