import io
import os
import tempfile
import unittest

import numpy

import vocalith
from support import cli, read, write_wav


class SoundTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.dir.cleanup)
        cls.wav = write_wav(os.path.join(cls.dir.name, "tone.wav"), 1.0, 16000, 2)
        cls.file = vocalith.Sound(cls.wav, channel="right")

    def out(self, name):
        return os.path.join(self.dir.name, name)

    def test_samples_in_memory_analyse_as_the_same_samples_in_a_file(self):
        self.assertEqual((self.file.rate, self.file.channels, self.file.duration),
                         (16000, 2, 1.0))
        self.assertEqual(self.file.samples.tobytes(), read(self.wav)[44:])
        memory = vocalith.Sound(self.file.samples, 16000, channel="right", name="tone.wav")
        cli("voiceprint", self.wav, "--channel", "right", "--ssft", "1024", "--start", "99",
            "--npy", self.out("npy"), "--png", self.out("cli.png"), "--pitch", "--size",
            "640x300")
        for sound in (self.file, memory):
            v = sound.voiceprint(ssft=1024, start=99)
            for plane, name in ((v.ham_db, "hamDbMap"), (v.restored_db, "restoreDbMap"),
                                (v.rect_db, "rectDbMap")):
                self.assertEqual(plane.tobytes(),
                                 numpy.load(self.out("npy/" + name + ".npy")).tobytes())
            # Opening sets (16000 - 2048 - 512) // 512 + 1 = 27 frames; a smaller transform
            # keeps them. The run starts at sample 99.
            self.assertEqual(v.restored_db.shape, (27, 512))
            self.assertEqual((v.times[1], v.times[26], v.freqs[1], v.freqs[511]),
                             (611 / 16000, (99 + 26 * 512) / 16000, 15.625, 511 * 15.625))
            self.assertEqual((v.options, v.ssft, v.interval, v.freq_range, v.db_range),
                             ({"ssft": 1024, "start": 99}, 1024, 512, (0, 6000), (-130.0, 0.0)))
            png = io.BytesIO()
            v.to_png(png, width=640, height=300, pitch=True)
            self.assertEqual(png.getvalue(), read(self.out("cli.png")))
        cli("voiceprint", self.wav, "--channel", "right", "--png", self.out("plain.png"), "--plain")
        memory.voiceprint().to_png(self.out("py.png"), plain=True)
        self.assertEqual(read(self.out("plain.png")), read(self.out("py.png")))
        track = memory.pitch(whole=True, hamming=True)
        self.assertEqual(track.to_csv().encode(),
                         cli("pitch", self.wav, "--channel", "right", "--whole", "--hamming"))
        # Its axes are the CSV's columns: time_s, and pitch_hz with 0 where a frame has none.
        rows = [line.split(",") for line in track.to_csv().splitlines()[1:]]
        self.assertEqual([(r[1], r[2]) for r in rows],
                         [("%.6f" % t, "%.6f" % h) for t, h in zip(track.times, track.hz)])
        # A whole run through files comes back memory-mapped, equal to the one in memory.
        whole, mapped = memory.voiceprint(whole=True, frames=7), memory.voiceprint(
            whole=True, frames=7, npy=self.out("whole"))
        self.assertIsInstance(mapped.restored_db, numpy.memmap)
        self.assertEqual((mapped.rect_db.tobytes(), mapped.times.tobytes()),
                         (whole.rect_db.tobytes(), whole.times.tobytes()))

    def test_float_samples_round_as_files_do(self):
        # Full scale is 32768: halves go away from zero, 1.0 clips to 32767.
        given = numpy.array([0.5, -0.5, 1.5, 1.0, -1.0, 0.25 + 2**-20]) / numpy.array(
            [32768, 32768, 32768, 1, 1, 1])
        sound = vocalith.Sound(given, 8000)
        self.assertEqual(sound.samples.tolist(), [1, -1, 2, 32767, -32768, 8192])
        self.assertEqual((sound.samples.dtype, sound.channels), (numpy.int16, 1))
        with self.assertRaises(ValueError):
            sound.samples[0] = 5  # the sound keeps what it was made of

    def test_bad_sounds_are_refused_with_the_reason(self):
        fifo, rate0 = self.out("fifo.wav"), self.out("rate0.wav")
        os.mkfifo(fifo)
        with open(rate0, "wb") as f:
            f.write(read(self.wav)[:24] + bytes(8) + read(self.wav)[32:])  # rate and byte rate 0
        cases = [
            (lambda: vocalith.Sound(numpy.zeros(10) + 1.5, 8000), "within -1 .. 1"),
            (lambda: vocalith.Sound(numpy.array([numpy.nan]), 8000), "finite"),
            (lambda: vocalith.Sound(numpy.zeros((4, 3), numpy.int16), 8000), "frames x 2"),
            (lambda: vocalith.Sound(numpy.zeros(4, numpy.int16), 0), "rate must be from 1"),
            (lambda: vocalith.Sound(fifo), "wave file reading failed.\nnot a regular file."),
            (lambda: vocalith.read_wav(rate0), "^wave file reading failed.\nsampling frequency"),
            (lambda: vocalith.Sound(self.wav, channel="centre"), "left, right or mix"),
            (lambda: vocalith.Sound(numpy.zeros(100, numpy.int16), 8000).voiceprint(),
             "^data length not enough.$"),
            (lambda: self.file.voiceprint(start=10**9), "\n--start must be a sample from 0 to 640.$"),
            (lambda: self.file.voiceprint(start=True), "^start needs a number, not True"),
            (lambda: self.file.pitch(threads=0), "^--threads needs a number from 1 to 1024.$"),
            (lambda: self.file.voiceprint(whole=True).to_png(self.out("x.png")), "window's run"),
            (lambda: self.file.voiceprint(whole=True, npy=self.wav), "is not a directory."),
            (lambda: vocalith.Sound(numpy.zeros(0, numpy.int16), 8000).voiceprint(),
             "file empty."),
        ]
        for make, message in cases:
            with self.assertRaisesRegex(vocalith.Error, message):
                make()
        for bad in (numpy.array(["a"]), [object()]):
            with self.assertRaises(TypeError):
                vocalith.Sound(bad, 8000)
        self.assertFalse(os.path.exists(self.out("x.png")))

    def test_stubs_name_every_public_name(self):
        stub = read(os.path.join(os.path.dirname(vocalith.__file__), "__init__.pyi")).decode()
        for name in vocalith.__all__:
            self.assertRegex(stub, rf"(?m)^(class |def )?{name}\b")


if __name__ == "__main__":
    unittest.main()
