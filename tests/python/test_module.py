import os
import subprocess
import shutil
import tempfile
import unittest

import numpy

import vocalith
from support import CLI, cli, read, write_wav


class ModuleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.dir.cleanup)
        cls.wav = write_wav(os.path.join(cls.dir.name, "tone.wav"), 4.0)

    def npy_of_cli(self, *args, wav=None):
        out = os.path.join(self.dir.name, "npy")
        cli("voiceprint", wav or self.wav, *args, "--npy", out)
        return {name: numpy.load(os.path.join(out, name + ".npy"))
                for name in ("hamDbMap", "restoreDbMap", "rectDbMap", "hamDb", "restoreDb",
                             "rectDb")}

    def test_voiceprint_equals_the_command_line_bit_for_bit(self):
        runs = [  # options as Python keywords, then as the command line's words
            (dict(ssft=1024, interval=256, noise=0.001, fine=True, start=300, threads=1),
             ["--ssft", "1024", "--interval", "256", "--noise", "0.001", "--fine", "--start",
              "300", "--threads", "2"]),
            (dict(whole=True, frames=40, from_=0.5, to=3.9),
             ["--whole", "--frames", "40", "--from", "0.5", "--to", "3.9", "--threads", "1"]),
        ]
        for keywords, words in runs:
            ours, theirs = vocalith.voiceprint(self.wav, **keywords), self.npy_of_cli(*words)
            self.assertEqual(sorted(ours), sorted(theirs))
            for name, array in theirs.items():
                self.assertEqual((ours[name].dtype, ours[name].shape, ours[name].tobytes()),
                                 (numpy.float64, array.shape, array.tobytes()), name)

    def test_pitch_equals_the_command_line_csv(self):
        t = vocalith.pitch(self.wav, whole=True, hamming=True)
        rows = ["frame,time_s,pitch_hz,pitch_level,power,harmonics\n"]
        rows += ["%d,%.6f,%.6f,%.6f,%.6f,%.6f\n" % row for row in zip(
            t["frame"], t["time_s"], t["pitch_hz"], t["pitch_level"], t["power"],
            t["harmonics"])]
        self.assertEqual("".join(rows).encode(), cli("pitch", self.wav, "--whole", "--hamming"))

    def test_wav_samples_and_channels(self):
        stereo = write_wav(os.path.join(self.dir.name, "stereo.wav"), 0.5, 22050, 2)
        rate, samples = vocalith.read_wav(stereo)
        self.assertEqual((rate, samples.shape, samples.dtype), (22050, (11025, 2), numpy.int16))
        self.assertEqual(vocalith.read_wav(self.wav)[1].shape, (64000,))
        for choice in ("left", "right", "mix"):
            self.assertEqual(vocalith.voiceprint(stereo, channel=choice)["hamDb"].tobytes(),
                             self.npy_of_cli("--channel", choice, wav=stereo)["hamDb"].tobytes())
        with self.assertRaisesRegex(vocalith.Error, "--channel needs left, right or mix."):
            vocalith.pitch(stereo, channel="centre")

    def test_memo_lists_as_the_command_line_makes_them(self):
        demo = os.path.join(self.dir.name, "demo.wav")
        cli("demo", demo)
        vlh = demo[:-4] + ".vlh"
        groups = vocalith.read_memos(vlh)
        self.assertEqual(groups[0]["title"], groups[0]["memos"][0]["text"])
        copy = os.path.join(self.dir.name, "copy.vlh")
        vocalith.write_memos(copy, groups)
        self.assertEqual(read(vlh), read(copy))
        groups[0]["priority"] = "Low"
        groups[0]["memos"][0]["text"] = "renamed\ntwice"
        vocalith.write_memos(copy, groups)
        self.assertEqual([vocalith.read_memos(copy)[0][k] for k in ("priority", "title")],
                         ["Low", "renamed\ntwice"])
        with self.assertRaisesRegex(vocalith.Error, "priority must be"):
            vocalith.write_memos(copy, [dict(groups[0], priority="Urgent")])
        # The command line's usage and Python name the formats of one table.
        usage = subprocess.run([CLI], capture_output=True, text=True).stderr
        self.assertIn("--format " + "|".join(vocalith.EXPORT_FORMATS) + " ", usage)
        for fmt in ("textgrid", "audacity", "csv"):
            self.assertEqual(vocalith.export_memos(vlh, fmt, wav=demo).encode(),
                             cli("memos", "export", vlh, "--format", fmt, "--wav", demo))
        # A TextGrid written from Python (the command line's bytes), a transcript and an old memo
        # text import as the command line imports them.
        grid = demo[:-4] + ".TextGrid"
        vocalith.export_memos(vlh, "textgrid", out=grid)
        self.assertEqual(read(grid), cli("memos", "export", vlh, "--format", "textgrid"))
        shutil.copy(vlh, demo[:-4] + ".txt")
        ours, theirs = (os.path.join(self.dir.name, n + ".vlh") for n in ("ours", "theirs"))
        for ext in (".TextGrid", ".trn", ".txt"):
            vocalith.import_memos(demo[:-4] + ext, demo, ours)
            cli("memos", "import", demo[:-4] + ext, "--wav", demo, "-o", theirs)
            self.assertEqual(read(ours), read(theirs), ext)

    def test_bad_memos_and_paths_refused_before_anything_is_written(self):
        import collections
        import types
        demo = os.path.join(self.dir.name, "demo2.wav")
        cli("demo", demo)
        groups = vocalith.read_memos(demo[:-4] + ".vlh")
        out = os.path.join(self.dir.name, "checked.vlh")
        # Any mapping will do, and gives the same file as dicts.
        vocalith.write_memos(out, [types.MappingProxyType(dict(g, param=collections.UserDict(
            g["param"]))) for g in groups])
        self.assertEqual(read(out), read(demo[:-4] + ".vlh"))
        os.unlink(out)

        def bent(where, key, value, index=1):
            copy = [dict(g, memos=[dict(m) for m in g["memos"]]) for g in groups]
            target = copy[index] if where == "group" else copy[index]["memos"][0]
            if value is None and key != "priority":
                del target[key]
            else:
                target[key] = value
            return copy
        memo, error = r"^group 1\['memos'\]\[0\]", vocalith.Error
        cases = [
            (bent("memo", "freq", 1.5), TypeError, memo + r"\['freq'\] must be an int, not float"),
            (bent("group", "priority", None), TypeError, r"^group 1\['priority'\] must be a str"),
            (bent("memo", "text", 5), TypeError, memo + r"\['text'\] must be a str, not int$"),
            (bent("memo", "view_start", 10**30), error, r"view_start.\] = 1(0{30}) does not"),
            (bent("memo", "text", None), error, memo + r" has no 'text'\.$"),
            (bent("group", "memos", None), error, r"^group 1 has no 'memos'\.$"),
            (bent("memo", "text", b"\xff"), error, memo + r"\['text'\] is not UTF-8\.$"),
            (bent("memo", "text", "a\x00b"), error, memo + r"\['text'\] holds a NUL"),
            (bent("memo", "text", "a\r\nb"), error, r"holds a carriage return"),
            (bent("memo", "text", "x" * ((4 << 20) + 1)), error, r"longer than a memo list line"),
            ([groups[0], [1]], TypeError, r"^group 1 must be a mapping, not list$"),
        ]
        for given, kind, message in cases:
            with self.assertRaisesRegex(kind, message, msg=message):
                vocalith.write_memos(out, given)
            self.assertFalse(os.path.exists(out))
        # A folder in the list's place: refused, and nothing left beside it.
        with self.assertRaisesRegex(error, "^memo list save failed.\n.* cannot take a file.$"):
            vocalith.write_memos(self.dir.name, groups)
        self.assertEqual([n for n in os.listdir(os.path.dirname(self.dir.name))
                          if n.startswith(os.path.basename(self.dir.name) + ".tmp")], [])
        with self.assertRaisesRegex(error, "^memo list read failed.\na folder, not a file.$"):
            vocalith.read_memos(self.dir.name)
        with self.assertRaisesRegex(error, r"^memo list uncorrect \( internal error \)\.$"):
            vocalith.read_memos(self.wav)
        # A NUL would cut a name short; a name that is not UTF-8 works as on the command line.
        for call in (lambda: vocalith.read_wav(self.wav + "\0x"),
                     lambda: vocalith.write_memos(out + "\0x", groups),
                     lambda: vocalith.export_memos(demo[:-4] + ".vlh", "csv", out=out + "\0x"),
                     lambda: vocalith.import_memos(demo[:-4] + ".trn", demo, out + "\0x")):
            with self.assertRaisesRegex(vocalith.Error, "cannot hold a NUL byte"):
                call()
        raw = os.fsencode(self.dir.name) + b"/\xff\xfe.wav"
        shutil.copy(self.wav, raw)
        self.assertEqual(vocalith.read_wav(raw)[1].tobytes(),
                         vocalith.read_wav(self.wav)[1].tobytes())
        # A full standard output fails the command.
        for command in ("pitch", "info"):
            with open("/dev/full", "wb") as full:
                done = subprocess.run([CLI, command, self.wav], stdout=full, stderr=subprocess.PIPE)
            self.assertEqual((done.returncode, done.stderr),
                             (1, b"vocalith-cli: cannot write the standard output.\n"), command)


if __name__ == "__main__":
    unittest.main()
