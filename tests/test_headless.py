"""The run that make run does without a display: what it leaves behind."""

import os
import shutil
import tempfile
import unittest
import wave

from PIL import Image

from support.xharness import CLOSING, HEADER, PROGRAM, SOURCE, run_tool, scratch

SPY = os.environ["PELLACORN_SPY"]


class Headless(unittest.TestCase):
    def test_it_leaves_a_screenshot_a_capture_the_audio_and_the_log(self):
        out = tempfile.mkdtemp(prefix="pellacorn-out-")
        # The script runs the program where it lies, beside the assets, and
        # the program writes its log there: a copy of the script in a tree
        # of its own, not the source tree that other tests share.
        tree = scratch()
        os.mkdir(os.path.join(tree, "scripts"))
        shutil.copy(os.path.join(SOURCE, "scripts", "run-headless"), os.path.join(tree, "scripts"))
        os.symlink(os.path.join(os.path.abspath(SOURCE), "tests"), os.path.join(tree, "tests"))
        try:
            result = run_tool([os.path.join(tree, "scripts", "run-headless"), PROGRAM,
                               SPY, out, "6"], capture_output=True, text=True, timeout=60,
                              env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertIn("exited with status 0", result.stdout)
            self.assertEqual(sorted(os.listdir(out)),
                             ["log.txt", "pellacorn.gif", "pellacorn.png", "pellacorn.wav"])
            with open(os.path.join(out, "log.txt")) as f:
                self.assertEqual(f.read(), HEADER + CLOSING, "quit by Escape, normally")
            shot = Image.open(os.path.join(out, "pellacorn.png"))
            self.assertEqual(shot.size, (640, 480))
            self.assertGreater(len(shot.convert("RGB").getcolors(1 << 20)), 100, "a real frame")
            gif = Image.open(os.path.join(out, "pellacorn.gif"))
            self.assertGreaterEqual(gif.n_frames, 30)
            self.assertLessEqual(gif.info["duration"], 100, "at least ten frames a second")
            self.assertLess(os.path.getsize(os.path.join(out, "pellacorn.gif")), 2 << 20)
            with wave.open(os.path.join(out, "pellacorn.wav")) as w:
                self.assertEqual((w.getframerate(), w.getnchannels(), w.getsampwidth()),
                                 (22060, 2, 2))
                frames = w.readframes(w.getnframes())
            self.assertGreater(len(frames), 22060 * 4 * 3, "several seconds of audio")
            self.assertGreater(max(frames[1::2]), 20, "not silence")
        finally:
            shutil.rmtree(out, ignore_errors=True)
            shutil.rmtree(tree, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
