"""Two minutes of the real program: after a warm-up, its resident memory
stays flat; nothing grows per frame."""

import shutil
import statistics
import time
import unittest

from support.xharness import Run, Xvfb, find_window, scratch

SECONDS, WARM_UP, EVERY = 120, 30, 5


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
            # Caches settle in the first half minute, and single samples
            # jump by a page or a megabyte and back. A leak shows as a
            # trend: even 100 bytes a frame, at hundreds of frames a second,
            # would put megabytes between the first and the last third.
            third = len(samples) // 3
            early = statistics.median(samples[:third])
            late = statistics.median(samples[-third:])
            self.assertLess(late - early, 1024, samples)
        finally:
            run.kill()
            server.stop()
            shutil.rmtree(run.cwd, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
