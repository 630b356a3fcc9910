"""The example scene, linked with the shell by pellacorn_add_scene, runs
under Xvfb: it draws stars, goes on after F1 and quits on Escape."""

import os
import shutil
import time
import unittest

from support.xharness import (CLOSING, HEADER, Run, Xvfb, find_window, focus, hold_key,
                              quit_with_escape, screenshot, scratch)

STARFIELD = os.environ["PELLACORN_STARFIELD"]


class Starfield(unittest.TestCase):
    def test_it_draws_stars_and_uses_the_shell_services(self):
        server = Xvfb()
        run = Run(scratch(), server, program=STARFIELD)
        try:
            window = find_window(server, run=run)
            self.assertIsNotNone(window, run.log())
            time.sleep(0.5)
            shot = screenshot(server, window)
            lit = sum(1 for row in shot for pixel in row if sum(pixel) > 150)
            self.assertGreater(lit, 200, "stars on the screen")
            time.sleep(0.3)
            later = screenshot(server, window)
            self.assertNotEqual(shot, later, "the stars move")
            focus(server, window)
            hold_key(server, "F1", 0.2)
            time.sleep(0.3)
            self.assertIsNone(run.proc.poll())
            window = find_window(server)
            self.assertEqual(quit_with_escape(server, window, run), 0)
            log = run.log()
            self.assertTrue(log.startswith(HEADER + "Starfield: 600 stars\n"), log)
            self.assertTrue(log.endswith("Starfield: goodbye\n" + CLOSING), log)
        finally:
            run.kill()
            server.stop()
            shutil.rmtree(run.cwd, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
