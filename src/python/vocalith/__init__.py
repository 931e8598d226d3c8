"""Vocalith's analysis from Python: voiceprints, pitch tracks, WAV samples and memo lists.

Every function runs the same engine code as ``vocalith-cli``; arrays equal the command line's
files to the last bit. Options are the command line's, as keyword arguments:

    start     first sample of a window's run (0 .. window length - ExcutionSize)
    frames    [RepeatTimes]: frames of a window's run; with whole, frames per run
    fine      fine sense mode (default normal)
    ssft      [SsftSize]: 256 .. 32768, a power of two
    interval  [Interval]: samples between frames
    noise     [NoiseParameter]
    whole     every frame of the recording, not only the first window's
    from_, to seconds: the span of a whole run
    threads   threads of the frame loop (default: every core)
    channel   of a stereo sound: "left" (default), "right" or "mix" (their rounded mean)

Bad input raises ``vocalith.Error`` (a ValueError) with the program's message. The interpreter
lock is released while the engine works, so threads can analyse files side by side.

    >>> import vocalith
    >>> track = vocalith.pitch("talk.wav", whole=True)
    >>> track["pitch_hz"][track["pitch_hz"] > 0].mean()
"""

from ._vocalith import Error
from . import _vocalith

__all__ = ["Error", "voiceprint", "pitch", "read_wav", "read_memos", "write_memos",
           "export_memos", "import_memos"]

_VALUED = ("start", "frames", "ssft", "interval", "noise", "threads", "channel")
_FLAGS = ("fine", "whole", "hamming")


def _words(path, given):
    """The keyword options as the command line's option words."""
    if not isinstance(path, (str, bytes)) and not hasattr(path, "__fspath__"):
        raise TypeError("path must be a file name")
    words = {}
    for name, value in given.items():
        if value is None:
            continue
        key = "from" if name == "from_" else name
        if name in _FLAGS:
            words[key] = bool(value)
        elif isinstance(value, bool):
            raise Error(f"{name} needs a number, not {value!r}.")
        elif isinstance(value, float):
            words[key] = float.__repr__(value)  # round-trips: the engine reads the same double
        else:
            words[key] = str(value)
    import os
    return os.fsdecode(os.fspath(path)), words


def voiceprint(path, *, start=None, frames=None, fine=False, ssft=None, interval=None,
               noise=None, whole=False, from_=None, to=None, threads=None, channel=None):
    """The voiceprint of a recording, as ``vocalith-cli voiceprint --npy`` writes it.

    Returns a dict of float64 arrays: the dB planes ``hamDbMap``, ``restoreDbMap`` and
    ``rectDbMap`` (frames x bins; bin k stands for k x rate / ssft Hz) and the level spectra of
    the first frame ``hamDb``, ``restoreDb`` and ``rectDb`` (bins). With ``whole=True`` the
    planes hold every frame of the recording, so they can be large: frames x bins x 24 bytes.
    """
    p, words = _words(path, dict(start=start, frames=frames, fine=fine, ssft=ssft,
                                 interval=interval, noise=noise, whole=whole, from_=from_,
                                 to=to, threads=threads, channel=channel))
    return _vocalith.voiceprint(p, words)


def pitch(path, *, start=None, frames=None, fine=False, ssft=None, interval=None, noise=None,
          whole=False, from_=None, to=None, threads=None, channel=None, hamming=False):
    """The pitch track of a recording, as ``vocalith-cli pitch`` prints it.

    Returns a dict of arrays named as the CSV's columns: ``frame`` (int64), ``time_s`` (the
    frame's first sample in seconds), ``pitch_hz`` (0 where the frame has no pitch),
    ``pitch_level``, ``power`` and ``harmonics``. ``hamming=True`` judges harmonics on the
    Hamming voiceprint instead of the restored one.
    """
    p, words = _words(path, dict(start=start, frames=frames, fine=fine, ssft=ssft,
                                 interval=interval, noise=noise, whole=whole, from_=from_,
                                 to=to, threads=threads, channel=channel, hamming=hamming))
    return _vocalith.pitch(p, words)


def read_wav(path):
    """Every sample of a 16-bit PCM WAV file: ``(rate, samples)``, samples an int16 array of
    frames, or of frames x 2 for a stereo file."""
    return _vocalith.read_wav(_words(path, {})[0])


def read_memos(path):
    """The groups of a memo list (.vlh), each a dict: ``title`` (the title memo's text),
    ``priority`` (High, Mid or Low), and the stored records ``param`` (its text is the group's
    parameter block), ``mark`` (the "+" on the overview) and ``memos`` (the title memo first).
    A record is a dict of ``text``, ``prior``, ``view_length``, ``view_start``,
    ``view_cursor``, ``freq``, ``rel_x`` and ``rel_y``."""
    return _vocalith.read_memos(_words(path, {})[0])


def write_memos(path, groups):
    """Saves groups shaped as read_memos gives them as a memo list, replacing ``path`` only
    once the new file is complete. ``priority`` sets a group's priority; ``title`` is not
    read (the title is the text of the first memo)."""
    _vocalith.write_memos(_words(path, {})[0], list(groups))


def export_memos(path, format, *, wav=None, out=None, width=None):
    """A memo list as a TextGrid, an Audacity label track or CSV (``format`` "textgrid",
    "audacity" or "csv"), as ``vocalith-cli memos export`` makes it. Returns the text, or
    writes it to ``out`` and returns the command's report. ``wav`` gives the sampling rate,
    ``width`` the panel width the memos' places refer to."""
    args = ["export", _words(path, {})[0], "--format", str(format)]
    args += _optional(wav=wav, o=out, width=width)
    return _vocalith.memos(args)


def import_memos(path, wav, out, *, width=None):
    """Writes a memo list ``out`` (.vlh) for the sound ``wav`` from a TextGrid or an Audacity
    label track, as ``vocalith-cli memos import`` does. Returns the command's report."""
    args = ["import", _words(path, {})[0]]
    args += _optional(wav=wav, o=out, width=width)
    return _vocalith.memos(args)


def _optional(**given):
    args = []
    for name, value in given.items():
        if value is not None:
            args += ["-o" if name == "o" else "--" + name,
                     str(value) if name == "width" else _words(value, {})[0]]
    return args
