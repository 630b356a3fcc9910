"""The live program on a scene of the installed kit, in one run: a start
that builds the sources edited since the last build, saves that build and
show (two in quick succession end on the second), the state they carry, an
InitGL edit that shows while other edits leave InitGL alone, a resized
variable named, the scene's warnings, a save that does not build, a version
without a hook, one that crashes, F5, the quit, and what the terminal says."""

import os
import shutil
import subprocess
import tempfile
import unittest

from support.xharness import (CLOSING, HEADER, SOURCE, Run, Xvfb, find_window, focus,
                              hold_key_until, quit_with_escape, screenshot, wait_for)

BUILD = os.environ["PELLACORN_BUILD"]
TEMPLATE = os.path.join(os.path.dirname(__file__), "support", "live_scene.cpp")
# As the starter asks for warnings: for the scene's program, after it is made.
PROJECT = """cmake_minimum_required(VERSION 3.16)
project(blink LANGUAGES CXX)
find_package(Pellacorn REQUIRED)
pellacorn_add_scene(blink scene.cpp)
target_compile_options(blink PRIVATE -Wall -Wextra)
"""
RED, GREEN, BLUE = "1.0f, 0.0f, 0.0f", "0.0f, 1.0f, 0.0f", "0.0f, 0.0f, 1.0f"


def compiling(pid):
    """Whether a compiler runs under the program (in its build), which has
    then read the source it compiles."""
    parents, names = {}, {}
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % entry) as f:
                head, rest = f.read().rsplit(")", 1)
            parents[int(entry)] = int(rest.split()[1])
            names[int(entry)] = head.split("(", 1)[1]
        except (OSError, ValueError, IndexError):
            pass

    def under(child):
        while child in parents and child != pid:
            child = parents[child]
        return child == pid
    return any(under(p) for p, name in names.items() if name in ("cc1plus", "clang"))


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
        self.save("zero", BLUE)
        build = os.path.join(self.scene, "build")
        subprocess.run(["cmake", "-S", self.scene, "-B", build, "-DCMAKE_PREFIX_PATH=" + prefix],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "blink-live"], check=True,
                       stdout=subprocess.DEVNULL)
        self.program = os.path.join(build, "blink-live")
        # Edited while the program does not run.
        self.save("one", RED)
        self.server = Xvfb()
        self.addCleanup(self.server.stop)

    def save(self, tag, colour, update="", draw="Draw", angle="Uint32", rename=False):
        """Writes a version of the scene as an editor saves: in place, or
        as a new file renamed over the old one."""
        with open(TEMPLATE) as f:
            text = f.read()
        for key, value in [("LIVE_TAG", tag), ("LIVE_COLOUR", colour), ("LIVE_UPDATE", update),
                           ("LIVE_DRAW", draw), ("LIVE_ANGLE", angle)]:
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
        # The edit made while it did not run is built before the start.
        self.assertTrue(self.shows(window, (255, 0, 0)), run.log())
        self.assertTrue(self.logged(run, "one frames=1 calls=1\n"), run.log())

        # Two saves in quick succession, the second by renaming while the
        # first one's build runs: the window ends on the second, whose new
        # InitGL shows, with the carried counter and function-level
        # static, and no second Initialize.
        self.save("two", BLUE)
        self.assertTrue(wait_for(lambda: compiling(run.proc.pid), 30), "the first save's build")
        self.save("three", GREEN, rename=True)
        self.assertTrue(self.logged(run, "Live: version 3\n"), run.log())
        self.assertTrue(self.shows(window, (0, 255, 0)), run.log())
        self.assertTrue(self.logged(run, "three frames="), run.log())
        log = run.log()
        self.assertIn("Live: version 1\n", log)
        frames, calls = log.split("three frames=")[1].split("\n")[0].split(" calls=")
        self.assertGreater(int(frames), 1, log)
        self.assertEqual(frames, calls, "the function-level static kept its count")
        self.assertEqual(log.count("Initialize\n"), 1)

        # An edit of Update alone, which warns and resizes a variable: the
        # GL set-up is not run again, and the variable is named.
        set_up = log.count("InitGL\n")
        self.save("four", GREEN, update='Log("%d\\n", "not a number");', angle="double")
        self.assertTrue(self.logged(run, "four frames="), run.log())
        log = run.log()
        self.assertEqual(log.count("InitGL\n"), set_up, "InitGL did not change")
        self.assertIn("Live: version 4\nLive: Angle starts again: its size changed\n", log)

        # A save that does not build, then one without Draw: refused, and
        # version 4 goes on.
        self.save("five", RED, update="this does not compile;")
        self.assertTrue(self.logged(run, "Live: build failed: "), run.log())
        failed = run.log().split("Live: build failed: ")[1].split("\n")[0]
        self.assertIn("error", failed)
        self.save("six", RED, draw="Drawn")
        self.assertTrue(self.logged(run, "Live: build failed: the new version has no Draw\n"))

        # A version that crashes in its first Update, after its new InitGL
        # set a red background: taken out, and version 4 comes back with
        # the state and the GL set-up it had.
        self.save("seven", RED, update="volatile int* volatile Nowhere = nullptr; *Nowhere = 1;")
        crashed = "Live: version 5 crashed in Update (SIGSEGV), back to version 4\n"
        self.assertTrue(self.logged(run, crashed), run.log())
        self.assertTrue(self.shows(window, (0, 255, 0)))
        self.assertEqual(run.proc.poll(), None)

        # F5 starts the running version again, its GL set-up included.
        focus(self.server, window)
        self.assertTrue(hold_key_until(self.server, "F5", lambda: "restarted" in run.log()))
        self.assertTrue(self.logged(
            run, "Live: version 4 restarted\nDeinitialize\nInitGL\nInitialize\n"))

        self.assertEqual(quit_with_escape(self.server, window, run), 0, run.stderr)
        log = run.log()
        self.assertTrue(log.startswith(HEADER) and log.endswith("Deinitialize\n" + CLOSING), log)
        self.assertIn("error", run.stderr, "the compiler's output goes to the terminal")
        self.assertIn("-Wformat", run.stderr, "the scene's warnings reach its live build")
        # The terminal carries every line the live program logs, and each
        # build's timing under its own version: the crashed version 5 too.
        said = [line for line in log.splitlines() if line.startswith("Live: ")]
        self.assertEqual([line for line in run.stdout.splitlines() if line.startswith("Live: ")
                          and " built in " not in line], said)
        self.assertIn("Live: the sources changed since the last build: building\n", run.stdout)
        self.assertIn(crashed, run.stdout)
        for version in 1, 3:
            self.assertRegex(run.stdout, r"Live: version %d built in \d+ ms, drawn [\d.]+ ms "
                                         r"after its build\n" % version)
        self.assertEqual(run.stdout.count("Live: version 4 built in "), 1, run.stdout)
        self.assertRegex(run.stdout, r"Live: version 5 built in \d+ ms, taken out before its "
                                     r"first frame\n")


if __name__ == "__main__":
    unittest.main()
