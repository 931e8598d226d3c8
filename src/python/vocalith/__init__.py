"""Vocalith's analysis from Python: voiceprints, pitch tracks, WAV samples and memo lists.

``Sound`` opens a file or takes samples in memory; its ``voiceprint()`` and ``pitch()`` give
objects with axes (``times``, ``freqs``) over NumPy arrays. Every analysis runs the same engine
code as ``vocalith-cli``; arrays equal the command line's files to the last bit. Options are
the command line's, as keyword arguments:

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
    >>> talk = vocalith.Sound("talk.wav")
    >>> track = talk.pitch(whole=True)
    >>> track.hz[track.hz > 0].mean()
"""

import os

from ._vocalith import Error
from . import _vocalith
from .sound import Pitch, Sound, Voiceprint, _path
from .sound import _words as _option_words

__all__ = ["Error", "Sound", "Voiceprint", "Pitch", "voiceprint", "pitch", "read_wav",
           "read_memos", "write_memos", "export_memos", "import_memos", "EXPORT_FORMATS"]


def _words(path, given):
    """The path as bytes and the keyword options as the command line's option words."""
    return _path(path), _option_words(given)


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
    return _vocalith.voiceprint(p, words)[0]


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
    return _vocalith.read_wav(_path(path))


def read_memos(path):
    """The groups of a memo list (.vlh), each a dict: ``title`` (the title memo's text),
    ``priority`` (High, Mid or Low), and the stored records ``param`` (its text is the group's
    parameter block), ``mark`` (the "+" on the overview) and ``memos`` (the title memo first).
    A record is a dict of ``text``, ``prior``, ``view_length``, ``view_start``,
    ``view_cursor``, ``freq``, ``rel_x`` and ``rel_y``."""
    return _vocalith.read_memos(_path(path))


def write_memos(path, groups):
    """Saves groups shaped as read_memos gives them as a memo list, replacing ``path`` only
    once the new file is complete. ``priority`` sets a group's priority; ``title`` is not
    read (the title is the text of the first memo). Groups and records may be any mappings.
    Every value is checked before anything is written: a wrong type raises TypeError, a value
    the file cannot hold (a number beyond 32 bits, a text with a NUL, a carriage return or
    "&#xD;", or longer than a line of the file may be) raises ``vocalith.Error``, each naming
    the group and the key."""
    target = _path(path)
    _vocalith.write_memos(target, [_group(g, k) for k, g in enumerate(_iterable(groups))])


EXPORT_FORMATS = tuple(name for name, _, _ in _vocalith.EXPORT_FORMATS)


def export_memos(path, format, *, wav=None, out=None, width=None):
    """A memo list in an export format (``EXPORT_FORMATS``: "textgrid" a Praat TextGrid,
    "audacity" an Audacity label track, "csv"), as ``vocalith-cli memos export`` makes it.
    Returns the text, or writes it to ``out`` and returns the command's report. ``wav`` gives
    the sampling rate, ``width`` the panel width the memos' places refer to."""
    inputs = [_path(path)] + ([_path(wav)] if wav is not None else [])
    target = _output(out, inputs) if out is not None else None
    text, groups, memos = _vocalith.export_memos(inputs[0], str(format),
                                                 inputs[1] if wav is not None else b"",
                                                 _width(width))
    if target is None:
        return text.decode("utf-8")
    _vocalith.write_file(target, text)
    return f"wrote {os.fsdecode(target)}: {groups} groups, {memos} memos\n"


def import_memos(path, wav, out, *, width=None):
    """Writes a memo list ``out`` (.vlh) for the sound ``wav`` from a TextGrid, an Audacity
    label track, a transcript (.trn) or an old memo text (.txt), as ``vocalith-cli memos
    import`` does. Returns the command's report."""
    inputs = [_path(path), _path(wav)]
    target = _output(out, inputs)
    data, groups = _vocalith.import_memos(inputs[0], inputs[1], _width(width))
    _vocalith.write_file(target, data)
    return f"wrote {os.fsdecode(target)}: {groups} groups\n"


def _output(out, inputs):
    """An output that is none of the inputs (by name or through a link)."""
    target = _path(out)
    for name in inputs:
        try:
            same = os.path.samefile(target, name)
        except OSError:
            same = False
        if same:
            raise Error(f"{os.fsdecode(target)} is an input of this command; it is not written "
                        "over.")
    return target


