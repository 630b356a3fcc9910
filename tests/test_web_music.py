#!/usr/bin/python3
# pellacorn-web-music: data/lktheme.mod rendered to Ogg Opus holds one pass
# of the module as SDL_mixer mixes it, is not silent, and a failure leaves
# no file. The program's path is in PELLACORN_WEB_MUSIC.
import json
import os
import re
import subprocess
import tempfile
import unittest

TOOL = os.environ.get("PELLACORN_WEB_MUSIC", "")
MODULE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "lktheme.mod")
BLOCK = 512  # the tool's pull, and so the most it may add after the end


def one_pass_seconds(rate):
    """The module's length as SDL_mixer 1.2's player (MikMod) mixes it:
    its orders of 64 rows at speed 6 and 125 BPM, each tick a whole number
    of samples, rate * 125 / (BPM * 50) rounded down."""
    with open(MODULE, "rb") as f:
        m = f.read()
    orders = m[950]
    patterns = max(m[952:952 + 128]) + 1
    for i in range(1084, 1084 + patterns * 1024, 4):
        effect, arg = m[i + 2] & 0x0F, m[i + 3]
        # Breaks, jumps, speed, pattern loops and delays change the length.
        assert effect not in (0xB, 0xD, 0xF) and not (effect == 0xE and arg >> 4 in (6, 0xE)), \
            "the module changes its own length; this count no longer holds"
    return orders * 64 * 6 * (rate * 125 // (125 * 50)) / rate


def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-of", "json", "-show_format",
                          "-show_streams", path], capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def decoded_seconds(path):
    """Counted from the decoded samples: ffprobe's duration for Ogg Opus
    still includes the encoder's pre-skip, which players drop."""
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "2",
                          "-ar", "48000", "-"], capture_output=True, check=True).stdout
    return len(pcm) / 4 / 48000


class WebMusic(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.access(TOOL, os.X_OK), "PELLACORN_WEB_MUSIC names no program")
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def render(self, *args):
        out = os.path.join(self.dir.name, "lktheme.ogg")
        subprocess.run([TOOL, MODULE, out, *args], check=True, capture_output=True)
        return out

    def test_one_pass_of_the_module_in_ogg_opus(self):
        # 22060 Hz (the demo's, a tick 441.2 samples) and 44100 Hz (882
        # exactly) give lengths 24 ms apart: the rate must be the one asked.
        for rate, args in ((22060, ()), (44100, ("--rate", "44100"))):
            with self.subTest(rate=rate):
                out = self.render(*args)
                info = probe(out)
                self.assertEqual(info["format"]["format_name"], "ogg")
                self.assertEqual(len(info["streams"]), 1, "sound only")
                stream = info["streams"][0]
                self.assertEqual((stream["codec_name"], stream["channels"]), ("opus", 2))
                seconds, expected = decoded_seconds(out), one_pass_seconds(rate)
                # The resampler may round off a millisecond or two either way.
                self.assertGreaterEqual(seconds, expected - 0.002)
                self.assertLessEqual(seconds, expected + BLOCK / rate + 0.002)
                self.assertEqual(os.listdir(self.dir.name), ["lktheme.ogg"])

    def test_not_silent(self):
        out = self.render()
        log = subprocess.run(["ffmpeg", "-nostats", "-i", out, "-af", "volumedetect", "-f",
                              "null", "-"], capture_output=True, text=True, check=True).stderr
        mean = float(re.search(r"mean_volume: (-?[\d.]+) dB", log).group(1))
        self.assertGreater(mean, -40.0)

    def test_failures_write_nothing(self):
        out = os.path.join(self.dir.name, "x.ogg")
        for args, status in (([os.path.join(self.dir.name, "missing.mod"), out], 1),
                             ([MODULE, out, "--rate", "fast"], 2)):
            with self.subTest(args=args):
                run = subprocess.run([TOOL, *args], capture_output=True, text=True)
                self.assertEqual(run.returncode, status)
                self.assertTrue(run.stderr.startswith("pellacorn-web-music: "), run.stderr)
                self.assertEqual(os.listdir(self.dir.name), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
