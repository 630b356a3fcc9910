"""The libraries' own loaders, through the real program: each file of the
malformed corpus (tests/corpus, made by make_corpus.py) replaces the file
the program would load, in a child process with a time limit. The program
must end cleanly every time: with its two lines and status 1 when the file
does not load, or normally when the library makes something of it. A
crash or hang inside a library that is known, and recorded with its
reproducer in docs/known-issues.md, is listed in KNOWN."""

import os
import resource
import shutil
import signal
import subprocess
import time
import unittest

from support.xharness import CLOSING, HEADER, SOURCE, Run, ServerTest, find_window, scratch

CORPUS = os.path.join(SOURCE, "tests", "corpus")
TARGETS = {".gif": ["data/logo.gif"], ".bmp": ["data/SDL_Title.bmp", "Zarn_Icon.bmp"],
           ".mod": ["data/lktheme.mod"]}
# (file, target): the outcomes the library is known to give. Keep in step
# with docs/known-issues.md.
KNOWN = {
    # SDL_image 1.2.12's GIF decoder reads outside its buffers: whether that
    # faults depends on the memory layout, so a clean run also happens.
    ("gif-bad-code-size.gif", "data/logo.gif"): ("crash (signal 11)", 0),
    ("gif-frame-outside-screen.gif", "data/logo.gif"): ("crash (signal 11)",),
}


class Loaders(ServerTest):
    def outcome(self, name, target):
        cwd = scratch(omit=[target])
        shutil.copy(os.path.join(CORPUS, name), os.path.join(cwd, target))
        run = Run(cwd, self.server)
        try:
            window = find_window(self.server, run=run, timeout=10)
            if window is not None:
                time.sleep(0.5)
                if run.proc.poll() is None:
                    run.proc.send_signal(signal.SIGTERM)
            try:
                status = run.wait(15)
            except subprocess.TimeoutExpired:
                return "hang", run.log()
            if status < 0:
                return "crash (signal %d)" % -status, run.log()
            return status, run.log()
        finally:
            run.kill()
            shutil.rmtree(cwd, ignore_errors=True)

    def test_every_malformed_file_ends_cleanly(self):
        for name in sorted(os.listdir(CORPUS)):
            for target in TARGETS.get(os.path.splitext(name)[1], []):
                with self.subTest(file=name, target=target):
                    result, log = self.outcome(name, target)
                    if (name, target) in KNOWN:
                        self.assertIn(result, KNOWN[(name, target)], log)
                        continue
                    self.assertIn(result, (0, 1), log)
                    self.assertTrue(log.startswith(HEADER), log)
                    if result == 0:
                        self.assertTrue(log.endswith(CLOSING), log)
                    elif target.startswith("data/"):
                        self.assertIn("Cannot load graphic: ", log)
                        self.assertTrue(log.rstrip("\n").split("\n")[-1].startswith(
                            "App init failed: "), log)
                    # A refusal says which file it refused.
                    refusals = [line for line in log.splitlines()
                                if line.startswith(("Cannot load graphic: ", "Unable to load icon: "))]
                    self.assertLessEqual(len(refusals), 1, log)
                    for line in refusals:
                        self.assertIn(os.path.basename(target), line)
        # A forged size (bmp-huge-width.bmp claims 134 million pixels a row)
        # is refused before any library reserves memory for it.
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
        self.assertLess(peak, 400, "MiB resident at the most in one run")


if __name__ == "__main__":
    unittest.main()