def _width(width):
    if width is None:
        return 1000
    if isinstance(width, bool) or not isinstance(width, int) or not 8 <= width <= 100000:
        raise Error(f"width needs a number of pixels from 8 to 100000, not {width!r}.")
    return width


_INTEGERS = ("view_length", "view_start", "view_cursor", "freq")
_FRACTIONS = ("rel_x", "rel_y")
_PRIORITIES = ("High", "Mid", "Low")


def _iterable(groups):
    from collections.abc import Iterable, Mapping
    if not isinstance(groups, Iterable) or isinstance(groups, (str, bytes, Mapping)):
        raise TypeError(f"groups must be a list of groups, not {type(groups).__name__}")
    return list(groups)


def _text(value, where):
    """A text the memo list stores and gives back unchanged."""
    if isinstance(value, bytes):
        try:
            value = value.decode("utf-8")
        except UnicodeDecodeError:
            raise Error(f"{where} is not UTF-8.") from None
    if not isinstance(value, str):
        raise TypeError(f"{where} must be a str, not {type(value).__name__}")
    for bad, name in (("\0", "a NUL"), ("\r", "a carriage return"), ("&#xD;", '"&#xD;"')):
        if bad in value:
            raise Error(f"{where} holds {name}, which a memo list cannot store.")
    try:
        # Each line feed is stored as five bytes; the reader takes lines up to its limit.
        size = len(value.encode("utf-8")) + 4 * value.count("\n")
    except UnicodeEncodeError:
        raise Error(f"{where} is not valid Unicode.") from None
    if size > _vocalith.MEMO_LINE_MAX:
        raise Error(f"{where} is longer than a memo list line may be.")
    return value


def _record(given, where, mark=False):
    from collections.abc import Mapping
    if not isinstance(given, Mapping):
        raise TypeError(f"{where} must be a mapping, not {type(given).__name__}")
    # The mark's text is always "+", whatever it is given.
    record = {"text": "+" if mark else _text(_need(given, "text", where), where + "['text']")}
    if "prior" in given:
        record["prior"] = _text(given["prior"], where + "['prior']")
    for key in _INTEGERS + _FRACTIONS:
        if key not in given:
            continue
        value, at = given[key], f"{where}[{key!r}]"
        number = (int,) if key in _INTEGERS else (int, float)
        if isinstance(value, bool) or not isinstance(value, number):
            kind = "an int" if key in _INTEGERS else "a number"
            raise TypeError(f"{at} must be {kind}, not {type(value).__name__}")
        if key in _INTEGERS and not -2**31 <= value < 2**31:
            raise Error(f"{at} = {value} does not fit in 32 bits.")
        record[key] = float(value) if key in _FRACTIONS else int(value)
    return record


def _need(given, key, where):
    if key not in given:
        raise Error(f"{where} has no {key!r}.")
    return given[key]


def _group(given, k):
    """Group k as plain dicts of checked values, the only shape the engine takes."""
    from collections.abc import Mapping
    where = f"group {k}"
    if not isinstance(given, Mapping):
        raise TypeError(f"{where} must be a mapping, not {type(given).__name__}")
    group = {"param": _record(_need(given, "param", where), where + "['param']")}
    if "mark" in given:
        group["mark"] = _record(given["mark"], where + "['mark']", mark=True)
    if "priority" in given:
        priority = given["priority"]
        if not isinstance(priority, str):
            raise TypeError(f"{where}['priority'] must be a str, not {type(priority).__name__}")
        if priority not in _PRIORITIES:
            raise Error(f"{where}: priority must be High, Mid or Low, not {priority!r}.")
        group["priority"] = priority
    memos = _need(given, "memos", where)
    if isinstance(memos, (str, bytes, Mapping)) or not hasattr(memos, "__iter__"):
        raise TypeError(f"{where}['memos'] must be a list, not {type(memos).__name__}")
    group["memos"] = [_record(m, f"{where}['memos'][{j}]") for j, m in enumerate(memos)]
    if not group["memos"]:
        raise Error(f"{where}: a group needs its title memo.")
    return group
