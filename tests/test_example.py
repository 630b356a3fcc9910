"""The example scene, linked with the shell by pellacorn_add_scene, runs on
a desktop: it draws moving stars, switches to full screen and back on F1
and quits on Escape."""

import os
import unittest

from support.wm import FullScreenWatch, WindowManagerTest, switch_with_f1
from support.xharness import (CLOSING, HEADER, Run, focus, lit_frame, quit_with_escape, scratch,
                              screenshot, wait_for)

STARFIELD = os.environ["PELLACORN_STARFIELD"]


class Starfield(WindowManagerTest):
    def test_it_draws_stars_and_uses_the_shell_services(self):
        run = Run(scratch(), self.server, program=STARFIELD)
        self.runs.append(run)
        window = self.find_client(run)
        self.assertIsNotNone(window, run.log())
        first = lit_frame(self.server, window, 200, 150)
        self.assertIsNotNone(first, "stars on the screen")
        self.assertTrue(wait_for(lambda: screenshot(self.server, window) != first),
                        "the stars move")
        # F1 goes to full screen and, pressed again, back: one switch a
        # press, whether released as the switch shows or held a second on.
        watch = FullScreenWatch(self.server)
        self.addCleanup(watch.close)
        self.assertFalse(watch.poll())
        for changes, held in [(1, 0.0), (2, 1.0)]:
            focus(self.server, window)
            self.assertTrue(switch_with_f1(self.server, watch, run, changes == 1, held),
                            "F1: %d switches, log %r" % (watch.changes, run.log()))
            self.assertEqual(watch.changes, changes)
            self.assertIsNone(run.proc.poll())
        self.assertEqual(quit_with_escape(self.server, window, run), 0)
        log = run.log()
        self.assertTrue(log.startswith(HEADER + "Starfield: 600 stars\n"), log)
        self.assertTrue(log.endswith("Starfield: goodbye\n" + CLOSING), log)


if __name__ == "__main__":
    unittest.main()
