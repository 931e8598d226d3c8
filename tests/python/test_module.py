import os
import tempfile
import unittest

import numpy

import vocalith
from support import cli, write_wav


class ModuleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.wav = write_wav(os.path.join(cls.dir.name, "tone.wav"), 4.0)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def npy_of_cli(self, *args):
        out = os.path.join(self.dir.name, "npy")
        cli("voiceprint", self.wav, *args, "--npy", out)
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
                self.assertEqual(ours[name].dtype, numpy.float64)
                self.assertEqual(ours[name].shape, array.shape, name)
                self.assertEqual(ours[name].tobytes(), array.tobytes(), name)
        # (3.9 - 0.5) x 16000 samples hold (54400 - 2048) / 512 + 1 = 103 frames.
        self.assertEqual(ours["restoreDbMap"].shape, (103, 1024))

    def test_pitch_equals_the_command_line_csv(self):
        t = vocalith.pitch(self.wav, whole=True, hamming=True)
        rows = ["frame,time_s,pitch_hz,pitch_level,power,harmonics\n"]
        rows += ["%d,%.6f,%.6f,%.6f,%.6f,%.6f\n" % row for row in zip(
            t["frame"], t["time_s"], t["pitch_hz"], t["pitch_level"], t["power"],
            t["harmonics"])]
        self.assertEqual("".join(rows).encode(), cli("pitch", self.wav, "--whole", "--hamming"))
        self.assertEqual(len(t["frame"]), (64000 - 2048) // 512 + 1)
        voiced = t["pitch_hz"][t["pitch_hz"] > 0]
        self.assertTrue(voiced.size > 100 and abs(numpy.median(voiced) - 180) < 7.8125)

    def test_wav_samples_and_channels(self):
        stereo = write_wav(os.path.join(self.dir.name, "stereo.wav"), 0.5, 22050, 2)
        rate, samples = vocalith.read_wav(stereo)
        self.assertEqual((rate, samples.shape, samples.dtype), (22050, (11025, 2), numpy.int16))
        with open(stereo, "rb") as f:
            self.assertEqual(samples.tobytes(), f.read()[44:])
        self.assertEqual(vocalith.read_wav(self.wav)[1].shape, (64000,))
        self.assertEqual(len(vocalith.pitch(stereo, channel="left")["frame"]),
                         (11025 - 1 - 4096) // 512)
        for choice in ("right", "mix"):
            power = vocalith.voiceprint(stereo, channel=choice)["hamDb"]
            with tempfile.TemporaryDirectory() as npy:
                cli("voiceprint", stereo, "--channel", choice, "--npy", npy)
                self.assertEqual(power.tobytes(), numpy.load(npy + "/hamDb.npy").tobytes())
        with self.assertRaisesRegex(vocalith.Error, "--channel needs left, right or mix."):
            vocalith.pitch(stereo, channel="centre")

    def test_bad_input_raises_the_programs_message(self):
        broken = os.path.join(self.dir.name, "broken.wav")
        with open(broken, "wb") as f:
            f.write(b"RIFF\x10\x00\x00\x00WAVEfmt ")
        cases = [
            (lambda: vocalith.pitch(broken), "wave file reading failed."),
            (lambda: vocalith.read_wav(broken), "wave file reading failed."),
            (lambda: vocalith.voiceprint(os.path.join(self.dir.name, "none.wav")),
             "wave file reading failed."),
            (lambda: vocalith.pitch(self.wav, ssft=3000), r"\[SsftSize\] wrong, must 256"),
            (lambda: vocalith.pitch(self.wav, whole=True, from_=3.99),
             "data length not enough."),
            (lambda: vocalith.pitch(self.wav, threads=0), "--threads needs a number"),
            (lambda: vocalith.pitch(self.wav, start=True), "start needs a number"),
            (lambda: vocalith.read_memos(broken), r"memo list uncorrect \( internal error \)\."),
        ]
        for call, message in cases:
            with self.assertRaisesRegex(ValueError, "^" + message):
                call()

    def test_memo_lists_as_the_command_line_makes_them(self):
        demo = os.path.join(self.dir.name, "demo.wav")
        cli("demo", demo)
        vlh = demo[:-4] + ".vlh"
        groups = vocalith.read_memos(vlh)
        self.assertEqual(groups[0]["title"], groups[0]["memos"][0]["text"])
        copy = os.path.join(self.dir.name, "copy.vlh")
        vocalith.write_memos(copy, groups)
        with open(vlh, "rb") as a, open(copy, "rb") as b:
            self.assertEqual(a.read(), b.read())
        groups[0]["priority"] = "Low"
        groups[0]["memos"][0]["text"] = "renamed\ntwice"
        vocalith.write_memos(copy, groups)
        self.assertEqual([vocalith.read_memos(copy)[0][k] for k in ("priority", "title")],
                         ["Low", "renamed\ntwice"])
        with self.assertRaisesRegex(vocalith.Error, "priority must be"):
            vocalith.write_memos(copy, [dict(groups[0], priority="Urgent")])
        for fmt in ("textgrid", "audacity", "csv"):
            self.assertEqual(vocalith.export_memos(vlh, fmt, wav=demo).encode(),
                             cli("memos", "export", vlh, "--format", fmt, "--wav", demo))
        grid, back = (os.path.join(self.dir.name, name) for name in ("d.TextGrid", "back.vlh"))
        vocalith.export_memos(vlh, "textgrid", out=grid)
        vocalith.import_memos(grid, demo, back)
        self.assertEqual([g["title"] for g in vocalith.read_memos(back)],
                         [g["title"] for g in groups])


if __name__ == "__main__":
    unittest.main()
