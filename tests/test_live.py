"""The live program on a scene of the installed kit, in one run: saves that
build and show, the state they carry, a save that does not build, a version
without a hook, one that crashes, F5, the quit, and the builds' timing on the
terminal."""

import os
import shutil
import subprocess
import tempfile
import unittest

from support.xharness import (CLOSING, HEADER, SOURCE, Run, Xvfb, find_window, focus,
                              hold_key_until, quit_with_escape, screenshot, wait_for)

BUILD = os.environ["PELLACORN_BUILD"]
TEMPLATE = os.path.join(os.path.dirname(__file__), "support", "live_scene.cpp")
PROJECT = """cmake_minimum_required(VERSION 3.16)
project(blink LANGUAGES CXX)
find_package(Pellacorn REQUIRED)
pellacorn_add_scene(blink scene.cpp)
"""
RED, GREEN = "1.0f, 0.0f, 0.0f", "0.0f, 1.0f, 0.0f"


class Live(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="pellacorn-live-test-")
        self.addCleanup(shutil.rmtree, self.root, True)
        prefix = os.path.join(self.root, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        self.scene = os.path.join(self.root, "blink")
        os.mkdir(self.scene)
        shutil.copy(os.path.join(SOURCE, "Zarn_Icon.bmp"), self.scene)
        with open(os.path.join(self.scene, "CMakeLists.txt"), "w") as f:
            f.write(PROJECT)
        self.save("one", RED)
        build = os.path.join(self.scene, "build")
        subprocess.run(["cmake", "-S", self.scene, "-B", build, "-DCMAKE_PREFIX_PATH=" + prefix],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "blink-live"], check=True,
                       stdout=subprocess.DEVNULL)
        self.program = os.path.join(build, "blink-live")
        self.server = Xvfb()
        self.addCleanup(self.server.stop)

    def save(self, tag, colour, crash="", draw="Draw", rename=False):
        """Writes a version of the scene as an editor saves: in place, or
        as a new file renamed over the old one."""
        with open(TEMPLATE) as f:
            text = f.read()
        for key, value in [("LIVE_TAG", tag), ("LIVE_COLOUR", colour), ("LIVE_CRASH", crash),
                           ("LIVE_DRAW", draw)]:
            text = text.replace(key, value)
        path = os.path.join(self.scene, "scene.cpp")
        with open(path + ".new" if rename else path, "w") as f:
            f.write(text)
        if rename:
            os.rename(path + ".new", path)

    def shows(self, window, colour):
        return wait_for(lambda: screenshot(self.server, window, 8, 8)[4][4] == colour, 30)

    def logged(self, run, line):
        return wait_for(lambda: line in run.log(), 60)

    def test_saves_swap_the_scene_and_keep_its_state(self):
        run = Run(self.scene, self.server, program=self.program)
        self.addCleanup(run.kill)
        window = find_window(self.server, run=run)
        self.assertIsNotNone(window, run.stderr)
        self.assertTrue(self.shows(window, (255, 0, 0)), run.log())
        self.assertTrue(self.logged(run, "one frames=1 calls=1\n"), run.log())

        # A new version, saved by renaming: the new colour, the carried
        # counter and function-level static, and no second Initialize.
        self.save("two", GREEN, rename=True)
        self.assertTrue(self.shows(window, (0, 255, 0)), run.log())
        log = run.log()
        self.assertIn("Live: version 1\n", log)
        self.assertIn("Live: version 2\n", log)
        frames, calls = log.split("two frames=")[1].split("\n")[0].split(" calls=")
        self.assertGreater(int(frames), 1, log)
        self.assertEqual(frames, calls, "the function-level static kept its count")
        self.assertEqual(log.count("Initialize\n"), 1)

        # A save that does not build, then one without Draw: refused, and
        # version 2 goes on.
        self.save("three", RED, crash="this does not compile;")
        self.assertTrue(self.logged(run, "Live: build failed: "), run.log())
        failed = run.log().split("Live: build failed: ")[1].split("\n")[0]
        self.assertIn("error", failed)
        self.save("four", RED, draw="Drawn")
        self.assertTrue(self.logged(run, "Live: build failed: the new version has no Draw\n"))

        # A version that crashes in its first Update: taken out, and
        # version 2 comes back with the state it had.
        self.save("five", RED, crash="volatile int* volatile Nowhere = nullptr; *Nowhere = 1;")
        self.assertTrue(self.logged(run, "Live: version 3 crashed in Update (SIGSEGV), back to "
                                         "version 2\n"), run.log())
        self.assertTrue(self.shows(window, (0, 255, 0)))
        self.assertEqual(run.proc.poll(), None)

        # F5 restarts the running version.
        focus(self.server, window)
        self.assertTrue(hold_key_until(self.server, "F5", lambda: "restarted" in run.log()))
        self.assertTrue(self.logged(run, "Live: version 2 restarted\nDeinitialize\nInitialize\n"))

        self.assertEqual(quit_with_escape(self.server, window, run), 0, run.stderr)
        log = run.log()
        self.assertTrue(log.startswith(HEADER) and log.endswith("Deinitialize\n" + CLOSING), log)
        self.assertIn("error", run.stderr, "the compiler's output goes to the terminal")
        # Each build is timed on the terminal under its own version: the
        # crashed version 3 too, and not as version 2.
        self.assertRegex(run.stdout, r"Live: version 2 built in \d+ ms, drawn [\d.]+ ms after "
                                     r"its build\n")
        self.assertEqual(run.stdout.count("Live: version 2 built in "), 1, run.stdout)
        self.assertRegex(run.stdout, r"Live: version 3 built in \d+ ms, taken out before its "
                                     r"first frame\n")


if __name__ == "__main__":
    unittest.main()
