"""Two minutes of the real program: after a warm-up, its resident memory
stays flat; nothing grows per frame."""

import os
import shutil
import time
import unittest

from support.xharness import Run, Xvfb, find_window, scratch

SECONDS, WARM_UP, EVERY = 120, 20, 5


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


class Soak(unittest.TestCase):
    def test_resident_memory_stays_flat(self):
        server = Xvfb()
        run = Run(scratch(), server)
        try:
            self.assertIsNotNone(find_window(server, run=run))
            time.sleep(WARM_UP)
            samples = []
            for _ in range(SECONDS // EVERY - WARM_UP // EVERY):
                samples.append(resident_kib(run.proc.pid))
                time.sleep(EVERY)
            self.assertIsNone(run.proc.poll())
            run.proc.terminate()
            self.assertEqual(run.wait(20), 0)
            # Allocator noise is a few pages; a leak of even 100 bytes a
            # frame would add megabytes over these minutes.
            self.assertLess(max(samples) - min(samples), 2048, samples)
            self.assertLess(samples[-1] - samples[0], 1024, samples)
        finally:
            run.kill()
            server.stop()
            shutil.rmtree(run.cwd, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
