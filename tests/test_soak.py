"""A long run of the real program: after a warm-up, its resident memory
stays flat; nothing grows per frame. The run is counted in frames, by a
preloaded spy, so that a busy machine makes it longer, not weaker."""

import os
import re
import shutil
import statistics
import unittest

from support.xharness import Run, Xvfb, close, find_window, scratch, wait_for

SPY = os.environ["PELLACORN_SPY"]
WARM_UP, EVERY, SAMPLES = 10000, 2000, 15


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


class Soak(unittest.TestCase):
    def test_resident_memory_stays_flat(self):
        server = Xvfb()
        cwd = scratch()
        spied = os.path.join(cwd, "spy.txt")
        run = Run(cwd, server, env={"LD_PRELOAD": SPY, "PELLACORN_SPY": spied})

        def frames():
            counts = re.findall(r"frames (\d+)", run.read("spy.txt"))
            return int(counts[-1]) if counts else 0

        try:
            window = find_window(server, run=run)
            self.assertIsNotNone(window, run.log())
            samples = []
            for target in range(WARM_UP, WARM_UP + SAMPLES * EVERY, EVERY):
                self.assertTrue(wait_for(lambda: frames() >= target, 120),
                                "%d frames of %d" % (frames(), target))
                samples.append(resident_kib(run.proc.pid))
            close(server, window)
            self.assertEqual(run.wait(20), 0)
            # Caches settle during the warm-up, and single samples jump by
            # a page or a megabyte and back. A leak shows as a trend: even
            # 100 bytes a frame would put 2 MB between the first and the
            # last third.
            third = len(samples) // 3
            early = statistics.median(samples[:third])
            late = statistics.median(samples[-third:])
            self.assertLess(late - early, 1024, samples)
        finally:
            run.kill()
            server.stop()
            shutil.rmtree(cwd, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
