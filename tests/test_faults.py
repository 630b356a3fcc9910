"""Faults from outside: SIGTERM and SIGINT end the program normally, and an
X server that goes away mid-run ends it with status 1, without a hang,
keeping the log written so far."""

import shutil
import signal
import unittest

from support.xharness import CLOSING, HEADER, Run, Xvfb, find_window, scratch, wait_for_frame


class Faults(unittest.TestCase):
    def start(self, server):
        """A run that has drawn a frame: in its loop, it ends only when
        made to."""
        run = Run(scratch(), server)
        self.addCleanup(shutil.rmtree, run.cwd, True)
        self.addCleanup(run.kill)
        window = find_window(server, run=run)
        self.assertIsNotNone(window, run.log())
        self.assertTrue(wait_for_frame(window, run), run.log())
        return run

    def test_sigterm_and_sigint_end_the_run_normally(self):
        server = Xvfb()
        self.addCleanup(server.stop)
        # Run restores SIGINT to its default in the child: SDL only turns
        # signals into a quit event where their disposition was the default.
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                run = self.start(server)
                run.proc.send_signal(sig)
                self.assertEqual(run.wait(10), 0)
                self.assertEqual(run.log(), HEADER + CLOSING)

    def test_the_x_server_going_away_ends_the_run_with_status_1(self):
        server = Xvfb()
        run = self.start(server)
        before = run.log()
        server.proc.kill()
        server.proc.wait()
        status = run.wait(15)  # a hang fails here
        self.assertEqual(status, 1)
        self.assertEqual(run.log(), before, "every line written before is kept")
        self.assertIn("X", run.stderr)  # Xlib's fatal I/O error report


if __name__ == "__main__":
    unittest.main()
